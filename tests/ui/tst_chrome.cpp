#include <QtTest>

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <algorithm>

#include "ui/background.h"
#include "ui/btn.h"
#include "ui/dialogchrome.h"
#include "ui/header.h"
#include "ui/menu.h"
#include "ui/menuitem.h"

Q_DECLARE_METATYPE(Qt::MouseButton)

// A dialog as the system builds them: a child of the main window that moves
// itself by what its title bar reports.
class Holder : public QWidget
{
    Q_OBJECT

public:
    explicit Holder(QWidget *parent)
        : QWidget(parent)
    {
    }

public slots:
    void moveWindow(QPoint movePoint) { DialogChrome::moveBy(this, movePoint); }
};

// Presses, drags and hovers go through the window as the window system
// delivers them, so mouse grabs, propagation to parents and enter/leave
// follow the real paths.
class TestChrome : public QObject
{
    Q_OBJECT

    QWidget *window = nullptr;

    QWindow *handle() const { return window->windowHandle(); }
    QPoint at(const QWidget *w, QPoint local) const { return w->mapTo(window, local); }
    QPoint centreOf(const QWidget *w) const { return at(w, w->rect().center()); }

    void showWindow()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
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
    void init()
    {
        window = new QWidget;
        window->resize(600, 400);
    }

    void cleanup()
    {
        delete window;
        window = nullptr;
    }

    void header_drag_moves_holder_by_each_step_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<QList<QPoint>>("steps");
        QTest::addColumn<QList<QPoint>>("reported");

