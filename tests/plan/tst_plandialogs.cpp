// The two site plan dialogs as the installer sees them, without the protocol
// engine: the "Prepare All Update" form's red fields, skipped addresses and
// count of devices left without an address; the dry run's table, its colours
// and its Apply button.

#include <QtTest>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeView>

#include "plan/addressrangeform.h"
#include "plan/plandryrun.h"
#include "plansupport.h"

// A field typed into, and the warning label beside it that gives the reason.
struct Typed { const char *field; QString typed; const char *warning; QString reason; };
Q_DECLARE_METATYPE(Typed)
// The states of the dry run's rows; the first row's text and colour, and the Apply button's text (enabled for any change).
struct Shown { QList<DryRunRow::State> states; QString text; QColor colour; QString apply; };
Q_DECLARE_METATYPE(Shown)

namespace {

const QColor Red(0xe0, 0x20, 0x20);
const QColor Grey(160, 160, 160);
const QColor Green(0, 140, 0);
const QColor Black(0, 0, 0);

// Line 4 of a plan, its twin on line 9, the device online at its planned
// address and where it answered after Apply, in the given state.
DryRunRow row(DryRunRow::State state)
{
    return {4, "Dock east", "00:1A:00:00:00:0A", "10.20.5.50", "255.255.255.0", "10.20.5.1", "10.20.5.14", "255.255.255.0",
            "10.20.5.254", QString(), false, state, "00:1A:00:00:00:0B", 9, "10.20.5.14"};
}

QList<DryRunRow> rows(const QList<DryRunRow::State> &states)
{
    QList<DryRunRow> made;
    for (DryRunRow::State state : states)
        made << row(state);
    return made;
}

} // namespace

class TestPlanDialogs : public QObject
{
    Q_OBJECT

    template<typename T>
    static T *child(QWidget *dialog, const char *name)
    {
        T *found = dialog->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no %s", name);
        return found;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(PlanSupport::installEnglish(this));
    }

    void form_marks_a_field_red_with_its_reason_data()
    {
        QTest::addColumn<Typed>("c");
        QTest::newRow("first at the network address") << Typed{"lineEdit_first", "10.20.5.0", "label_worFirst", "*The subnet's own address"};
        QTest::newRow("mask with holes") << Typed{"lineEdit_mask", "255.0.255.0", "label_worMask", "*Not a valid mask"};
        QTest::newRow("gateway elsewhere") << Typed{"lineEdit_gateway", "10.20.6.1", "label_worGateway",
                                                    "*Not in the first address's subnet"};
        QTest::newRow("DNS emptied") << Typed{"lineEdit_dns", "", "label_worDns", "*Enter the DNS server"};
    }

    void form_marks_a_field_red_with_its_reason()
    {
        QFETCH(Typed, c);
        AddressRangeForm form;
        QList<AddressPlan> plans;
        connect(&form, &AddressRangeForm::planMsg, this, [&plans](const AddressPlan &plan) { plans << plan; });
        form.setUp(AddressRange::defaultsFor(QHostAddress(QStringLiteral("10.20.5.77")), 24),
                   [](const AddressRange &) { return AddressPlan{{{nullptr, QStringLiteral("10.20.5.2"), false}}, {}}; });
        form.show();
        auto *submit = child<QPushButton>(&form, "pushButton_submit");
        QVERIFY(submit->isEnabled());
        QCOMPARE(plans.last().assigned.size(), 1);

        child<QLineEdit>(&form, c.field)->setText(c.typed);
        auto *label = child<QLabel>(&form, c.warning);
        QCOMPARE(label->text(), c.reason);
        QCOMPARE(label->palette().color(QPalette::WindowText), Red);
        QVERIFY(!submit->isEnabled());
        // The list's column empties while the range is invalid.
        QVERIFY(plans.last().assigned.isEmpty());
        for (const char *other : {"label_worFirst", "label_worMask", "label_worGateway", "label_worDns"})
            QCOMPARE(child<QLabel>(&form, other)->isVisible(), !qstrcmp(c.warning, other));
    }

