#include "localaddresspicker.h"

#include <QSignalBlocker>

#include "protocol/connect.h"
#include "ui_localaddresspicker.h"

LocalAddressPicker::LocalAddressPicker(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::LocalAddressPicker)
    , engine(Connect::instance())
{
    ui->setupUi(this);
    setFocusProxy(ui->comboBox_localIp);
    connect(ui->comboBox_localIp, SIGNAL(activated(int)), this, SLOT(choose(int)));
    refresh();
}

LocalAddressPicker::~LocalAddressPicker()
{
    delete ui;
}

void LocalAddressPicker::refresh()
{
    const QList<LocalAddress> candidates = engine->localAddresses();
    const LocalAddress current = engine->localAddress();
    const bool several = candidates.size() > 1;
    ui->comboBox_localIp->setVisible(several);
    ui->label_thisIp->setVisible(!several);
    if (candidates.isEmpty()) {
        ui->label_thisIp->setText(tr("没有有线网络"));
        ui->label_thisIp->setStyleSheet(QStringLiteral("color:#ff4d4d;background:transparent;"));
    } else {
        ui->label_thisIp->setText(current.address.toString());
        ui->label_thisIp->setStyleSheet(QStringLiteral("color:#ffffff;background:transparent;"));
    }
    if (candidates == shown && ui->comboBox_localIp->currentIndex() == candidates.indexOf(current))
        return;   // an open drop-down is not rebuilt under the installer's pointer
    shown = candidates;
    const QSignalBlocker quiet(ui->comboBox_localIp);
    ui->comboBox_localIp->clear();
    for (const LocalAddress &candidate : candidates)
        ui->comboBox_localIp->addItem(candidate.label());
    ui->comboBox_localIp->setCurrentIndex(candidates.indexOf(current));
}

void LocalAddressPicker::choose(int index)
{
    if (index >= 0 && index < shown.size())
        engine->chooseLocalAddress(shown.at(index));
}
