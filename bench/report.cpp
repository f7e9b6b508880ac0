// The site report of a large visit: 1,000 devices and a few thousand actions
// written as a PDF, with the time the writing takes and the file's size against
// the 2 s and 2 MB it may take; then a visit of 40 devices written for a person
// to look at. Takes the folder for the PDFs as its argument (a temporary one
// otherwise, removed at the end).
//
// It opens no protocol engine and sends nothing: the record is filled by hand.
// make bench runs it in a lab like the others, but it may run anywhere.

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTranslator>

#include <cstdio>

#include "bench/benchlab.h"
#include "report/sitereport.h"
#include "report/visitrecord.h"
#include "resources/resources.h"
#include "tests/report/samplevisit.h"

namespace {

void writeVisit(int devices, const QString &folder)
{
    QElapsedTimer fillClock;
    fillClock.start();
    VisitRecord record(SampleVisit::steppingClock());
    SampleVisit::fill(record, devices);
    const qint64 fillMs = fillClock.elapsed();

    const QString path = folder + QStringLiteral("/site-report-%1-devices.pdf").arg(devices);
    QString whyNot;
    QElapsedTimer writeClock;
    writeClock.start();
    const bool written = SiteReport(record, QStringLiteral("10.20.5.2"), QStringLiteral("eth0")).write(path, &whyNot);
    const qint64 writeMs = writeClock.elapsed();
    if (!written) {
        std::printf("%d devices: not written: %s\n", devices, qPrintable(whyNot));
        return;
    }
    const qint64 bytes = QFileInfo(path).size();
    std::printf("%5d devices, %6zu actions: record filled in %lld ms, PDF written in %lld ms (limit 2000), "
                "%lld bytes = %.2f MB (limit 2 MB)\n      %s\n",
                devices, record.entries().size(), fillMs, writeMs, bytes, bytes / 1048576.0, qPrintable(path));
}

} // namespace

int main(int argc, char **argv)
{
    BenchLab::prepareEnvironment();
    QApplication app(argc, argv);
    initResources();
    QTranslator english;
    if (english.load(QStringLiteral(":/language/language/app_en_US.qm")))
        QCoreApplication::installTranslator(&english);

    QTemporaryDir scratch;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : scratch.path();
    writeVisit(1000, folder);
    writeVisit(40, folder);
    return 0;
}
