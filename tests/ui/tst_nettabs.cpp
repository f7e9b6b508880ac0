#include <QtTest>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include "ui/nettabbtn.h"
#include "ui/pswbtn.h"

// The network dialog's small widgets: the tab header's look and the password eye.
class TestNetTabs : public QObject
{
    Q_OBJECT

    struct Tab
    {
        QWidget holder;
        NetTabBtn *tab;
        QLabel *title;
        QLabel *status;
        Tab()
        {
            holder.resize(240, 50);
            holder.setStyleSheet("background-color:#dee2e6;");
            tab = new NetTabBtn(&holder);
            tab->setGeometry(10, 8, 200, 34);
            auto *layout = new QHBoxLayout(tab);
            title = new QLabel(QStringLiteral("网络配置"), tab);
            title->setObjectName("label_wifiTitle");
            status = new QLabel(tab);
            status->setObjectName("label_wifiStatus");
            layout->addWidget(title);
            layout->addWidget(status);
        }
        QColor background() { return holder.grab().toImage().pixelColor(15, 25); }
        QColor text() { return title->palette().color(QPalette::WindowText); }
    };

private slots:
    void selected_tab_is_dark_with_light_text_data()
    {
        QTest::addColumn<bool>("selected");
        QTest::addColumn<bool>("dark");
        QTest::addColumn<QColor>("text");
        QTest::newRow("selected") << true << true << QColor("#e2e2e2");
        QTest::newRow("unselected") << false << false << QColor("#6c6c6c");
    }

    void selected_tab_is_dark_with_light_text()
    {
        QFETCH(bool, selected);
        QFETCH(bool, dark);
        QFETCH(QColor, text);
        Tab tab;
        tab.holder.show();
        tab.tab->setSelected(!selected);
        tab.tab->setSelected(selected);
        QCOMPARE(tab.background().lightness() < 128, dark);
        tab.title->ensurePolished();
        QCOMPARE(tab.text(), text);
    }

    void status_reads_act_or_not()
    {
        Tab tab;
        tab.tab->setStatus(true);
        QCOMPARE(tab.status->text(), QStringLiteral("[已启用]"));
        tab.tab->setStatus(false);
        QCOMPARE(tab.status->text(), QStringLiteral("[未启用]"));
        QCOMPARE(tab.title->text(), QStringLiteral("网络配置"));
    }

    void tab_raises_click_on_left_release_only()
    {
        Tab tab;
        tab.holder.show();
        QSignalSpy clicks(tab.tab, SIGNAL(clickMsg(NetTabBtn*)));
        QTest::mouseClick(tab.tab, Qt::RightButton);
        QCOMPARE(clicks.size(), 0);
        QTest::mouseClick(tab.tab, Qt::LeftButton);
        QCOMPARE(clicks.size(), 1);
        QCOMPARE(clicks.at(0).at(0).value<NetTabBtn *>(), tab.tab);
    }

    void eye_toggles_on_every_click_and_reports_left_ones()
    {
        PswBtn eye;
        eye.resize(22, 22);
        eye.show();
        QSignalSpy reports(&eye, SIGNAL(clickMsg(bool)));
        QVERIFY(eye.styleSheet().contains("btn_psw_invisible.png"));
        QTest::mouseClick(&eye, Qt::LeftButton);
        QVERIFY(eye.shown());
        QVERIFY(eye.styleSheet().contains("btn_psw_visible.png"));
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports.at(0).at(0).toBool(), true);
        QTest::mouseClick(&eye, Qt::RightButton);   // toggles, says nothing
        QVERIFY(!eye.shown());
        QCOMPARE(reports.size(), 1);
    }
};

QTEST_MAIN(TestNetTabs)
#include "tst_nettabs.moc"
