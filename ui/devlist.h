#pragma once

#include <QIcon>
#include <QHash>
#include <QList>
#include <QModelIndex>
#include <QPoint>
#include <QTimer>
#include <QWidget>

class Connect;
class Devs;
class DevSortFilter;
class QStandardItemModel;

namespace Ui { class DevList; }

// The table of discovered devices: one row per registry record, redrawn row by
// row as the registry announces changes, grey while a device is offline.
class DevList final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DevList)

public:
    explicit DevList(QWidget *parent = nullptr);
    ~DevList() override;

    // The devices' registry rows the installer has selected, in registry order.
    QList<int> selectedDevRows() const;
    // Its widgets that take the keyboard focus, in reading order.
    QList<QWidget *> tabChain() const;
    // Writes the rows shown, as shown, with a header row as CSV; says how it went.
    QString exportTo(const QString &path) const;
    // A site plan's labels by MAC, kept for the rest of the run; the column shows once there are any.
    void addLabels(const QHash<QString, QString> &labelsByMac);
    // The addresses "Prepare All Update" would give, by MAC, while its form is
    // open; none hides the column.
    void showAssigned(const QHash<QString, QString> &ipsByMac);

signals:
    void selectRowMsg(int);
    void selectChannelMsg(int, int);
    void openMenuMsg(QPoint);   // where the context menu was asked for, in the window
    void clickTreeViewMsg();
    void countsMsg(const QString &text);   // "12 devices, 11 online"
    void statusMsg(const QString &text);
    void openConfigMsg();
    void importPlanMsg();
    void siteReportMsg();

public slots:
    void loadDev(int row);
    void selectRow(QModelIndex index);
    void openMenu(QPoint pos);
    void clickTreeView();
    void openConfig(const QModelIndex &index);
    void cleanList();

private slots:
    void repaintDeferred();
    void countDevices();
    void copySelectedRows();
    void exportList();

private:
    void setUpModel();
    // Every row written again, after a column's texts changed.
    void rewriteAll();
    void deferRepaint();
    void fadeHighlight(int row);
    void deferCount();
    QList<QStringList> shownRows(bool selectedOnly) const;

    Ui::DevList *ui;
    QStandardItemModel *model = nullptr;   // in registry order
    Devs *devs;
    Connect *connect;
    DevSortFilter *sortFilter;   // what the view shows: model sorted and filtered
    QList<QModelIndex> expanded;
    // One icon for every row: the image is decoded and scaled once, not per row.
    QIcon deviceIcon;
    // Spreads the redraws of a burst of answers, see deferRepaint().
    QTimer repaintTimer;
    QTimer countTimer;
    QHash<QString, QString> labels;     // by MAC
    QHash<QString, QString> assigned;   // by MAC
};
