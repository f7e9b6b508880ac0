#pragma once

#include <QList>
#include <QPair>
#include <QPoint>
#include <QString>
#include <QWidget>

class Devs;
class HardDiskItem;
class QCheckBox;

namespace Ui { class HardDisk; }

// The disks of the selected recorder: a column of disk tiles, and for the
// chosen disk its free space, its capacity and five yes/no states.
class HardDisk final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HardDisk)

public:
    explicit HardDisk(QWidget *parent = nullptr);
    ~HardDisk() override;

    // Rebuilds the column with diskCount tiles for the selected device and shows
    // the first; without a selected device the column is left as it is.
    void loadDisks(int diskCount);
    QList<HardDiskItem *> disks() const { return diskList; }

signals:
    void closeMsg();

public slots:
    void close();
    void moveWindow(QPoint movePoint);
    void selectDisk(int diskNum);
    void getDiskType(int type);
    void loadCheckBox(bool status, QCheckBox *checkBox1, QCheckBox *checkBox2);
    QString getDiskSize(int num);

private slots:
    void keepPairExclusive(int state);

private:
    Ui::HardDisk *ui;
    Devs *devs = nullptr;
    QList<HardDiskItem *> diskList;
    QList<QPair<QCheckBox *, QCheckBox *>> statePairs;   // yes box, no box
};
