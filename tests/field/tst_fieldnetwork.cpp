// The tool on a Linux laptop as installers have it: wired to the devices while
// its default route leaves through another card (as Wi-Fi would); and what the
// status strip says became of a command that devices never acknowledge.

#include <QtTest>
#include <QLabel>

#include "devsimprocess.h"
#include "app/commandfeedback.h"
#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "tests/plan/plansupport.h"

class TestFieldNetwork : public QObject
{
    Q_OBJECT

    Connect *engine = nullptr;

    static int searchesHeard(const DevsimProcess &sim)
    {
        return sim.received(18152, Wire::SEARCH_DEVICE).size();
    }

private slots:
    void initTestCase()
    {
        engine = Connect::instance();
        Devs::instance();
        QVERIFY(PlanSupport::installEnglish(this));
    }

    // Layout "two": eth0 192.168.147.101 with device host 1, eth1 192.168.148.101
    // (the default route) with device host 2.
    void search_leaves_through_the_chosen_interface()
    {
        const QList<LocalAddress> candidates = engine->localAddresses();
        QCOMPARE(candidates.size(), 2);
        QCOMPARE(candidates.at(0).label(), QStringLiteral("192.168.147.101 (eth0)"));   // the devices' subnet first
        QCOMPARE(candidates.at(1).label(), QStringLiteral("192.168.148.101 (eth1)"));
        DevsimProcess wired;
        DevsimProcess other;
        QVERIFY(wired.start({"--count", "1"}, 1));
        QVERIFY(other.start({"--count", "1"}, 2));

        struct Side { LocalAddress choice; DevsimProcess *hears; DevsimProcess *deaf; };
        for (const Side &side : {Side{candidates.at(0), &wired, &other}, Side{candidates.at(1), &other, &wired}}) {
            engine->chooseLocalAddress(side.choice);
            const int heard = searchesHeard(*side.hears);
            const int missed = searchesHeard(*side.deaf);
            engine->search();
            QVERIFY(side.hears->waitForLog([&](const QList<QJsonObject> &) { return searchesHeard(*side.hears) == heard + 1; }));
            QCOMPARE(side.hears->received(18152, Wire::SEARCH_DEVICE).last().value("from").toString(), side.choice.address.toString());
            // The other side would have heard it by the time this side's device has answered.
            QVERIFY(QTest::qWaitFor([&] { return Devs::instance()->getDevList().size() >= 1; }, 3000));
            QCOMPARE(searchesHeard(*side.deaf), missed);
            Devs::instance()->clear();
        }
    }

    // Default layout: the device answers the tool's own follow-up searches, or stays silent.
    void feedback_says_what_became_of_a_reset_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("back") << false << "00:1A:2B:3C:00:00 answers at 192.168.147.20";
        QTest::newRow("gone") << true << "00:1A:2B:3C:00:00 has not answered since the reset";
    }

    void feedback_says_what_became_of_a_reset()
    {
        QFETCH(bool, silent);
        QFETCH(QString, outcome);
        DevsimProcess sim;
        QVERIFY(sim.start({"--count", "1"}));
        engine->cleanSearch();
        QVERIFY(QTest::qWaitFor([] { return Devs::instance()->getDevList().size() == 1; }, 3000));
        if (silent)
            QVERIFY(sim.command("silent 0"));
        QLabel strip;
        CommandFeedback feedback(&strip);
        feedback.setFollowUps({200, 400, 800});
        feedback.watch(QStringLiteral("sent"), {sim.mac(0)}, CommandFeedback::Reset);
        QTRY_COMPARE_WITH_TIMEOUT(strip.text(), outcome, 5000);
        // The tool searched by itself in the meantime.
        QVERIFY(sim.received(18152, Wire::SEARCH_DEVICE).size() >= 2);
    }
};

QTEST_MAIN(TestFieldNetwork)
#include "tst_fieldnetwork.moc"
