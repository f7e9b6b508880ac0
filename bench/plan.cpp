// A site plan of 10,000 lines against 10,000 known devices: how long from the
// file being chosen until the dry run stands on screen. Read the file, parse
// it, work out each line's state, fill the dialog's table and draw it once;
// each step in ms, the median of several runs.
//
// It opens no protocol engine and no registry: the devices are records made
// here, the dialog draws offscreen, and nothing is sent. So it may also run
// outside a lab:
//   build/bench/bench_plan [LINES]
// (make bench runs it in a lab like the others).

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTranslator>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "plan/dryrun.h"
#include "plan/plandryrun.h"
#include "plan/siteplan.h"
#include "registry/dev.h"
#include "resources/resources.h"

namespace {

constexpr int Runs = 7;

QString macOf(int index)
{
    return QStringLiteral("00:1A:00:00:%1:%2").arg((index >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg(index & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

QString addressOf(int index)
{
    return QStringLiteral("10.20.%1.%2").arg(index / 250).arg(index % 250 + 2);
}

// Every 50th device offline; each answers where the plan would not put it.
std::vector<Dev> devices(int count)
{
    std::vector<Dev> made(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        Dev &dev = made[size_t(i)];
        dev.online = i % 50 == 0 ? 0 : 3;
        dev.info.ipMode = 1;
        Wire::writeText(dev.info.mac, macOf(i));
        Wire::writeText(dev.info.ip, addressOf(i + count));
        Wire::writeText(dev.info.mask, QStringLiteral("255.255.0.0"));
        Wire::writeText(dev.info.gateway, QStringLiteral("10.20.0.1"));
        Wire::writeText(dev.info.dns, QStringLiteral("10.20.0.1"));
    }
    return made;
}

// A plan as a spreadsheet in a European locale writes it: semicolons, labels
// quoted where they hold one. Every 20th line names a device that never
// answered, every 100th repeats the address of the line before it.
QByteArray planFile(int lines)
{
    QByteArray bytes = "\xEF\xBB\xBFMAC;IP;Mask;Gateway;Label\r\n";
    for (int i = 0; i < lines; ++i) {
        const QString mac = i % 20 == 19 ? macOf(i + lines) : macOf(i);
        const QString ip = addressOf(i % 100 == 99 ? i - 1 : i);
        bytes += QStringLiteral("%1;%2;255.255.0.0;10.20.0.1;\"Camera %3; hall %4\"\r\n")
                     .arg(mac, ip).arg(i).arg(i / 40).toUtf8();
    }
    return bytes;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    initResources();
    QTranslator english;
    if (english.load(QStringLiteral(":/language/language/app_en_US.qm")))
        QCoreApplication::installTranslator(&english);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plan.csv"));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(planFile(count)) < 0)
        return std::fprintf(stderr, "bench_plan: cannot write %s\n", qPrintable(path)), 1;
    out.close();
    std::vector<Dev> records = devices(count);
    QList<Dev *> known;
    for (Dev &dev : records)
        known << &dev;
    const QHostAddress self(QStringLiteral("10.20.0.200"));

    std::vector<double> readMs, parseMs, dryRunMs, fillMs, drawMs, totalMs;
    QString counts;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return std::fprintf(stderr, "bench_plan: cannot read %s\n", qPrintable(path)), 1;
        const QByteArray bytes = file.read(SitePlan::MaxBytes + 1);
        const qint64 read = clock.nsecsElapsed();
        const SitePlan plan = SitePlan::read(bytes);
        const qint64 parsed = clock.nsecsElapsed();
        if (plan.isRefused())
            return std::fprintf(stderr, "bench_plan: %s\n", qPrintable(plan.refusalText())), 1;
        const QList<DryRunRow> rows = DryRun::rows(plan.lines, known, self);
        const qint64 ranDry = clock.nsecsElapsed();
        PlanDryRun dialog;
        dialog.resize(880, 460);
        dialog.setRows(rows);
        const qint64 filled = clock.nsecsElapsed();
        dialog.grab();   // lays out and draws the first screen of rows, as showing it would
        const qint64 drawn = clock.nsecsElapsed();
        readMs.push_back(read / 1e6);
        parseMs.push_back((parsed - read) / 1e6);
        dryRunMs.push_back((ranDry - parsed) / 1e6);
        fillMs.push_back((filled - ranDry) / 1e6);
        drawMs.push_back((drawn - filled) / 1e6);
        totalMs.push_back(drawn / 1e6);
        counts = DryRun::countsText(rows);
    }

    std::printf("Site plan of %d lines against %d known devices, median of %d runs (ms)\n", count, count, Runs);
    std::printf("%8s %8s %8s %8s %8s %8s\n", "read", "parse", "dry run", "fill", "draw", "total");
    std::printf("%8.1f %8.1f %8.1f %8.1f %8.1f %8.1f\n", median(readMs), median(parseMs), median(dryRunMs), median(fillMs),
                median(drawMs), median(totalMs));
    std::printf("%s\n", qPrintable(counts));
    return 0;
}
