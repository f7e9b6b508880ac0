// devsim: simulated recorders and cameras for the search tool's lab tests.
// It sends, so run it only inside the lab (tests/lab/lab.sh).

#include <QCoreApplication>
#include <QJsonObject>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "devicesim.h"
#include "eventlog.h"
#include "simoptions.h"
#include "stdincontrol.h"

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    // Only async-signal-safe work here; the event loop does the quitting.
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the event loop, so devsim exits through its destructors.
void quitOnSignals(QCoreApplication *app, EventLog *log)
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [app, log] {
        char byte;
        while (::read(signalPipe[0], &byte, 1) > 0) {}
        log->write({{QStringLiteral("event"), QStringLiteral("quit")}, {QStringLiteral("by"), QStringLiteral("signal")}});
        app->quit();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("devsim"));

    SimOptions options;
    QString error;
    if (!options.parse(app.arguments(), &error)) {
        std::fprintf(stderr, "devsim: %s\n", qPrintable(error));
        return 2;
    }
    EventLog log;
    if (!log.open(options.logPath, &error)) {
        std::fprintf(stderr, "devsim: cannot write %s: %s\n", qPrintable(options.logPath), qPrintable(error));
        return 1;
    }
    quitOnSignals(&app, &log);

    DeviceSim sim(options, &log);
    if (!sim.start(&error)) {
        std::fprintf(stderr, "devsim: %s\n", qPrintable(error));
        return 1;
    }

    StdinControl control;
    QObject::connect(&control, &StdinControl::lineReceived, &app, [&](const QString &line) {
        if (line == QLatin1String("quit")) {
            log.write({{QStringLiteral("event"), QStringLiteral("quit")}, {QStringLiteral("by"), QStringLiteral("stdin")}});
            app.quit();
        } else if (!sim.control(line)) {
            log.write({{QStringLiteral("event"), QStringLiteral("bad_command")}, {QStringLiteral("line"), line}});
        }
    });
    return app.exec();
}
