// A window that stands still while a site answers: the answers wait in memory
// and all reach the registry afterwards, each port's in the order devices sent
// them, up to the queue's bound, past which the rest is dropped and said once.

#include <QtTest>

#include "devsimprocess.h"
#include "protocol/adminservice.h"
#include "protocol/connect.h"
#include "protocol/datagramreader.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "support/debuglines.h"

class TestAnswerQueue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
#ifdef SEARCHER_PORTABLE_READER
        Connect::instance()->readAnswersBy(DatagramReader::PortablePath);
#endif
    }

    void a_stalled_window_loses_no_answer_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("kept");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("all kept") << int(DatagramReader::MaxQueued) << 2000 << QStringList();
        QTest::newRow("a full queue drops the rest") << 500 << 500
                                                     << QStringList{"[E]answer queue full, dropped 1500 datagrams"};
    }

    void a_stalled_window_loses_no_answer()
    {
        QFETCH(int, limit);
        QFETCH(int, kept);
        QFETCH(QStringList, lines);
        Connect *engine = Connect::instance();
        Devs *devs = Devs::instance();
        DatagramReader *reader = engine->answerReader();
        DevsimProcess sim;
        // Even devices answer by broadcast to 18153, odd ones to 18155.
        QVERIFY(sim.start({"--count", "2000", "--reply", "mixed"}));
        reader->setQueueLimit(limit);
        const auto restore = qScopeGuard([reader] { reader->setQueueLimit(DatagramReader::MaxQueued); });
        devs->clear();
        QSignalSpy log(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        const int before = reader->readCount();

        // The GUI thread turns no event loop until the reader has taken every answer.
        engine->search();
        QDeadlineTimer deadline(20000);
        while (reader->readCount() - before < 2000 && !deadline.hasExpired())
            QThread::msleep(1);
        QCOMPARE(reader->readCount() - before, 2000);

        QTRY_COMPARE_WITH_TIMEOUT(devs->getDevList().size(), kept, 10000);
        QTRY_COMPARE(debugLines(log).filter("[E]"), lines);
        QHash<QString, int> device;
        for (int i = 0; i < 2000; ++i)
            device.insert(sim.mac(i), i);
        int last[2] = {-1, -1};
        for (const Dev *dev : devs->getDevList()) {
            const int index = device.value(dev->mac(), -1);
            QVERIFY2(index >= 0 && index > last[index % 2], qPrintable(dev->mac()));
            last[index % 2] = index;
        }
    }
};

QTEST_GUILESS_MAIN(TestAnswerQueue)
#include "tst_answerqueue.moc"
