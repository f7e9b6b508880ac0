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
#include "update/tcpmessagebuffer.h"
#include "update/tcpserver.h"

namespace {

// A device restarts into its updater, reconnects and takes the package; two
// minutes without any sign of it (an answer to the request, a connection, a
// message, bytes leaving for it) means it is not coming back.
constexpr int DefaultUpdateTimeoutMs = 120 * 1000;
// Writing the package to flash is silent on the wire and slower than the
// transfer, so once every package is out the device gets five minutes.
constexpr int DefaultInstallTimeoutMs = 300 * 1000;
// Bytes that may wait in a connection's own buffer before it is passed over:
// a device that stops reading must not make the tool hold its whole package.
constexpr qint64 MaxQueuedBytes = 64 * 1024;

} // namespace

void Connect::initTcpServer()
{
    updateWatchdog.setSingleShot(true);
    updateTimeoutMs = DefaultUpdateTimeoutMs;
    installTimeoutMs = DefaultInstallTimeoutMs;
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

void Connect::setUpdateTimeout(int ms, int installMs)
{
    updateTimeoutMs = ms;
    installTimeoutMs = installMs > 0 ? installMs : ms;
}

bool Connect::waitingForInstall() const
{
    bool written = false;
    for (const UpdateClient *client : clientList) {
        if (client->installed || !client->file || !client->file->isLoaded())
            continue;
        if (!client->file->isFinished())
            return false;   // still sending to someone
        written = true;
    }
    return written;
}

void Connect::keepUpdateAlive()
{
    if (updating)
        updateWatchdog.start(waitingForInstall() ? installTimeoutMs : updateTimeoutMs);
}

void Connect::giveUpUpdate()
{
    if (!updating)
        return;
    AdminService::instance()->debug(QStringLiteral("[E]update timeout"), AdminService::Error);
    // The run is over: a device that turns up late must not move a chain on
    // or end a run started after this one.
    resetUpdate();
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
    updateWatchdog.start(updateTimeoutMs);
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
    updateWatchdog.start(updateTimeoutMs);
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
        updateWatchdog.start(updateTimeoutMs);
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
    // next: keep the bytes until each 44-byte message is complete. The bytes
    // are taken out first, since a message may end the run and reset the lot.
    TcpMessageBuffer buffer(tcpPending.take(descriptor));
    buffer.append(tcpServer->readData(descriptor));
    const QList<QByteArray> messages = buffer.takeMessages();
    for (const QByteArray &message : messages) {
        COMM_PACK_HEAD head;
        if (Wire::read(message, 0, head))
            tcpAct(descriptor, head, message);
    }
    const QByteArray rest = buffer.remainder();
    if (!rest.isEmpty())
        tcpPending[descriptor] += rest;
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
    case Transfer::UPDATE_PATCH_FINISH: {
        // Only a device of this run may end its step, and only once: a report
        // on a connection of an earlier run, or a repeated one, would end a new
        // run or make the chain skip a device.
        UpdateClient *client = clientOf(descriptor);
        if (!client || client->installed)
            break;
        client->installed = true;
        emit updateFinishMsg(descriptor);
        chainStep();
        break;
    }
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
    if (tcpServer->bytesToWrite(client->descriptor) > MaxQueuedBytes)
        return;   // the device is not reading; its turn passes
    const QByteArray packet = file->readPacket();
    if (!file->isLoaded())
        return;
    tcpServer->writeData(client->descriptor, packet);
    file->nextPacket();
    QCoreApplication::postEvent(this, new Connect_sendFile(false, client->descriptor));
    if (file->isFinished())
        keepUpdateAlive();   // from now on the device is installing
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
    // Closing the dialog or giving up ends a chain too: otherwise the next
    // report of an installed update would send the next request.
    allUpdate = false;
    tcpPending.clear();
    updateWatchdog.stop();
    for (UpdateClient *client : qAsConst(clientList))
        delete client->file;
    qDeleteAll(clientList);
    clientList.clear();
}
