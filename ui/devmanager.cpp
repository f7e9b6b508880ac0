#include "devmanager.h"

#include <QLabel>

#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "ui/dialogchrome.h"
#include "ui/ipv4input.h"
#include "ui/nettabbtn.h"
#include "ui_devmanager.h"

DevManager::DevManager(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::DevManager)
    , devs(Devs::instance())
    , connect(Connect::instance())
{
    ui->setupUi(this);
    QObject::connect(ui->pushButton_cancle, SIGNAL(clicked()), this, SLOT(close()));
    QObject::connect(ui->pushButton_submit, SIGNAL(clicked()), this, SLOT(submit()));
    QObject::connect(ui->checkBox_dhcpOn, SIGNAL(stateChanged(int)), this, SLOT(dhcpOn(int)));
    QObject::connect(ui->checkBox_dhcpOff, SIGNAL(stateChanged(int)), this, SLOT(dhcpOff(int)));
    QObject::connect(ui->label_close, SIGNAL(clicked()), this, SLOT(close()));
    DialogChrome::closeOnEscape(this, SLOT(close()));
    QObject::connect(ui->widget_header, SIGNAL(moveMsg(QPoint)), this, SLOT(moveWindow(QPoint)));
    QObject::connect(ui->widget_wifi, SIGNAL(clickMsg(NetTabBtn *)), this, SLOT(clickTab(NetTabBtn *)));
    QObject::connect(ui->widget_wired, SIGNAL(clickMsg(NetTabBtn *)), this, SLOT(clickTab(NetTabBtn *)));
    QObject::connect(ui->label_show, SIGNAL(clickMsg(bool)), this, SLOT(showPsw(bool)));

    keepWarningSpace();
    hideWarnings();
    ui->lineEdit_wifiPass->setEchoMode(QLineEdit::Password);
    ui->widget_wired->hide();
    if (devs->getSelected())
        clickTab(ui->widget_wifi);
}

DevManager::~DevManager()
{
    delete ui;
}

void DevManager::keepWarningSpace()
{
    // A hidden warning keeps its room, so the fields do not jump when one shows.
    for (QLabel *warning : {ui->label_worIp, ui->label_worMask, ui->label_worGate, ui->label_worDns,
                            ui->label_worWifiName, ui->label_worWifiPsw}) {
        QSizePolicy policy = warning->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        warning->setSizePolicy(policy);
    }
}

void DevManager::hideWarnings()
{
    for (QLabel *warning : {ui->label_worIp, ui->label_worMask, ui->label_worGate, ui->label_worDns,
                            ui->label_worWifiName, ui->label_worWifiPsw})
        warning->hide();
}

void DevManager::centerInParent()
{
    DialogChrome::centerInParent(this);
}

void DevManager::moveWindow(QPoint movePoint)
{
    DialogChrome::moveBy(this, movePoint);
}

void DevManager::paintEvent(QPaintEvent *)
{
    DialogChrome::paintStyleSheet(this);
}

void DevManager::close()
{
    hide();
}

void DevManager::showPsw(bool isShow)
{
    ui->lineEdit_wifiPass->setEchoMode(isShow ? QLineEdit::Normal : QLineEdit::Password);
}

void DevManager::dhcpOn(int state)
{
    setDhcp(state != 0);
}

void DevManager::dhcpOff(int state)
{
    setDhcp(state == 0);
}

void DevManager::setDhcp(bool on)
{
    ui->checkBox_dhcpOn->setChecked(on);
    ui->checkBox_dhcpOff->setChecked(!on);
    for (QLineEdit *edit : {ui->lineEdit_ip, ui->lineEdit_mask, ui->lineEdit_gate, ui->lineEdit_dns})
        edit->setEnabled(!on);
    if (on) {
        for (QLineEdit *edit : {ui->lineEdit_ip, ui->lineEdit_mask, ui->lineEdit_gate, ui->lineEdit_dns})
            edit->setPlaceholderText(tr("[自动分配]"));
        hideWarnings();   // with DHCP the texts are not the device's business
    } else {
        ui->lineEdit_ip->setPlaceholderText(tr("请输入IP"));
        ui->lineEdit_mask->setPlaceholderText(tr("请输入子网掩码"));
        ui->lineEdit_gate->setPlaceholderText(tr("请输入网关"));
        ui->lineEdit_dns->setPlaceholderText(tr("请输入网关DNS"));
    }
}

