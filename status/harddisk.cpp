#include "harddisk.h"

#include <QCheckBox>
#include <QScrollBar>

#include "registry/devs.h"
#include "status/harddiskitem.h"
#include "ui/dialogchrome.h"
#include "ui_harddisk.h"

namespace {

// Bits of a disk's state word.
enum DiskState {
    Inserted = 0x01,
    Mounted = 0x02,
    Formatted = 0x04,
    EnoughSpace = 0x08,
    Ready = 0x10,
};

} // namespace

HardDisk::HardDisk(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::HardDisk)
    , devs(Devs::instance())
{
    ui->setupUi(this);
    ui->scrollArea->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical {width:8px;margin:0px;}QScrollBar::handle:vertical {background:#a0a3a9;border-radius:4px;}"));
    connect(ui->label_close, SIGNAL(clicked()), this, SLOT(close()));
    DialogChrome::closeOnEscape(this, SLOT(close()));
    connect(ui->widget_header, SIGNAL(moveMsg(QPoint)), this, SLOT(moveWindow(QPoint)));

    statePairs = {
        {ui->checkBox_insertTrue, ui->checkBox_insertFalse},
        {ui->checkBox_formatTrue, ui->checkBox_formatFalse},
        {ui->checkBox_spaceTrue, ui->checkBox_spaceFalse},
        {ui->checkBox_mountTrue, ui->checkBox_mountFalse},
        {ui->checkBox_readyTrue, ui->checkBox_readyFalse},
    };
    for (const auto &pair : qAsConst(statePairs)) {
        for (QCheckBox *box : {pair.first, pair.second}) {
            // The boxes report the disk's state; the installer cannot change it from here.
            box->setAttribute(Qt::WA_TransparentForMouseEvents);
            box->setFocusPolicy(Qt::NoFocus);
            connect(box, SIGNAL(stateChanged(int)), this, SLOT(keepPairExclusive(int)));
        }
    }

    // No answer of the devices describes their disks yet, so there is nothing
    // to put in the column: the dialog shows its titles and empty values.
    loadDisks(0);
}

HardDisk::~HardDisk()
{
    delete ui;
}

void HardDisk::loadDisks(int diskCount)
{
    if (!devs->getSelected())
        return;
    qDeleteAll(diskList);
    diskList.clear();
    for (int i = 0; i < diskCount; ++i) {
        auto *disk = new HardDiskItem(ui->widget_disks);
        disk->setIndex(i);
        connect(disk, SIGNAL(clickMsg(int)), this, SLOT(selectDisk(int)));
        ui->widget_disks->layout()->addWidget(disk);
        diskList.append(disk);
    }
    if (!diskList.isEmpty()) {
        diskList.first()->setSelected(true);
        selectDisk(0);
    }
}

void HardDisk::close()
{
    emit closeMsg();
}

void HardDisk::moveWindow(QPoint movePoint)
{
    DialogChrome::moveBy(this, movePoint);
}

void HardDisk::selectDisk(int diskNum)
{
    if (!devs->getSelected())
        return;
    for (HardDiskItem *disk : qAsConst(diskList))
        disk->setSelected(false);
    if (diskNum >= 0 && diskNum < diskList.size())
        diskList.at(diskNum)->setSelected(true);
}

void HardDisk::getDiskType(int type)
{
    loadCheckBox(type & Inserted, ui->checkBox_insertTrue, ui->checkBox_insertFalse);
    loadCheckBox(type & Mounted, ui->checkBox_mountTrue, ui->checkBox_mountFalse);
    loadCheckBox(type & Formatted, ui->checkBox_formatTrue, ui->checkBox_formatFalse);
    loadCheckBox(type & EnoughSpace, ui->checkBox_spaceTrue, ui->checkBox_spaceFalse);
    loadCheckBox(type & Ready, ui->checkBox_readyTrue, ui->checkBox_readyFalse);
}

void HardDisk::loadCheckBox(bool status, QCheckBox *checkBox1, QCheckBox *checkBox2)
{
    checkBox1->setChecked(status);
    checkBox2->setChecked(!status);
}

QString HardDisk::getDiskSize(int num)
{
    QString text = QString::number(num) + QStringLiteral("MB");
    if (num > 1048576)
        text += QStringLiteral("(") + QString::number(num / 1048576.0, 'f', 2) + QStringLiteral("TB)");
    else if (num > 1024)
        text += QStringLiteral("(") + QString::number(num / 1024.0, 'f', 2) + QStringLiteral("GB)");
    return text;
}

void HardDisk::keepPairExclusive(int state)
{
    if (state != Qt::Checked)
        return;
    auto *changed = qobject_cast<QCheckBox *>(sender());
    for (const auto &pair : qAsConst(statePairs)) {
        if (pair.first == changed)
            pair.second->setChecked(false);
        else if (pair.second == changed)
            pair.first->setChecked(false);
    }
}
