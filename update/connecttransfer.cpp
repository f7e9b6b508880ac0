// The TCP side of the protocol engine: the update server, its clients, the
// paced package transfer and the update runs.
#include "protocol/connect.h"

#include <QCoreApplication>
#include <QDebug>

#include <cstring>

#include "protocol/adminservice.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "update/connectsendfile.h"
#include "update/file.h"
#include "update/tcpserver.h"

namespace {

// A device restarts into its updater, reconnects, takes the package and
// installs it; two minutes without any sign of it means it is not coming back.
constexpr int DefaultUpdateTimeoutMs = 120 * 1000;

} // namespace

void Connect::initTcpServer()
{
    updateWatchdog.setSingleShot(true);
    updateWatchdog.setInterval(DefaultUpdateTimeoutMs);
    connect(&updateWatchdog, SIGNAL(timeout()), this, SLOT(giveUpUpdate()));

    tcpServer = new TcpServer(this, Transfer::ServerPort);
    if (!tcpServer->listenOk()) {
        // No retry: updates cannot complete until the tool is started again.
        AdminService::instance()->debug(QStringLiteral("[TCP]server init fail on:") + QStringLiteral("8010"), AdminService::Error);
        return;
    }
    AdminService::instance()->debug(QStringLiteral("[TCP]server init on:") + QStringLiteral("8010"), AdminService::Tcp);
    connect(tcpServer, SIGNAL(newConnectMsg(int)), this, SLOT(newConnect(int)));
    connect(tcpServer, SIGNAL(clientDisconnectMsg(int)), this, SLOT(disConnected(int)));
    connect(tcpServer, SIGNAL(receiveDataMsg(int)), this, SLOT(receiveTcp(int)));
    connect(tcpServer, SIGNAL(bytesWrittenedMsg(int)), this, SLOT(keepUpdateAlive()));
}

void Connect::setUpdateTimeout(int ms)
{
    updateWatchdog.setInterval(ms);
}

void Connect::keepUpdateAlive()
{
    if (updating)
        updateWatchdog.start();
}

void Connect::giveUpUpdate()
{
    if (!updating)
        return;
    AdminService::instance()->debug(QStringLiteral("[E]update timeout"), AdminService::Error);
    emit updateTimeOutMsg();
}

void Connect::startUpdate(QString path)
{
    if (File::check(path) != File::PackageOk)
        return;   // refused before any device is asked
    updatePath = path;
    Dev *dev = Devs::instance()->getSelected();
    if (!dev)
        return;
    allUpdate = false;
    sendUpdateRequest(dev);
    updateWatchdog.start();
}

void Connect::startAllUpdate(QString path)
{
    if (File::check(path) != File::PackageOk)
        return;
    allUpdateIndex = 0;
    updatePath = path;
    allUpdate = true;
    Dev *dev = Devs::instance()->nextOnline(allUpdateIndex);
    if (!dev) {
        allUpdate = false;
        return;
    }
    sendUpdateRequest(dev);
    updateWatchdog.start();
}

void Connect::chainStep()
{
    if (!allUpdate) {
        // A single update is over when its device reports the update installed.
        updateWatchdog.stop();
        emit updateAllFinishMsg();
        return;
    }
    ++allUpdateIndex;
    Devs *devs = Devs::instance();
    Dev *dev = allUpdateIndex < devs->getDevList().size() ? devs->nextOnline(allUpdateIndex) : nullptr;
    if (dev) {
        sendUpdateRequest(dev);
        updateWatchdog.start();
        return;
    }
    updateWatchdog.stop();
    emit updateAllFinishMsg();
    allUpdate = false;
    allUpdateIndex = 0;
}

void Connect::newConnect(int descriptor)
{
    QMutexLocker locker(&clientMutex);
    auto *client = new UpdateClient;
    client->descriptor = descriptor;
    clientList.append(client);
    AdminService::instance()->debug(QStringLiteral("[TCP]client:") + QString::number(descriptor) + QStringLiteral(" join"),
                                    AdminService::Tcp);
    keepUpdateAlive();
    emit newConnectMsg(descriptor);
}

void Connect::disConnected(int descriptor)
{
    QMutexLocker locker(&clientMutex);
    for (int i = 0; i < clientList.size(); ++i) {
        if (clientList.at(i)->descriptor == descriptor) {
            UpdateClient *client = clientList.takeAt(i);
            delete client->file;
            delete client;
            break;
        }
    }
    tcpPending.remove(descriptor);
    AdminService::instance()->debug(QStringLiteral("[TCP]client:") + QString::number(descriptor) + QStringLiteral(" exit"),
                                    AdminService::Tcp);
}