void DevManager::clickTab(NetTabBtn *btn)
{
    ui->widget_wifi->setSelected(false);
    ui->widget_wired->setSelected(false);
    btn->setSelected(true);
    hideWarnings();
    for (QWidget *wifiRow : {static_cast<QWidget *>(ui->label_3), static_cast<QWidget *>(ui->label_2),
                             static_cast<QWidget *>(ui->lineEdit_wifiName), ui->widget_wifiPass})
        wifiRow->hide();
    loadDevData();
}

void DevManager::loadDevData()
{
    const Dev *dev = devs->getSelected();
    if (!dev)
        return;
    ui->widget_wifi->setStatus(true);
    ui->lineEdit_ip->setText(dev->ip());
    ui->lineEdit_mask->setText(dev->mask());
    ui->lineEdit_gate->setText(dev->gateway());
    ui->lineEdit_dns->setText(dev->dns());
    setDhcp(dev->info.ipMode == 0);
}

// With a static address a typo takes the device off the network, so every
// field must hold a well-formed address: the address a host address of its
// subnet, the mask a real netmask, the DNS server any address. Each failing
// field shows its warning label and nothing is sent.
bool DevManager::checkInput()
{
    hideWarnings();
    bool ok = true;
    auto check = [&ok](QLineEdit *edit, QLabel *warning, const QString &emptyText, const QString &badText) {
        const std::optional<quint32> address = Ipv4Input::parse(edit->text());
        if (!address) {
            warning->setText(edit->text().isEmpty() ? emptyText : badText);
            warning->show();
            ok = false;
        }
        return address;
    };
    const auto ip = check(ui->lineEdit_ip, ui->label_worIp, tr("*请输入IP"), tr("*IP地址格式错误"));
    const auto mask = check(ui->lineEdit_mask, ui->label_worMask, tr("*请输入子网掩码"), tr("*子网掩码格式错误"));
    const auto gateway = check(ui->lineEdit_gate, ui->label_worGate, tr("*请输入网关"), tr("*网关格式错误"));
    check(ui->lineEdit_dns, ui->label_worDns, tr("*请输入DNS服务器"), tr("*DNS服务器格式错误"));

    if (mask && !Ipv4Input::isNetmask(*mask)) {
        ui->label_worMask->setText(tr("*子网掩码格式错误"));
        ui->label_worMask->show();
        ok = false;
    }
    if (ip && mask && Ipv4Input::isNetmask(*mask) && !Ipv4Input::isHostAddress(*ip, *mask)) {
        ui->label_worIp->setText(tr("*不是可用的主机地址"));
        ui->label_worIp->show();
        ok = false;
    }
    if (ok && !Ipv4Input::sameSubnet(*ip, *gateway, *mask) && acceptedGateway != ui->lineEdit_gate->text()) {
        ui->label_worGate->setText(tr("*网关不在IP网段内，再按设置发送"));
        ui->label_worGate->show();
        acceptedGateway = ui->lineEdit_gate->text();
        ok = false;
    }
    return ok;
}

void DevManager::submit()
{
    const bool dhcp = ui->checkBox_dhcpOn->isChecked();
    if (!dhcp && devs->getSelected() && !checkInput())
        return;
    connect->changeNet(ui->lineEdit_ip->text(), ui->lineEdit_mask->text(), ui->lineEdit_gate->text(),
                       ui->lineEdit_dns->text(), dhcp);
    hide();
    connect->search();
}
