// The tool's own small widgets without the protocol engine, the address rules
// of the network dialog and the QR code.
// Presses go through the window as the window system delivers them: grabs and
// propagation are real.
// The label-buttons also press by keyboard and through the accessibility action.

#include <QtTest>
#include <QAccessible>
#include <QLabel>
#include <QListWidget>

#include <functional>

#include "protocol/adminservice.h"
#include "resources/resources.h"
#include "status/harddiskitem.h"
#include "status/qrcode.h"
#include "support/qrreader.h"
#include "ui/admin.h"
#include "ui/background.h"
#include "ui/btn.h"
#include "ui/buttonaccess.h"
#include "ui/ipv4input.h"
#include "ui/menu.h"
#include "ui/menuitem.h"
#include "ui/nettabbtn.h"
#include "ui/pswbtn.h"

Q_DECLARE_METATYPE(Qt::MouseButton)

// The widget, the gesture (left, right, press action, or a key sequence) and how many presses it reports.
struct ClickCase { QString widget, gesture; int reports; };
Q_DECLARE_METATYPE(ClickCase)
// The menu entry, the button pressed on it, the commands raised and the entry's text.
struct EntryCase { QString entry; Qt::MouseButton button; QStringList raised; QString text; };
Q_DECLARE_METATYPE(EntryCase)
struct NetCase { QString address, mask; bool isNetmask, isHost; };
Q_DECLARE_METATYPE(NetCase)
// The text encoded, the text read back, and the modules across the symbol: 25 for version 2.
struct QrCase { QString text, read; int modules; };
Q_DECLARE_METATYPE(QrCase)

namespace {

using Factory = std::function<QWidget *(QWidget *)>;

// Each widget as its dialog holds it (a tab or a tile has a text beside its
// background), and the signal that says it was pressed.
struct Kind
{
    Factory make;
    QByteArray pressed;
};

const QMap<QString, Kind> &kinds()
{
    static const QMap<QString, Kind> made{
        {"Btn", {[](QWidget *p) { return new Btn(p); }, SIGNAL(clicked())}},
        {"Background", {[](QWidget *p) { return new Background(p); }, SIGNAL(clickMsg())}},
        {"PswBtn", {[](QWidget *p) { return new PswBtn(p); }, SIGNAL(clickMsg(bool))}},
        {"NetTabBtn", {[](QWidget *p) { auto *tab = new NetTabBtn(p); new QLabel(QStringLiteral("网络配置"), tab); return tab; },
                       SIGNAL(clickMsg(NetTabBtn *))}},
        {"HardDiskItem", {[](QWidget *p) { return new HardDiskItem(p); }, SIGNAL(clickMsg(int))}},
        {"MenuItem", {[](QWidget *p) { return new MenuItem(p); }, SIGNAL(clicked(MenuItem *))}},
    };
    return made;
}

// The label-buttons.
const char *const LabelButtons[] = {"Btn", "PswBtn", "NetTabBtn", "MenuItem"};

} // namespace

class TestWidgets : public QObject
{
    Q_OBJECT

    QWidget *window = nullptr;

    QWindow *handle() const { return window->windowHandle(); }
    QPoint centreOf(const QWidget *w) const { return w->mapTo(window, w->rect().center()); }

    void showWindow()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }

    void click(Qt::MouseButton button, QPoint at)
    {
        QTest::mousePress(handle(), button, {}, at);
        QTest::mouseRelease(handle(), button, {}, at);
    }

    Menu *shownMenu()
    {
        auto *menu = new Menu(window);
        menu->move(20, 20);
        menu->fitHeightToEntries();
        showWindow();
        menu->show();
        return menu;
    }

