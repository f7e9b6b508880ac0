#include <QtTest>

#include "protocol/adminservice.h"
#include "protocol/connect.h"
#include "protocol/timeoutitem.h"

// The retry chain of a request, with the engine's real 500 ms timers.
class TestTimeouts : public QObject
{
    Q_OBJECT

    Connect *engine = nullptr;

private slots:
    void initTestCase() { engine = Connect::instance(); }

    void has_timeout_on_empty_list_is_false()
    {
        QVERIFY(!engine->hasTimeout(Wire::SEARCH_DEVICE));
        QCOMPARE(engine->pendingTimeouts(), 0);
    }

    void unanswered_search_is_sent_eleven_times_then_times_out()
    {
        QSignalSpy sends(engine, SIGNAL(sendMsg(int)));
        QSignalSpy lines(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        QElapsedTimer clock;
        clock.start();
        engine->searchWithRetry();
        QVERIFY(engine->hasTimeout(Wire::SEARCH_DEVICE));

        auto timedOut = [&] {
            for (const QList<QVariant> &line : lines) {
                if (line.at(0).toString() == QLatin1String("[E]search device timeout"))
                    return true;
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(timedOut(), 8000);
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(sends.size(), 11);
        QVERIFY2(elapsed >= 5400 && elapsed < 7000, qPrintable(QString::number(elapsed)));
        int errorLines = 0;
        for (const QList<QVariant> &line : lines)
            errorLines += line.at(1).toInt() == AdminService::Error;
        QCOMPARE(errorLines, 1);
        QTRY_COMPARE(engine->pendingTimeouts(), 0);
        QTest::qWait(700);
        QCOMPARE(sends.size(), 11);
    }

    void remove_after_third_send_stops_the_chain()
    {
        QSignalSpy sends(engine, SIGNAL(sendMsg(int)));
        QSignalSpy lines(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        engine->searchWithRetry();
        QTRY_COMPARE_WITH_TIMEOUT(sends.size(), 3, 2000);
        engine->removeTimeout(Wire::SEARCH_DEVICE);
        QVERIFY(!engine->hasTimeout(Wire::SEARCH_DEVICE));
        QTest::qWait(1500);
        QCOMPARE(sends.size(), 3);
        for (const QList<QVariant> &line : lines)
            QVERIFY(line.at(0).toString() != QLatin1String("[E]search device timeout"));
    }

    void exhausted_item_of_other_code_is_removed_silently()
    {
        QSignalSpy lines(AdminService::instance(), SIGNAL(debugMsg(QString,int)));
        // A callback that does not re-register ends the chain at its first expiry...
        engine->addTimeout(Wire::RESET_DEVICE, &Connect::resetAll);
        QTest::qWait(800);
        QVERIFY(engine->hasTimeout(Wire::RESET_DEVICE));
        engine->removeTimeout(Wire::RESET_DEVICE);
        QCOMPARE(engine->pendingTimeouts(), 0);

        // ...and an item with no retries left reports at once, without a log line.
        auto *item = new TimeoutItem(Wire::RESET_DEVICE, 0, &Connect::resetAll);
        QSignalSpy expired(item, SIGNAL(timeoutMsg(TimeoutItem*)));
        connect(item, SIGNAL(timeoutMsg(TimeoutItem*)), engine, SLOT(timeoutMax(TimeoutItem*)));
        item->start(10);
        QTRY_COMPARE(expired.size(), 1);
        QCOMPARE(item->callback, nullptr);
        QCOMPARE(lines.size(), 0);
        delete item;
    }

    void header_removal_reads_code_and_result_as_one_word()
    {
        engine->addTimeout(Wire::SEARCH_DEVICE, &Connect::searchWithRetry);
        msg_head_t withResult = Wire::makeHead(Wire::SEARCH_DEVICE, 0);
        withResult.result = 1;
        engine->removeTimeout(withResult);
        QVERIFY(engine->hasTimeout(Wire::SEARCH_DEVICE));
        engine->removeTimeout(Wire::makeHead(Wire::SEARCH_DEVICE, 0));
        QVERIFY(!engine->hasTimeout(Wire::SEARCH_DEVICE));
    }
};

QTEST_GUILESS_MAIN(TestTimeouts)
#include "tst_timeouts.moc"
