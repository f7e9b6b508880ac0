// The TCP side of the protocol engine: the update server, its clients, the
// paced package transfer and the update runs.
#include "protocol/connect.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QtConcurrent>

#include <algorithm>
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
    connect(tcpServer, SIGNAL(bytesWrittenedMsg(int)), this, SLOT(clientWrote(int)));
    connect(&packageWatcher, SIGNAL(finished()), this, SLOT(packageMeasured()));
}

void Connect::setUpdateIdleTimeout(int ms)
{
    if (tcpServer)
        tcpServer->setIdleTimeout(ms);
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
    // Refused before any device is asked: without an address of ours on the
    // devices' network they could not connect back for the package.
    if (File::check(path) != File::PackageOk || localAddress().isNull())
        return;
    Dev *dev = Devs::instance()->getSelected();
    if (!dev)
        return;
    allUpdate = false;
    preparePackage(path);
    sendUpdateRequest(dev);
    updateWatchdog.start(updateTimeoutMs);
}

void Connect::startAllUpdate(QString path)
{
    if (File::check(path) != File::PackageOk || localAddress().isNull())
        return;
    allUpdateIndex = 0;
    allUpdate = true;
    Dev *dev = Devs::instance()->nextOnline(allUpdateIndex);
    if (!dev) {
        allUpdate = false;
        return;
    }
    preparePackage(path);
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
    if (isRunAddress(tcpServer->peerAddress(descriptor)))
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
    // A message may have closed the connection, whose descriptor a new one may then get.
    const QByteArray rest = buffer.remainder();
    if (!rest.isEmpty() && tcpServer->isConnected(descriptor))
        tcpPending[descriptor] += rest;
}

