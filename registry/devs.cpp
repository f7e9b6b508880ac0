#include "devs.h"

#include <cstring>

#include "protocol/adminservice.h"
#include "protocol/connect.h"
#include "registry/dev.h"

Devs *Devs::s_instance = nullptr;

namespace {

// The mac text: up to the first NUL, never past the 24-byte field; two texts
// match when their bytes do.
QByteArray macText(const msg_broadcast_t &info)
{
    return QByteArray(info.mac, int(strnlen(info.mac, sizeof info.mac)));
}

} // namespace

Devs::Devs(QObject *parent)
    : QObject(parent)
    , connect(Connect::instance())
{
    if (s_instance)
        return;   // a second registry stays inert and unconnected
    s_instance = this;
    QObject::connect(connect, SIGNAL(receiveMsg(QHostAddress,int,msg_broadcast_t,int)),
                     this, SLOT(loadDev(QHostAddress,int,msg_broadcast_t,int)));
    QObject::connect(connect, SIGNAL(sendMsg(int)), this, SLOT(updateOnline()));
}

Devs::~Devs()
{
    if (s_instance != this)
        return;
    clear();
    s_instance = nullptr;
}

Devs *Devs::instance()
{
    if (!s_instance)
        new Devs;
    return s_instance;
}

QList<Dev *> Devs::getDevList() const
{
    return devList;
}

Dev *Devs::getSelected() const
{
    return selected;
}

int Devs::getSelectedChannel() const
{
    return selectedChannel;
}

void Devs::selectDev(int row)
{
    if (row < 0 || row >= devList.size())
        return;
    selected = devList.at(row);
    selectedChannel = -1;
    emit selectDevMsg();
}

void Devs::selectChannel(int row, int channel)
{
    if (row < 0 || row >= devList.size())
        return;
    selected = devList.at(row);
    selectedChannel = channel;
    emit selectDevMsg();
}

void Devs::clear()
{
    // The selection goes with the records: nothing may act on a deleted device.
    selected = nullptr;
    selectedChannel = -1;
    qDeleteAll(devList);
    devList.clear();
    rowByMac.clear();
}

Dev *Devs::find(const QString &mac) const
{
    return devList.value(rowByMac.value(mac.toLatin1(), -1));
}

int Devs::indexOf(const msg_broadcast_t &info) const
{
    return rowByMac.value(macText(info), -1);
}

bool Devs::isExist(QHostAddress addr, msg_broadcast_t info) const
{
    Q_UNUSED(addr)
    return indexOf(info) >= 0;
}

void Devs::loadDev(QHostAddress sendAddr, int num, msg_broadcast_t searchInfo, int port)
{
    Q_UNUSED(num)
    int row = indexOf(searchInfo);
    if (row < 0) {
        if (devList.size() >= MaxDevices)
            return;   // known devices still update; new ones wait for Clean List
        devList.append(new Dev);
        row = devList.size() - 1;
        rowByMac.insert(macText(searchInfo), row);
        if (devList.size() == MaxDevices) {
            AdminService::instance()->debug(QStringLiteral("[E]device list full at %1 devices: answers from new devices "
                                                           "are ignored until Clean List").arg(MaxDevices),
                                            AdminService::Error);
        }
    }
    Dev *dev = devList.at(row);
    dev->online = onlineLife;
    dev->port = port;
    dev->info = searchInfo;
    dev->addr = sendAddr;
    emit loadDevMsg(row);
}

void Devs::updateOnline()
{
    for (int i = 0; i < devList.size(); ++i) {
        Dev *dev = devList.at(i);
        if (dev->online == 0)
            continue;
        dev->online = qMax(0, dev->online - 1);
        emit loadDevMsg(i);
    }
}
