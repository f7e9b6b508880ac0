#include "hardware.h"

#include <QLabel>

#include "protocol/connect.h"
#include "registry/devs.h"
#include "ui/dialogchrome.h"
#include "ui_hardware.h"

Hardware::Hardware(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Hardware)
    , connect(Connect::instance())
    , devs(Devs::instance())
{
    ui->setupUi(this);
    QObject::connect(ui->label_close, SIGNAL(clicked()), this, SLOT(close()));
    DialogChrome::closeOnEscape(this, SLOT(close()));
    QObject::connect(ui->widget_header, SIGNAL(moveMsg(QPoint)), this, SLOT(moveWindow(QPoint)));
    QObject::connect(devs, SIGNAL(loadHardwareStatusMsg(int)), this, SLOT(loadHardwareStatus(int)));
}

Hardware::~Hardware()
{
    delete ui;
}

void Hardware::loadUsbStatus(QLabel *label, int status)
{
    switch (status) {
    case 0: label->setText(tr("未接入设备或损坏")); break;
    case 1: label->setText(tr("接入U盘")); break;
    case 2: label->setText(tr("接入鼠标")); break;
    default: break;
    }
}

void Hardware::loadAudioStatus(QLabel *label, int status)
{
    switch (status) {
    case 0: label->setText(tr("未接入音频或损坏")); break;
    case 1: label->setText(tr("音频接口正常")); break;
    default: break;
    }
}

void Hardware::close()
{
    emit closeMsg();
}

void Hardware::moveWindow(QPoint movePoint)
{
    DialogChrome::moveBy(this, movePoint);
}

void Hardware::loadHardwareStatus(int row)
{
    Q_UNUSED(row)
    // No answer of the devices reports their interfaces yet, so the selected
    // record holds nothing to show and the value labels stay empty.
    devs->getSelected();
}

void Hardware::paintEvent(QPaintEvent *e)
{
    Q_UNUSED(e)
    DialogChrome::paintStyleSheet(this);
}
