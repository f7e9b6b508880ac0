#pragma once

#include <QIcon>
#include <QList>
#include <QModelIndex>
#include <QPoint>
#include <QTimer>
#include <QWidget>

class Connect;
class Devs;
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

signals:
    void selectRowMsg(int);
    void selectChannelMsg(int, int);
    void openMenuMsg(QPoint);
    void clickTreeViewMsg();
    void openConfigMsg();

public slots:
    void loadDev(int row);
    void selectRow(QModelIndex index);
    void openMenu(QPoint pos);
    void clickTreeView();
    void openConfig(const QModelIndex &index);
    void cleanList();

private slots:
    void repaintDeferred();

private:
    void setUpModel();
    void deferRepaint();
    void fadeHighlight(int row);

    Ui::DevList *ui;
    QStandardItemModel *model = nullptr;
    Devs *devs;
    Connect *connect;
    QList<QModelIndex> expanded;
    // One icon for every row: the image is decoded and scaled once, not per row.
    QIcon deviceIcon;
    // Spreads the redraws of a burst of answers, see deferRepaint().
    QTimer repaintTimer;
};