void Connect::receiveTcp(int descriptor)
{
    ++receiveNum;
    if (!tcpServer)
        return;
    // A read may hold part of a header, or one header and the start of the
    // next: keep the bytes until each 44-byte message is complete.
    QByteArray &pending = tcpPending[descriptor];
    pending.append(tcpServer->readData(descriptor));
    while (pending.size() >= Transfer::HeadSize) {
        const QByteArray message = pending.left(Transfer::HeadSize);
        pending.remove(0, Transfer::HeadSize);
        COMM_PACK_HEAD head;
        Wire::read(message, 0, head);
        tcpAct(descriptor, head, message);
    }
}

void Connect::tcpAct(int descriptor, COMM_PACK_HEAD recMsgHead, QByteArray datagram)
{
    Q_UNUSED(datagram)
    switch (recMsgHead.cmd) {
    case Transfer::GET_UPDATE_PATCH:
        keepUpdateAlive();
        startSendFile(descriptor);
        break;
    case Transfer::SEND_UPDATE_PATCH:
        qDebug() << "SEND_UPDATE_PATCH";
        break;
    case Transfer::UPDATE_PATCH_FINISH:
        emit updateFinishMsg(descriptor);
        chainStep();
        break;
    default:
        break;
    }
}

UpdateClient *Connect::clientOf(int descriptor) const
{
    for (UpdateClient *client : clientList) {
        if (client->descriptor == descriptor)
            return client;
    }
    return nullptr;
}

void Connect::startSendFile(int descriptor)
{
    UpdateClient *client = clientOf(descriptor);
    if (!client)
        return;
    delete client->file;
    client->file = new File(this);
    client->file->loadFile(updatePath);
    client->file->setDescriptor(descriptor);
    if (!client->file->isLoaded())
        return;   // the device waits; the watchdog gives the run up

    packetTotal += int(client->file->getPacketCount());
    COMM_PACK_HEAD head;
    std::memset(&head, 0, sizeof head);
    head.cmd = Transfer::SEND_UPDATE_PATCH;
    head.fileSize = quint32(client->file->getFileSize());
    std::memcpy(head.md5, client->file->getFileMd5().toLatin1().constData(), sizeof head.md5);
    tcpServer->writeData(descriptor, QByteArray(reinterpret_cast<const char *>(&head), int(sizeof head)));
    AdminService::instance()->debug(QStringLiteral("[TCP]send file start,id:") + QString::number(descriptor)
                                        + QStringLiteral(",size:") + QString::number(client->file->getFileSize()),
                                    AdminService::Tcp);
    sendPacket(client);   // the first packet goes out at once
}

void Connect::sendFile()
{
    if (clientList.isEmpty())
        return;
    if (sendIndex >= clientList.size()) {
        sendIndex = 1;
        sendPacket(clientList.at(0));
    } else {
        sendPacket(clientList.at(sendIndex++));
    }
}

void Connect::sendPacket(UpdateClient *client)
{
    File *file = client->file;
    if (!file || !file->isLoaded())
        return;
    if (file->isFinished()) {
        QCoreApplication::postEvent(this, new Connect_sendFile(true, client->descriptor));
        return;
    }
    const QByteArray packet = file->readPacket();
    if (!file->isLoaded())
        return;
    tcpServer->writeData(client->descriptor, packet);
    file->nextPacket();
    QCoreApplication::postEvent(this, new Connect_sendFile(false, client->descriptor));
}

bool Connect::event(QEvent *e)
{
    if (e->type() != Connect_sendFile::EventType)
        return QObject::event(e);
    const auto *step = static_cast<Connect_sendFile *>(e);
    if (step->isFinish) {
        emit sendFinishMsg(step->descriptor);
    } else {
        ++packetSent;
        emit sendUpdateMsg(packetSent, packetTotal);
    }
    return true;
}

void Connect::resetUpdate()
{
    updating = false;
    packetTotal = 0;
    packetSent = 0;
    allUpdateIndex = 0;
    updateWatchdog.stop();
    for (UpdateClient *client : qAsConst(clientList))
        delete client->file;
    qDeleteAll(clientList);
    clientList.clear();
}