    void form_lists_skipped_addresses_and_devices_left_without()
    {
        AddressRangeForm form;
        AddressRange asked;
        const AddressPlan plan{{{nullptr, QStringLiteral("10.20.5.3"), false}, {nullptr, {}, false}, {nullptr, {}, false}},
                               {{QStringLiteral("10.20.5.2"), QStringLiteral("the gateway")}}};
        form.setUp(AddressRange::defaultsFor(QHostAddress(QStringLiteral("10.20.5.77")), 24), [&](const AddressRange &range) {
            asked = range;
            return plan;
        });
        form.show();
        child<QLineEdit>(&form, "lineEdit_gateway")->setText(QStringLiteral("10.20.5.2"));
        QCOMPARE(asked.texts(), AddressRange::Texts({"10.20.5.2", "255.255.255.0", "10.20.5.2", "10.20.5.1"}));
        auto *skipped = child<QListWidget>(&form, "listWidget_skipped");
        QCOMPARE(skipped->count(), 1);
        QCOMPARE(skipped->item(0)->text(), "10.20.5.2: the gateway");
        auto *unassigned = child<QLabel>(&form, "label_unassigned");
        QVERIFY(unassigned->isVisible());
        QCOMPARE(unassigned->text(), "2 devices will get no address");

        QList<AddressRange> confirmed;
        connect(&form, &AddressRangeForm::confirmMsg, this, [&confirmed](const AddressRange &range) { confirmed << range; });
        QSignalSpy closed(&form, SIGNAL(closeMsg()));
        QTest::mouseClick(child<QPushButton>(&form, "pushButton_submit"), Qt::LeftButton);
        QCOMPARE(confirmed.size(), 1);
        QCOMPARE(confirmed.first().texts(), asked.texts());
        QCOMPARE(closed.count(), 1);
    }

    void dry_run_shows_texts_colours_and_the_changes_to_apply_data()
    {
        QTest::addColumn<Shown>("c");
        const QString none = QStringLiteral("Apply 0 changes");
        QTest::newRow("will change") << Shown{{DryRunRow::WillChange, DryRunRow::Offline}, "will change", Black, "Apply 1 change"};
        QTest::newRow("already so") << Shown{{DryRunRow::AlreadySo, DryRunRow::NotFound}, "already so", Grey, none};
        QTest::newRow("clash") << Shown{{DryRunRow::ClashesWithDevice}, "clashes with 00:1A:00:00:00:0B (online at that address)", Red, none};
        QTest::newRow("invalid mask") << Shown{{DryRunRow::InvalidMask}, "invalid mask on line 4", Red, none};
        QTest::newRow("answers") << Shown{{DryRunRow::Answers}, "answers at 10.20.5.14", Green, none};
        QTest::newRow("not answered") << Shown{{DryRunRow::NotAnswered}, "has not answered at 10.20.5.14", Red, none};
        QTest::newRow("nine changes") << Shown{QVector<DryRunRow::State>(9, DryRunRow::WillChange).toList() << DryRunRow::ClashesWithComputer,
                                               "will change", Black, "Apply 9 changes"};
    }

    void dry_run_shows_texts_colours_and_the_changes_to_apply()
    {
        QFETCH(Shown, c);
        const auto &[states, text, colour, apply] = c;
        PlanDryRun dialog;
        dialog.setRows(rows(states));
        const QAbstractItemModel *shown = child<QTreeView>(&dialog, "treeView_rows")->model();
        QStringList headers;
        QStringList cells;
        for (int column = 0; column < shown->columnCount(); ++column) {
            headers << shown->headerData(column, Qt::Horizontal).toString();
            cells << shown->index(0, column).data().toString();
            QCOMPARE(shown->index(0, column).data(Qt::ForegroundRole).value<QBrush>().color(), colour);
        }
        QCOMPARE(headers, QStringList({"Label", "MAC address", "Current address", "Current mask", "Current gateway",
                                       "Planned address", "Planned mask", "Planned gateway", "State"}));
        QCOMPARE(cells, QStringList({"Dock east", "00:1A:00:00:00:0A", "10.20.5.50", "255.255.255.0", "10.20.5.1",
                                     "10.20.5.14", "255.255.255.0", "10.20.5.254", text}));
        auto *button = child<QPushButton>(&dialog, "pushButton_apply");
        QCOMPARE(button->text(), apply);
        QCOMPARE(button->isEnabled(), apply != QLatin1String("Apply 0 changes"));
    }

    void apply_is_pressed_once_then_rows_follow_the_devices()
    {
        PlanDryRun dialog;
        dialog.setRows(rows({DryRunRow::WillChange, DryRunRow::WillChange, DryRunRow::AlreadySo}));
        dialog.show();
        auto *summary = child<QLabel>(&dialog, "label_summary");
        QVERIFY(!summary->isVisible());
        QSignalSpy applied(&dialog, SIGNAL(applyMsg()));
        auto *apply = child<QPushButton>(&dialog, "pushButton_apply");
        QTest::mouseClick(apply, Qt::LeftButton);
        QTest::mouseClick(apply, Qt::LeftButton);
        QCOMPARE(applied.count(), 1);
        QVERIFY(!apply->isEnabled());
        QCOMPARE(child<QPushButton>(&dialog, "pushButton_cancel")->text(), "Close");

        dialog.setRows(rows({DryRunRow::Answers, DryRunRow::WillChange, DryRunRow::AlreadySo}));
        QVERIFY(!apply->isEnabled());
        QVERIFY(summary->isVisible());
        QCOMPARE(summary->text(), "1 of 2 devices answer at their planned address");
        QCOMPARE(child<QLabel>(&dialog, "label_counts")->text(), "1 will change, 1 already so, 1 answering");
    }
};

QTEST_MAIN(TestPlanDialogs)
#include "tst_plandialogs.moc"
