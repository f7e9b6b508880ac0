// A window that stands still while a site answers: the answers wait in memory
// and all reach the registry afterwards, each at its sender's address, each
// port's in the order devices sent them, up to the queue's bound. What is dropped past it the engine searches
// for again by itself, twice at most.

#include <QtTest>
#include <QUdpSocket>

#include "devsimprocess.h"
#include "protocol/adminservice.h"
#include "protocol/connect.h"
#include "protocol/datagramreader.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "support/debuglines.h"

namespace {

constexpr int Devices = 2000;

// The reader's queue limit; the searches the window stands still through, from the first, and those sent in all;
// whether every device reaches the list, and the error lines logged.
struct Stall { int limit, stalls, searches; bool complete; QStringList lines; };

} // namespace

Q_DECLARE_METATYPE(Stall)

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
        QTest::addColumn<Stall>("c");
        const QString again = QStringLiteral("[E]answers dropped: 1000, searching again");
        QTest::newRow("all kept") << Stall{DatagramReader::MaxQueued, 1, 1, true, {}};
        QTest::newRow("what a full queue drops is searched again") << Stall{1000, 1, 2, true, {again}};
        QTest::newRow("searched again twice at most") << Stall{1000, 3, 3, false, {again, again, "[E]answers dropped: 1000"}};
    }

    void a_stalled_window_loses_no_answer()
    {
        QFETCH(Stall, c);
        Connect *engine = Connect::instance();
        Devs *devs = Devs::instance();
        DatagramReader *reader = engine->answerReader();
        DevsimProcess sim;
        // Even devices answer by broadcast to 18153, odd ones to 18155.
        QVERIFY(sim.start({"--count", QString::number(Devices), "--reply", "mixed"}));
        reader->setQueueLimit(c.limit);
        devs->clear();
        QSignalSpy log(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        QSignalSpy aged(engine, SIGNAL(sendMsg(int)));
        const int searchesBefore = engine->searchCount();

        // The GUI thread turns no event loop after a search until the reader
        // has taken every answer to it. Counted from before the first search:
        // its first answers may be read before the search's line is logged.
        // A search after the stalls finds the queue open, as a busy machine
        // may well keep the window a thousand answers behind.
        const int read = reader->readCount();
        int stalled = 0;
        const auto stall = connect(AdminService::instance(), &AdminService::debugMsg, this, [&](const QString &line) {
            if (line != QLatin1String("[S]search"))
                return;
            if (stalled == c.stalls) {
                reader->setQueueLimit(DatagramReader::MaxQueued);
                return;
            }
            ++stalled;
            QDeadlineTimer deadline(20000);
            while (reader->readCount() - read < stalled * Devices && !deadline.hasExpired())
                QThread::msleep(1);
        });
        const auto restore = qScopeGuard([&] {
            disconnect(stall);
            reader->setQueueLimit(DatagramReader::MaxQueued);
        });
        engine->search();

        if (c.complete)
            QTRY_COMPARE_WITH_TIMEOUT(devs->getDevList().size(), Devices, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(debugLines(log).filter("[E]"), c.lines, 20000);
        QCOMPARE(engine->searchCount() - searchesBefore, c.searches);
        QCOMPARE(aged.size(), 1);   // a repeat greys no row
        QCOMPARE(devs->getDevList().size() < Devices, !c.complete);
        if (c.searches == 1)   // each answer logged once
            QCOMPARE(debugLines(log).count("[R]search msg from:192.168.147.11"), Devices);
        QHash<QString, int> device;
        for (int i = 0; i < Devices; ++i)
            device.insert(sim.mac(i), i);
        int last[2] = {-1, -1};
        for (const Dev *dev : devs->getDevList()) {
            const int index = device.value(dev->mac(), -1);
            QVERIFY2(index >= 0 && index > last[index % 2], qPrintable(dev->mac()));
            QCOMPARE(dev->addr, QHostAddress(QStringLiteral("192.168.147.11")));   // its row at its sender's address
            last[index % 2] = index;
        }
    }

    void every_answer_the_kernel_drops_is_counted()
    {
        // A receive buffer of a datagram or two, overrun by a burst.
        const QScopedPointer<DatagramReader> reader(DatagramReader::open(DatagramReader::LinuxPath, 18253, 18255, 1));
        QUdpSocket socket;
        const QByteArray answer(292, 'a');
        int sent = 0;
        for (int i = 0; i < Devices; ++i)
            sent += socket.writeDatagram(answer, QHostAddress::LocalHost, 18253) == answer.size();
        int dropped = 0;
        const bool counted = QTest::qWaitFor([&] {
            int more = 0;
            reader->take(DatagramReader::MaxQueued, &more);
            dropped += more;
            return reader->readCount() + dropped == sent;
        });
        QVERIFY2(counted, qPrintable(QStringLiteral("%1 sent, %2 read, %3 dropped").arg(sent).arg(reader->readCount()).arg(dropped)));
        QVERIFY(dropped > 0);   // the burst did overrun the buffer
    }
};

QTEST_GUILESS_MAIN(TestAnswerQueue)
#include "tst_answerqueue.moc"
