#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class DevsimProcess;
class QTreeView;
class Searcher;

// A shown main window for the tests that drive the tool as an installer does,
// with the lookups and gestures they share.
class MainWindowFixture
{
public:
    // Builds and shows the window; false when it never appears.
    bool show();
    Searcher *window() const { return m_window; }

    // The descendant of parent (the window by default) with that object name;
    // a missing one ends the test run, since every later step would be meaningless.
    template<typename T = QWidget>
    T *child(const char *name, const QObject *parent = nullptr) const
    {
        T *found = (parent ? parent : windowObject())->template findChild<T *>(QLatin1String(name));
        if (!found)
            missing(name);
        return found;
    }

    QTreeView *list() const;
    // A left click on a button of the window itself, not of a dialog.
    void click(const char *button) const;

    // Empties the list, starts devsim with count devices (and extra options),
    // presses "Search once" and waits until every device has its row.
    bool fillList(DevsimProcess &sim, int count, const QStringList &extra = {}) const;
    // Sends a search and waits until devsim has logged it: whatever the window
    // sent before has arrived by then, so a test can check that nothing more came.
    bool settle(DevsimProcess &sim) const;

    // A right click on a row: it selects the device and opens the menu beside the press.
    void rightClickRow(int row) const;
    // A left press on a menu entry by its object name (widget_update, widget_reset, ...).
    void chooseMenuEntry(const char *entry) const;

    // Saves a picture of the window beside the test program and returns its path.
    QString screenshot(const QString &file) const;

private:
    const QObject *windowObject() const;
    [[noreturn]] static void missing(const char *name);

    Searcher *m_window = nullptr;
};