        const QList<QPoint> steps = {{2, 1}, {3, 1}, {1, 2}, {4, 1}};
        QTest::newRow("left drag in small steps") << Qt::LeftButton << steps << steps;
        QTest::newRow("right drag moves nothing") << Qt::RightButton << steps << QList<QPoint>();
        QTest::newRow("middle drag moves nothing") << Qt::MiddleButton << steps << QList<QPoint>();
    }

    void header_drag_moves_holder_by_each_step()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(QList<QPoint>, steps);
        QFETCH(QList<QPoint>, reported);

        auto *holder = new Holder(window);
        holder->setGeometry(100, 80, 300, 200);
        auto *header = new Header(holder);
        header->setGeometry(0, 0, 300, 30);
        connect(header, SIGNAL(moveMsg(QPoint)), holder, SLOT(moveWindow(QPoint)));
        showWindow();
        QSignalSpy moves(header, SIGNAL(moveMsg(QPoint)));

        const QRect before = holder->geometry();
        QPoint pointer = at(header, QPoint(40, 12));
        QTest::mousePress(handle(), button, {}, pointer);
        for (const QPoint &step : steps) {
            pointer += step;
            QTest::mouseMove(handle(), pointer);
        }
        QTest::mouseRelease(handle(), button, {}, pointer);

        QCOMPARE(moves.size(), reported.size());
        QPoint total;
        for (int i = 0; i < reported.size(); ++i) {
            QCOMPARE(moves.at(i).at(0).toPoint(), reported.at(i));
            total += reported.at(i);
        }
        QCOMPARE(holder->geometry(), before.translated(total));
        if (button == Qt::LeftButton)
            QCOMPARE(total, QPoint(10, 5));
    }

    void header_stops_reporting_after_left_release()
    {
        auto *header = new Header(window);
        header->setGeometry(0, 0, 300, 30);
        showWindow();
        QSignalSpy moves(header, SIGNAL(moveMsg(QPoint)));

        QTest::mousePress(handle(), Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseRelease(handle(), Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseMove(handle(), QPoint(15, 12));
        QCOMPARE(moves.size(), 0);
    }

    void btn_raises_clicked_on_left_release_only_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<QPoint>("releaseOffset");   // from the label's centre
        QTest::addColumn<int>("clicks");

        QTest::newRow("left press and release on it") << Qt::LeftButton << QPoint() << 1;
        QTest::newRow("left release outside it") << Qt::LeftButton << QPoint(150, 120) << 1;
        QTest::newRow("right click raises nothing") << Qt::RightButton << QPoint() << 0;
        QTest::newRow("middle click raises nothing") << Qt::MiddleButton << QPoint() << 0;
    }

    void btn_raises_clicked_on_left_release_only()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(QPoint, releaseOffset);
        QFETCH(int, clicks);

        auto *btn = new Btn(window);
        btn->setGeometry(50, 50, 20, 20);
        showWindow();
        QSignalSpy clicked(btn, SIGNAL(clicked()));

        QTest::mousePress(handle(), button, {}, centreOf(btn));
        QTest::mouseRelease(handle(), button, {}, centreOf(btn) + releaseOffset);
        QCOMPARE(clicked.size(), clicks);
    }

    void background_reports_left_presses_on_itself_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<int>("clicks");

        QTest::newRow("left press on the area") << "background" << Qt::LeftButton << 1;
        QTest::newRow("right press on the area") << "background" << Qt::RightButton << 0;
        QTest::newRow("left press on a plain label passes through") << "label" << Qt::LeftButton << 1;
        QTest::newRow("left press on a push button stays there") << "button" << Qt::LeftButton << 0;
    }

    void background_reports_left_presses_on_itself()
    {
        QFETCH(QString, target);
        QFETCH(Qt::MouseButton, button);
        QFETCH(int, clicks);

        auto *background = new Background(window);
        background->setGeometry(0, 0, 400, 300);
        auto *label = new QLabel(QStringLiteral("text"), background);
        label->setObjectName(QStringLiteral("label"));
        label->setGeometry(10, 10, 80, 20);
        auto *pushButton = new QPushButton(QStringLiteral("button"), background);
        pushButton->setObjectName(QStringLiteral("button"));
        pushButton->setGeometry(10, 100, 80, 30);
        showWindow();
        QSignalSpy pressed(background, SIGNAL(clickMsg()));

        const QWidget *pressedOn = target == QLatin1String("background")
                ? static_cast<QWidget *>(background)
                : background->findChild<QWidget *>(target);
        const QPoint point = target == QLatin1String("background") ? at(background, QPoint(300, 250)) : centreOf(pressedOn);
        QTest::mousePress(handle(), button, {}, point);
        QTest::mouseRelease(handle(), button, {}, point);
        QCOMPARE(pressed.size(), clicks);
    }

    void menu_item_lights_up_under_pointer_and_back()
    {
        Menu *menu = shownMenu();
        auto *reset = menu->findChild<MenuItem *>(QStringLiteral("widget_reset"));
        auto *config = menu->findChild<MenuItem *>(QStringLiteral("widget_config"));
        const QPoint inside = reset->mapTo(menu, reset->rect().center());
        const QColor panel(234, 234, 234);
        const QColor highlight(200, 220, 255);
        // The pointer comes in over the window first, as it always does.
        QTest::mouseMove(handle(), QPoint(500, 350));
        QCOMPARE(menu->grab().toImage().pixelColor(inside), panel);

        QTest::mouseMove(handle(), centreOf(reset));
        QCOMPARE(menu->grab().toImage().pixelColor(inside), highlight);

        QTest::mouseMove(handle(), centreOf(config));
        QCOMPARE(menu->grab().toImage().pixelColor(inside), panel);
        QCOMPARE(menu->grab().toImage().pixelColor(config->mapTo(menu, config->rect().center())), highlight);

        QTest::mouseMove(handle(), QPoint(500, 350));
        QCOMPARE(menu->grab().toImage().pixelColor(config->mapTo(menu, config->rect().center())), panel);
    }

    void left_press_on_entry_raises_its_command_and_closes_menu_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<QStringList>("raised");
        QTest::addColumn<bool>("stillShown");

        QTest::newRow("left on reset") << "widget_reset" << Qt::LeftButton << QStringList{"reset"} << false;
        QTest::newRow("right on reset") << "widget_reset" << Qt::RightButton << QStringList() << true;
        QTest::newRow("middle on reset") << "widget_reset" << Qt::MiddleButton << QStringList() << true;
        QTest::newRow("right on update") << "widget_update" << Qt::RightButton << QStringList() << true;
        QTest::newRow("left on update") << "widget_update" << Qt::LeftButton << QStringList{"update"} << false;
        QTest::newRow("left on config") << "widget_config" << Qt::LeftButton << QStringList{"config"} << false;
        QTest::newRow("left on main") << "widget_main" << Qt::LeftButton << QStringList{"main"} << false;
        QTest::newRow("left on sub") << "widget_sub" << Qt::LeftButton << QStringList{"sub"} << false;
    }

    // Pressed on the entry's text, as a user does: the label passes the press on.
    void left_press_on_entry_raises_its_command_and_closes_menu()
    {
        QFETCH(QString, entry);
        QFETCH(Qt::MouseButton, button);
        QFETCH(QStringList, raised);
        QFETCH(bool, stillShown);

        Menu *menu = shownMenu();
        auto *item = menu->findChild<MenuItem *>(entry);
        auto *label = item->findChild<QLabel *>();
        QSignalSpy commands(menu, SIGNAL(clickMenuMsg(QString)));

        QTest::mousePress(handle(), button, {}, centreOf(label));
        QTest::mouseRelease(handle(), button, {}, centreOf(label));

        QStringList got;
        for (const QList<QVariant> &args : qAsConst(commands))
            got << args.at(0).toString();
        QCOMPARE(got, raised);
        QCOMPARE(menu->isVisible(), stillShown);
    }

    // The hidden entries cannot be pressed, but whatever raises them still
    // gets their command; an unknown entry only closes the menu.
    void hidden_entries_keep_their_commands_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QStringList>("raised");

        QTest::newRow("qrcode") << "widget_qrcode" << QStringList{"qrcode"};
        QTest::newRow("hardDisk") << "widget_hardDisk" << QStringList{"hardDisk"};
        QTest::newRow("hardware") << "widget_hardware" << QStringList{"hardware"};
        QTest::newRow("unknown") << "widget_other" << QStringList();
    }

    void hidden_entries_keep_their_commands()
    {
        QFETCH(QString, entry);
        QFETCH(QStringList, raised);

        Menu *menu = shownMenu();
        MenuItem *item = menu->findChild<MenuItem *>(entry);
        MenuItem other(menu);
        other.setObjectName(entry);
        QSignalSpy commands(menu, SIGNAL(clickMenuMsg(QString)));

        menu->clickMenu(item ? item : &other);

        QStringList got;
        for (const QList<QVariant> &args : qAsConst(commands))
            got << args.at(0).toString();
        QCOMPARE(got, raised);
        QVERIFY(!menu->isVisible());
    }

    void menu_shows_five_entries_in_order_all_inside()
    {
        Menu *menu = shownMenu();
        QList<MenuItem *> shown;
        const QList<MenuItem *> entries = menu->findChildren<MenuItem *>();
        for (MenuItem *entry : entries) {
            if (entry->isVisible())
                shown << entry;
        }
        std::sort(shown.begin(), shown.end(), [](MenuItem *a, MenuItem *b) { return a->y() < b->y(); });

        QStringList texts;
        for (MenuItem *entry : qAsConst(shown))
            texts << entry->findChild<QLabel *>()->text();
        QCOMPARE(texts, (QStringList{"升级", "网络配置", "复位", "主码流配置", "子码流配置"}));

        // Fully inside the panel's one-pixel border, and not squeezed.
        auto *panel = menu->findChild<QWidget *>(QStringLiteral("widget"));
        const QRect insideBorder = panel->rect().adjusted(1, 1, -1, -1);
        QVERIFY(panel->geometry().bottom() <= menu->rect().bottom());
        for (MenuItem *entry : qAsConst(shown)) {
            QCOMPARE(entry->height(), 28);
            QVERIFY2(insideBorder.contains(entry->geometry()), qPrintable(entry->objectName()));
        }
        QCOMPARE(menu->width(), 154);
    }

    void center_in_parent_truncates_halves_data()
    {
        QTest::addColumn<QSize>("parentSize");
        QTest::addColumn<QSize>("ownSize");
        QTest::addColumn<QPoint>("topLeft");

        QTest::newRow("odd differences") << QSize(931, 600) << QSize(400, 301) << QPoint(265, 149);
        QTest::newRow("even differences") << QSize(800, 600) << QSize(400, 300) << QPoint(200, 150);
        QTest::newRow("larger than parent") << QSize(100, 100) << QSize(103, 105) << QPoint(-1, -2);
    }

    void center_in_parent_truncates_halves()
    {
        QFETCH(QSize, parentSize);
        QFETCH(QSize, ownSize);
        QFETCH(QPoint, topLeft);

        window->resize(parentSize);
        QWidget dialog(window);
        dialog.setGeometry(QRect(QPoint(7, 9), ownSize));
        DialogChrome::centerInParent(&dialog);
        QCOMPARE(dialog.geometry(), QRect(topLeft, ownSize));
    }
};

QTEST_MAIN(TestChrome)
#include "tst_chrome.moc"