private slots:
    void initTestCase()
    {
        initResources();
        initResources();   // registering twice must not break anything
        QAccessible::installFactory(ButtonAccess::factory);
        // The 9-point font the main window sets for every widget of the tool.
        QFont font = QApplication::font();
        font.setPointSize(9);
        QApplication::setFont(font);
    }

    void init() { window = new QWidget; window->resize(600, 400); }
    void cleanup() { delete window; }

    // Mouse buttons for every widget; keys and the accessibility press action
    // for the label-buttons, which take the keyboard focus and press like buttons.
    void only_a_left_click_or_a_button_key_is_reported_data()
    {
        QTest::addColumn<ClickCase>("c");
        for (const char *widget : {"Btn", "Background", "PswBtn", "NetTabBtn", "HardDiskItem"}) {
            QTest::addRow("%s left", widget) << ClickCase{widget, "left", 1};
            QTest::addRow("%s right", widget) << ClickCase{widget, "right", 0};
        }
        for (const char *widget : LabelButtons)
            for (const char *gesture : {"Return", "Space", "press action"})
                QTest::addRow("%s %s", widget, gesture) << ClickCase{widget, gesture, 1};
        QTest::newRow("Btn keypad Enter") << ClickCase{"Btn", "Num+Enter", 1};
        QTest::newRow("Btn A") << ClickCase{"Btn", "A", 0};
        QTest::newRow("Btn Ctrl+Return") << ClickCase{"Btn", "Ctrl+Return", 0};
    }

    void only_a_left_click_or_a_button_key_is_reported()
    {
        QFETCH(ClickCase, c);
        const QString &widget = c.widget, &gesture = c.gesture;
        QWidget *made = kinds().value(widget).make(window);
        made->setGeometry(50, 50, 160, 30);
        showWindow();
        QSignalSpy spy(made, kinds().value(widget).pressed.constData());
        if (gesture == QLatin1String("left") || gesture == QLatin1String("right")) {
            click(gesture == QLatin1String("left") ? Qt::LeftButton : Qt::RightButton, centreOf(made));
        } else if (gesture == QLatin1String("press action")) {
            QAccessibleInterface *access = QAccessible::queryAccessibleInterface(made);
            QCOMPARE(access->role(), QAccessible::Button);
            access->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        } else {
            QCOMPARE(made->focusPolicy(), Qt::StrongFocus);
            const int key = QKeySequence(gesture)[0];
            QTest::keyClick(made, Qt::Key(key & ~Qt::KeyboardModifierMask), Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        }
        QCOMPARE(spy.size(), c.reports);
    }

    void entry_lights_under_the_pointer_and_a_left_press_raises_its_command_and_closes_the_menu_data()
    {
        QTest::addColumn<EntryCase>("c");
        QStringList texts{"升级", "网络配置", "复位", "主码流配置", "子码流配置"};
        for (const char *command : {"update", "config", "reset", "main", "sub"})
            QTest::newRow(command) << EntryCase{QStringLiteral("widget_%1").arg(command), Qt::LeftButton, {command}, texts.takeFirst()};
        QTest::newRow("right on reset") << EntryCase{"widget_reset", Qt::RightButton, {}, "复位"};
    }

    // Lit under the pointer; pressed on the entry's text, as a user does: the label passes the press on.
    // The entry lies whole inside the panel's border: the lowest was once cut off.
    void entry_lights_under_the_pointer_and_a_left_press_raises_its_command_and_closes_the_menu()
    {
        QFETCH(EntryCase, c);
        Menu *menu = shownMenu();
        auto *item = menu->findChild<MenuItem *>(c.entry);
        // It lights up under the pointer, and only it.
        const auto lit = [&] {
            QStringList found;
            for (MenuItem *other : menu->findChildren<MenuItem *>())
                if (other->isVisible() && menu->grab().toImage().pixelColor(other->mapTo(menu, other->rect().center())) == QColor(200, 220, 255))
                    found << other->objectName();
            return found;
        };
        QTest::mouseMove(handle(), QPoint(500, 350));   // the pointer comes in over the window first
        QTest::mouseMove(handle(), centreOf(item));
        QCOMPARE(lit(), QStringList{c.entry});
        QTest::mouseMove(handle(), QPoint(500, 350));
        QCOMPARE(lit(), QStringList());
        QCOMPARE(item->findChild<QLabel *>()->text(), c.text);
        QCOMPARE(item->height(), 28);
        QVERIFY(menu->findChild<QWidget *>(QStringLiteral("widget"))->rect().adjusted(1, 1, -1, -1).contains(item->geometry()));
        QSignalSpy commands(menu, SIGNAL(clickMenuMsg(QString)));
        click(c.button, centreOf(item->findChild<QLabel *>()));
        QStringList got;
        for (const QList<QVariant> &args : qAsConst(commands))
            got << args.at(0).toString();
        QCOMPARE(got, c.raised);
        QCOMPARE(menu->isVisible(), c.raised.isEmpty());
    }

    // An error line stands out in red and is neither cut nor wrapped; a flood
    // drops the oldest lines and counts them.
    void error_lines_stand_out_in_red_unknown_ones_are_dropped_and_a_flood_is_counted()
    {
        Admin admin;
        admin.show();
        QVERIFY(QTest::qWaitForWindowExposed(&admin));
        auto *list = admin.findChild<QListWidget *>(QStringLiteral("listWidget"));
        const QString longest = QStringLiteral("[E]drop short search answer,size:65535,from:255.255.255.255");
        const int types[] = {AdminService::Tcp, AdminService::Sent, AdminService::Received, AdminService::Error};
        for (int type : types)
            AdminService::instance()->debug(type == AdminService::Error ? longest : QStringLiteral("line"), type);
        AdminService::instance()->debug(QStringLiteral("no such type"), 7);
        QCOMPARE(list->count(), 4);
        for (int row = 0; row < 4; ++row)
            QCOMPARE(list->item(row)->foreground().color() == QColor(255, 0, 0), types[row] == AdminService::Error);
        QCoreApplication::processEvents();
        const QRect rect = list->visualItemRect(list->item(3));
        QVERIFY(rect.width() > QFontMetrics(list->font()).horizontalAdvance(longest));
        QCOMPARE(rect.height(), list->visualItemRect(list->item(0)).height());

        list->clear();
        const int total = 100000;
        for (int i = 0; i < total; ++i) {
            AdminService::instance()->debug(QStringLiteral("[R]search msg %1").arg(i), AdminService::Received);
            if (i % 1000 == 0)
                QCoreApplication::processEvents();   // laid out and painted as it grows
        }
        QCoreApplication::processEvents();
        QVERIFY2(list->count() <= Admin::MaxLines + 1, qPrintable(QString::number(list->count())));
        QCOMPARE(list->item(list->count() - 1)->text(), QStringLiteral("[R]search msg %1").arg(total - 1));
        // Every line is either shown or counted in the first row, and none is lost in between.
        const QRegularExpressionMatch counter =
                QRegularExpression(QStringLiteral("^… (\\d+) older lines dropped$")).match(list->item(0)->text());
        QVERIFY2(counter.hasMatch(), qPrintable(list->item(0)->text()));
        const int dropped = counter.captured(1).toInt();
        QCOMPARE(list->item(1)->text(), QStringLiteral("[R]search msg %1").arg(dropped));
        QCOMPARE(dropped + list->count() - 1, total);
    }

    // The address rules of the network dialog: what an installer may type.
    void parses_only_dotted_decimal_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("value");   // -1: refused
        QTest::newRow("plain") << "192.168.147.20" << qint64(0xc0a89314);
        QTest::newRow("all 255") << "255.255.255.255" << qint64(0xffffffff);
        QTest::newRow("empty") << "" << qint64(-1);
        QTest::newRow("three parts") << "192.168.1" << qint64(-1);
        QTest::newRow("part over 255") << "192.168.1.256" << qint64(-1);
        QTest::newRow("empty part") << "192..1.1" << qint64(-1);
        QTest::newRow("leading zero") << "192.168.01.1" << qint64(-1);
        QTest::newRow("space") << "192.168.1.1 " << qint64(-1);
        QTest::newRow("sign") << "+1.2.3.4" << qint64(-1);
        QTest::newRow("full-width digit") << QString::fromUtf8("192.168.1.\xef\xbc\x91") << qint64(-1);
    }

    void parses_only_dotted_decimal()
    {
        QFETCH(QString, text);
        QFETCH(qint64, value);
        const std::optional<quint32> parsed = Ipv4Input::parse(text);
        QCOMPARE(parsed ? qint64(*parsed) : qint64(-1), value);
    }

    void netmask_host_and_subnet_rules_data()
    {
        QTest::addColumn<NetCase>("c");   // address, mask, is the mask a netmask, is the address a host in it
        QTest::newRow("/24 host") << NetCase{"192.168.147.20", "255.255.255.0", true, true};
        QTest::newRow("/24 subnet address") << NetCase{"192.168.147.0", "255.255.255.0", true, false};
        QTest::newRow("/24 broadcast") << NetCase{"192.168.147.255", "255.255.255.0", true, false};
        QTest::newRow("/16 .255 is a host") << NetCase{"10.1.0.255", "255.255.0.0", true, true};
        QTest::newRow("loopback") << NetCase{"127.0.0.5", "255.0.0.0", true, false};
        QTest::newRow("multicast") << NetCase{"224.0.0.5", "255.255.255.0", true, false};
        QTest::newRow("zero network") << NetCase{"0.1.2.3", "255.0.0.0", true, false};
        QTest::newRow("holes in the mask") << NetCase{"192.168.1.2", "255.0.255.0", false, false};
        QTest::newRow("mask of ones") << NetCase{"192.168.1.2", "255.255.255.255", false, false};
    }

    void netmask_host_and_subnet_rules()
    {
        QFETCH(NetCase, c);
        const quint32 a = *Ipv4Input::parse(c.address);
        const quint32 m = *Ipv4Input::parse(c.mask);
        QCOMPARE(Ipv4Input::isNetmask(m), c.isNetmask);
        if (!c.isNetmask)
            return;
        QCOMPARE(Ipv4Input::isHostAddress(a, m), c.isHost);
        // Flipping the lowest host bit stays in the subnet, flipping the lowest network bit leaves it.
        QVERIFY(Ipv4Input::sameSubnet(a, a ^ 1, m));
        QVERIFY(!Ipv4Input::sameSubnet(a, a ^ (~m + 1), m));
    }

    // The device's QR code as a phone reads it off the panel's 130-pixel square.
    void rendered_code_reads_back_in_the_smallest_version_data()
    {
        QTest::addColumn<QrCase>("c");
        QTest::newRow("mac") << QrCase{"00:1A:2B:3C:00:0A", "00:1A:2B:3C:00:0A", 25};
        QTest::newRow("letters folded to upper case") << QrCase{"00:1a:2b:3c:00:0a", "00:1A:2B:3C:00:0A", 25};
        const QString longer = QStringLiteral("RTSP://192.168.147.20:554/USCAST/11 V3.2.1.10 00:1A:2B:3C:00:0A 255.255.255.0");
        QTest::newRow("76 characters need version 3") << QrCase{longer, longer, 29};
    }

    void rendered_code_reads_back_in_the_smallest_version()
    {
        QFETCH(QrCase, c);
        const QImage image = QRCode::render(c.text, 130);
        QCOMPARE(readQRCode(image), c.read);
        // Sampling one pixel per module and scaling back to 130 wide gives the same
        // 130-pixel square only for that many modules, each a whole block of pixels, without smoothing.
        const QImage sampled = image.scaled(c.modules, c.modules, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        QCOMPARE(sampled.scaledToWidth(130, Qt::FastTransformation), image);
        QCOMPARE(image.pixel(0, 0), qRgb(0, 0, 0));   // finder pattern, no quiet zone
    }

    void unencodable_text_gives_no_picture_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("beyond the largest version") << QString(3000, QLatin1Char('#'));
    }

    void unencodable_text_gives_no_picture()
    {
        QFETCH(QString, text);
        QVERIFY(QRCode::render(text, 130).isNull());
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
