#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class DevsimProcess;
class QTreeView;
class Searcher;

// A shown main window with the lookups and gestures the window tests share.
class MainWindowFixture
{
public:
    bool show();   // false when the window never appears
    Searcher *window() const { return m_window; }

    // The descendant of parent (the window by default) with that object name;
    // a missing one ends the run: every later step would be meaningless.
    template<typename T = QWidget>
    T *child(const char *name, const QObject *parent = nullptr) const
    {
        T *found = (parent ? parent : windowObject())->template findChild<T *>(QLatin1String(name));
        if (!found)
            missing(name);
        return found;
    }

    QTreeView *list() const;
    void click(const char *button) const;   // of the window itself, not of a dialog
    // Empties the list, starts devsim with count devices (and extra options),
    // presses "Search once" and waits until every device has its row.
    bool fillList(DevsimProcess &sim, int count, const QStringList &extra = {}) const;
    // Sends a search and waits until devsim has logged it: whatever the window
    // sent before has arrived by then, so a test can check that nothing more came.
    bool settle(DevsimProcess &sim) const;
    void rightClickRow(int row) const;   // selects the device and opens the menu
    void chooseMenuEntry(const char *entry) const;   // a left press, by object name

private:
    const QObject *windowObject() const;
    [[noreturn]] static void missing(const char *name);

    Searcher *m_window = nullptr;
};
