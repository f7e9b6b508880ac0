#include "benchlab.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdio>

namespace BenchLab {

bool inside(const char *program, int deviceHosts)
{
    const int hosts = qEnvironmentVariable("LAB_DEVICE_IPS").split(QLatin1Char(' '), Qt::SkipEmptyParts).size();
    if (!qEnvironmentVariableIsEmpty("LAB_TOOL_NS") && hosts >= deviceHosts)
        return true;
    std::fprintf(stderr, "%s talks to simulated devices: run it inside a lab with %d device host(s) "
                         "(make bench, or tests/lab/lab.sh run --device-hosts %d -- %s)\n",
                 program, deviceHosts, deviceHosts, program);
    return false;
}

void prepareEnvironment()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("DEVSIM"))
        qputenv("DEVSIM", BENCH_DEVSIM);
    if (qEnvironmentVariableIsEmpty("LAB_SCRIPT"))
        qputenv("LAB_SCRIPT", BENCH_LAB_SCRIPT);
    qputenv("QT_LOGGING_RULES", "*.debug=false");
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs, int pollMs)
{
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start(pollMs);
    if (!done())
        loop.exec();
    return done();
}

} // namespace BenchLab
