#include "mainwindowfixture.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QContextMenuEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include "devsimprocess.h"
#include "app/searcher.h"
#include "protocol/connect.h"
#include "ui/menu.h"

bool MainWindowFixture::show()
{
    m_window = new Searcher;
    m_window->show();
    return QTest::qWaitForWindowExposed(m_window);
}

const QObject *MainWindowFixture::windowObject() const
{
    return m_window;
}

void MainWindowFixture::missing(const char *name)
{
    qFatal("no widget %s", name);
}

QTreeView *MainWindowFixture::list() const
{
    return child<QTreeView>("treeView");
}

void MainWindowFixture::click(const char *button) const
{
    // Dialogs have buttons of their own ("pushButton" of the update dialog).
    QTest::mouseClick(child<QPushButton>(button, m_window->centralWidget()), Qt::LeftButton);
}

bool MainWindowFixture::fillList(DevsimProcess &sim, int count, const QStringList &extra) const
{
    click("pushButton_clean");
    if (!sim.start(QStringList{QStringLiteral("--count"), QString::number(count)} + extra))
        return false;
    // Answers of an earlier test's devices may still come in after the clean:
    // the list is full once this search has been answered by every device.
    QSignalSpy answers(Connect::instance(), SIGNAL(receiveMsg(QHostAddress,int,msg_broadcast_t,int)));
    click("pushButton_search");
    return QTest::qWaitFor([&] { return answers.size() >= count && list()->model()->rowCount() == count; }, 5000);
}

bool MainWindowFixture::settle(DevsimProcess &sim) const
{
    const int searches = sim.received(Wire::SearchPort, Wire::SEARCH_DEVICE).size();
    Connect::instance()->search();
    return sim.waitForLog([&](const QList<QJsonObject> &) {
        return sim.received(Wire::SearchPort, Wire::SEARCH_DEVICE).size() > searches;
    });
}

void MainWindowFixture::rightClickRow(int row) const
{
    QWidget *viewport = list()->viewport();
    const QPoint at = list()->visualRect(list()->model()->index(row, 1)).center();
    QTest::mousePress(viewport, Qt::RightButton, {}, at);
    QTest::mouseRelease(viewport, Qt::RightButton, {}, at);
    // The offscreen platform makes no context-menu event of a right press.
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &event);
}

void MainWindowFixture::chooseMenuEntry(const char *entry) const
{
    QWidget *item = child(entry, m_window->findChild<Menu *>());
    QTest::mousePress(item, Qt::LeftButton, {}, item->rect().center());
}