void Connect::tcpAct(int descriptor, COMM_PACK_HEAD recMsgHead, QByteArray datagram)
{
    Q_UNUSED(datagram)
    switch (recMsgHead.cmd) {
    case Transfer::GET_UPDATE_PATCH:
        startSendFile(descriptor);
        break;
    case Transfer::SEND_UPDATE_PATCH:
        qDebug() << "SEND_UPDATE_PATCH";
        break;
    case Transfer::UPDATE_PATCH_FINISH: {
        // Only a device of this run that was sent its whole package may end
        // its step, and only once: any other report would end a run that is
        // still sending, or make the chain skip a device.
        UpdateClient *client = clientOf(descriptor);
        if (!client || client->installed || !client->file || !client->file->isLoaded() || !client->file->isFinished())
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

bool Connect::isRunAddress(const QHostAddress &address) const
{
    return std::any_of(runDevices.cbegin(), runDevices.cend(), [&](const RunDevice &device) { return device.answersAt(address); });
}

RunDevice *Connect::beginningDevice(const QHostAddress &sender, const QByteArray &datagram)
{
    // Several devices may answer from one address; a whole record names which.
    msg_broadcast_t record;
    const QByteArray mac = Wire::read(datagram, Wire::HeadSize, record) ? Wire::readText(record.mac).toLatin1() : QByteArray();
    RunDevice *first = nullptr;
    for (RunDevice &device : runDevices) {
        if (device.begun || !device.answersAt(sender))
            continue;
        if (device.mac == mac)
            return &device;
        if (!first)
            first = &device;
    }
    return first;
}

// A run measures its package once, off the GUI thread: hashing a large one
// there would freeze the window, and every request would pay for it again.
void Connect::preparePackage(const QString &path)
{
    updatePath = path;
    const QFileInfo info(path);
    const bool unchanged = package.path == path && package.isValid() && package.size == info.size()
                           && package.modified == info.lastModified();
    if (unchanged && !packageWatcher.isRunning())
        return;
    package = Package();
    packageWatcher.setFuture(QtConcurrent::run(&File::measure, path));
}

void Connect::packageMeasured()
{
    const Package measured = packageWatcher.result();
    if (measured.path != updatePath)
        return;   // a later run chose another package, already being measured
    package = measured;
    if (package.isValid())
        AdminService::instance()->debug(QStringLiteral("[TCP]package ready,size:") + QString::number(package.size)
                                            + QStringLiteral(",md5:") + package.md5,
                                        AdminService::Tcp);
    for (UpdateClient *client : qAsConst(clientList)) {
        if (client->waiting) {
            client->waiting = false;
            startSendFile(client->descriptor);
        }
    }
}

void Connect::startSendFile(int descriptor)
{
    // Only a device that this run asked to update gets the package, and only
    // while the run lasts, on a connection of the run: any other host on the
    // LAN could take it, or make the tool read it again and again.
    UpdateClient *client = clientOf(descriptor);
    const QHostAddress peer = tcpServer->peerAddress(descriptor);
    if (!client || !updating || !isRunAddress(peer)) {
        AdminService::instance()->debug(QStringLiteral("[E]refuse package request from:") + peer.toString(), AdminService::Error);
        tcpServer->drop(descriptor);
        return;
    }
    tcpServer->keep(descriptor);
    keepUpdateAlive();
    if (!package.isValid() && packageWatcher.isRunning()) {
        client->waiting = true;
        return;
    }
    delete client->file;
    client->file = new File(this);
    client->file->loadFile(package);
    client->file->setDescriptor(descriptor);
    if (!client->file->isLoaded())
        return;   // the device waits; the watchdog gives the run up

    packetTotal += client->file->getPacketCount();
    COMM_PACK_HEAD head;
    std::memset(&head, 0, sizeof head);
    head.cmd = Transfer::SEND_UPDATE_PATCH;
    head.fileSize = quint32(client->file->getFileSize());
    std::memcpy(head.md5, client->file->getFileMd5().toLatin1().constData(), sizeof head.md5);
    const qint64 size = client->file->getFileSize();
    if (!tcpServer->writeData(descriptor, QByteArray(reinterpret_cast<const char *>(&head), int(sizeof head))))
        return;   // reset by the device: the client is gone
    AdminService::instance()->debug(QStringLiteral("[TCP]send file start,id:") + QString::number(descriptor)
                                        + QStringLiteral(",size:") + QString::number(size),
                                    AdminService::Tcp);
    if (client->file->isFinished())
        QCoreApplication::postEvent(this, new Connect_sendFile(true, descriptor));   // an empty package is complete at once
    else
        sendPacket(client);   // the first packet goes out at once
}

// The round robin passes over connections with nothing to send, so idle ones
// cost the transfer no tick.
void Connect::sendFile()
{
    const int clients = clientList.size();
    for (int tried = 0; tried < clients; ++tried) {
        if (sendIndex >= clients)
            sendIndex = 0;
        UpdateClient *client = clientList.at(sendIndex++);
        if (hasPacketDue(client)) {
            sendPacket(client);
            return;
        }
    }
}

bool Connect::hasPacketDue(const UpdateClient *client) const
{
    // A device that is not reading gets nothing more until its socket drains.
    return client->file && client->file->isLoaded() && !client->file->isFinished()
           && tcpServer->bytesToWrite(client->descriptor) <= MaxQueuedBytes;
}

void Connect::sendPacket(UpdateClient *client)
{
    if (!hasPacketDue(client))
        return;
    File *file = client->file;
    const QByteArray packet = file->readPacket();
    if (!file->isLoaded())
        return;
    file->nextPacket();
    const bool last = file->isFinished();
    const int descriptor = client->descriptor;
    if (!tcpServer->writeData(descriptor, packet))
        return;   // reset by the device: the client and its file are gone
    QCoreApplication::postEvent(this, new Connect_sendFile(false, descriptor));
    if (last) {
        QCoreApplication::postEvent(this, new Connect_sendFile(true, descriptor));
        keepUpdateAlive();   // from now on the device is installing
    }
}

void Connect::clientWrote(int descriptor)
{
    // Only the progress of a device being served keeps the run alive.
    const UpdateClient *client = clientOf(descriptor);
    if (client && client->file)
        keepUpdateAlive();
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
        emit sendUpdateMsg(int(qMin<qint64>(packetSent, INT_MAX)), int(qMin<qint64>(packetTotal, INT_MAX)));
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
    runDevices.clear();
    tcpPending.clear();
    updateWatchdog.stop();
    for (UpdateClient *client : qAsConst(clientList))
        delete client->file;
    qDeleteAll(clientList);
    clientList.clear();
}
