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
// transfer, so once its package is out the device gets five minutes.
constexpr int DefaultInstallTimeoutMs = 300 * 1000;
// Bytes that may wait in a connection's own buffer before it is passed over:
// a device that stops reading must not make the tool hold its whole package.
constexpr qint64 MaxQueuedBytes = 64 * 1024;
// Each device takes one packet per 5 ms tick; a late tick catches up, but
// never with more than this many packets at once.
constexpr int PacketIntervalMs = 5;
constexpr qint64 MaxCatchUpPackets = 4;

int seconds(int ms)
{
    return (ms + 999) / 1000;
}

} // namespace

void Connect::initTcpServer()
{
    updateTimeoutMs = DefaultUpdateTimeoutMs;
    installTimeoutMs = DefaultInstallTimeoutMs;
    connect(&runWatch, SIGNAL(timeout()), this, SLOT(watchUpdates()));

    tcpServer = new TcpServer(this, Transfer::ServerPort, [this](const QHostAddress &peer) { return connectionsAllowedFrom(peer); });
    serveOnPresentedAddress();
    connect(&sendTimer, SIGNAL(timeout()), this, SLOT(sendFile()));
    connect(tcpServer, SIGNAL(newConnectMsg(int)), this, SLOT(newConnect(int)));
    connect(tcpServer, SIGNAL(clientDisconnectMsg(int)), this, SLOT(disConnected(int)));
    connect(tcpServer, SIGNAL(receiveDataMsg(int)), this, SLOT(receiveTcp(int)));
    connect(tcpServer, SIGNAL(bytesWrittenedMsg(int)), this, SLOT(clientWrote(int)));
    connect(&packageWatcher, SIGNAL(finished()), this, SLOT(packageMeasured()));
}

// Devices fetch their package from the address the tool presents to them;
// on any other network (a cafe's Wi-Fi) nothing listens on the port.
void Connect::serveOnPresentedAddress()
{
    const QHostAddress address = presentedCached().address;
    if (tcpServer->isListening() && tcpServer->serverAddress() == address)
        return;
    const QString where = address.toString() + QStringLiteral(":8010");
    if (address.isNull())
        tcpServer->listenOn(address);
    else if (tcpServer->listenOn(address))
        AdminService::instance()->debug(QStringLiteral("[TCP]server init on:") + where, AdminService::Tcp);
    else
        AdminService::instance()->debug(QStringLiteral("[TCP]server init fail on:") + where, AdminService::Error);
}

int Connect::connectionsAllowedFrom(const QHostAddress &peer) const
{
    // Only the devices the run waits for may connect, each once, and their
    // address once more: a device that reconnects before its old connection
    // is seen closed must not be turned away. Nobody else holds a connection,
    // so no stranger can crowd a device out.
    if (!updating)
        return 0;
    const int waiting = int(std::count_if(runDevices.cbegin(), runDevices.cend(),
                                          [&](const RunDevice &device) { return device.inFlight() && device.answersAt(peer); }));
    return waiting > 0 ? waiting + 1 : 0;
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

void Connect::setUpdatesAtOnce(int count)
{
    updatesAtOnceCount = qBound(1, count, MaxUpdatesAtOnce);
    if (updating)
        fillFlight();
}

void Connect::startUpdate(QString path)
{
    if (Dev *dev = Devs::instance()->getSelected())
        startUpdateOf(path, {dev});
}

void Connect::startUpdateOf(const QString &path, const QList<Dev *> &devices)
{
    if (!devices.isEmpty())
        beginRun(path, devices);
}

void Connect::startAllUpdate(QString path)
{
    const QString key = packageKey(path);
    QList<Dev *> devices;
    Devs *devs = Devs::instance();
    for (int index = 0; Dev *dev = devs->nextOnline(index); ++index) {
        if (installedPackage.value(dev->mac().toLatin1()) != key)
            devices.append(dev);
    }
    beginRun(path, devices);
}

QString Connect::packageKey(const QString &path)
{
    const QFileInfo info(path);
    return path + QLatin1Char('\n') + QString::number(info.size()) + QLatin1Char('\n')
           + QString::number(info.lastModified().toMSecsSinceEpoch());
}

void Connect::beginRun(const QString &path, const QList<Dev *> &devices)
{
    // Refused before any device is asked: without an address of ours on the
    // devices' network they could not connect back for the package.
    if (File::check(path) != File::PackageOk || localAddress().isNull())
        return;
    serveOnPresentedAddress();
    // Connections of an earlier run belong to none of this run's devices.
    for (UpdateClient *client : qAsConst(clientList))
        client->detach();
    runDevices.clear();
    for (const Dev *dev : devices) {
        RunDevice device;
        device.dev = *dev;
        device.ip = QHostAddress(dev->ip());
        device.mac = dev->mac().toLatin1();
        runDevices.append(device);
    }
    preparePackage(path);
    updating = true;
    runClock.start();
    fillFlight();
}

void Connect::retryFailedUpdates()
{
    bool any = false;
    for (RunDevice &device : runDevices) {
        if (device.state != RunDevice::Failed)
            continue;
        device.state = RunDevice::Queued;
        device.begun = false;
        device.descriptor = -1;
        any = true;
    }
    if (!any)
        return;
    preparePackage(updatePath);   // the file may have changed since
    updating = true;
    fillFlight();
}

void Connect::fillFlight()
{
    int flying = int(std::count_if(runDevices.cbegin(), runDevices.cend(), [](const RunDevice &device) { return device.inFlight(); }));
    for (int i = 0; i < runDevices.size() && flying < updatesAtOnceCount; ++i) {
        RunDevice &device = runDevices[i];
        if (device.state != RunDevice::Queued)
            continue;
        device.state = RunDevice::Requested;
        touch(i);
        ++flying;
        emit updateRequestMsg(i, device.ip.toString());
        sendUpdateRequest(&device.dev);
    }
    if (flying > 0) {
        // The watchdog looks often enough for the shortest time-out to be kept to a tenth.
        if (!runWatch.isActive())
            runWatch.start(qBound(10, qMin(updateTimeoutMs, installTimeoutMs) / 10, 1000));
        return;
    }
    runWatch.stop();
    updating = false;   // automatic search may go on; the run stays for "Retry failed"
    const int updated = int(std::count_if(runDevices.cbegin(), runDevices.cend(),
                                          [](const RunDevice &device) { return device.state == RunDevice::Installed; }));
    emit updateAllFinishMsg(updated, runDevices.size() - updated);
}

void Connect::touch(int device)
{
    runDevices[device].lastSign = runClock.elapsed();
}

void Connect::watchUpdates()
{
    const qint64 now = runClock.elapsed();
    for (int i = 0; i < runDevices.size(); ++i) {
        const RunDevice &device = runDevices.at(i);
        if (!device.inFlight())
            continue;
        const int limit = device.state == RunDevice::Installing ? installTimeoutMs : updateTimeoutMs;
        if (now - device.lastSign <= limit)
            continue;
        switch (device.state) {
        case RunDevice::Requested:
            failDevice(i, RunDevice::NoConnection, seconds(limit));
            break;
        case RunDevice::Installing:
            failDevice(i, RunDevice::NoInstall, seconds(limit));
            break;
        default:
            failDevice(i, RunDevice::StoppedTaking);
            break;
        }
    }
}

void Connect::failDevice(int device, RunDevice::Failure reason, int at, int of)
{
    RunDevice &failed = runDevices[device];
    AdminService::instance()->debug(QStringLiteral("[E]update failed,mac:") + QString::fromLatin1(failed.mac)
                                        + QStringLiteral(",reason:") + QString::number(reason),
                                    AdminService::Error);
    failed.state = RunDevice::Failed;
    // Its connection is of no use any more: it must neither take the package
    // on nor be taken for the connection of its retry.
    if (UpdateClient *client = clientOf(failed.descriptor)) {
        client->detach();
        tcpServer->drop(failed.descriptor);
    }
    failed.descriptor = -1;
    emit updateFailMsg(device, reason, at, of);
    fillFlight();
}

void Connect::newConnect(int descriptor)
{
    QMutexLocker locker(&clientMutex);
    auto *client = new UpdateClient;
    client->descriptor = descriptor;
    clientList.append(client);
    AdminService::instance()->debug(QStringLiteral("[TCP]client:") + QString::number(descriptor) + QStringLiteral(" join"),
                                    AdminService::Tcp);
    client->device = updating ? connectingDevice(tcpServer->peerAddress(descriptor)) : -1;
    if (client->device < 0)
        return;
    RunDevice &device = runDevices[client->device];
    device.state = RunDevice::Connected;
    device.descriptor = descriptor;
    touch(client->device);
    emit updateStepMsg(client->device, 2);
}

void Connect::disConnected(int descriptor)
{
    QMutexLocker locker(&clientMutex);
    int device = -1;
    qint64 packet = 0;
    qint64 packets = 0;
    bool asked = false;
    for (int i = 0; i < clientList.size(); ++i) {
        if (clientList.at(i)->descriptor == descriptor) {
            UpdateClient *client = clientList.takeAt(i);
            device = client->device;
            asked = client->file || client->waiting;
            if (client->file) {
                packet = client->file->packetsDone();
                packets = client->file->getPacketCount();
            }
            delete client->file;
            delete client;
            break;
        }
    }
    tcpPending.remove(descriptor);
    AdminService::instance()->debug(QStringLiteral("[TCP]client:") + QString::number(descriptor) + QStringLiteral(" exit"),
                                    AdminService::Tcp);
    // A connection taken for a device that has not yet answered its request,
    // closed before asking for anything, was no update of it (a leftover of an
    // earlier attempt at its address): the device is still awaited.
    if (device >= 0 && runDevices.at(device).state == RunDevice::Connected && !runDevices.at(device).begun && !asked) {
        RunDevice &waited = runDevices[device];
        waited.state = RunDevice::Requested;
        waited.descriptor = -1;
        touch(device);
        return;
    }
    // After its install report a device reboots and hangs up; before it, that is the end of its update.
    if (device >= 0 && runDevices.at(device).inFlight()) {
        if (!packets && package.isValid())
            packets = (package.size + Transfer::PacketSize - 1) / Transfer::PacketSize;
        locker.unlock();
        failDevice(device, RunDevice::DisconnectedAt, int(qMin<qint64>(packet, INT_MAX)), int(qMin<qint64>(packets, INT_MAX)));
    }
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
        if (!client || client->device < 0 || runDevices.at(client->device).state != RunDevice::Installing)
            break;
        const int index = client->device;
        RunDevice &device = runDevices[index];
        device.state = RunDevice::Installed;
        installedPackage.insert(device.mac, packageKey(updatePath));
        // Done with: the device reboots anyway, and the connection no longer
        // holds a place that the next device at its address may need.
        client->detach();
        tcpServer->drop(descriptor);
        emit updateFinishMsg(descriptor);
        emit updateStepMsg(index, 4);
        fillFlight();
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

int Connect::connectingDevice(const QHostAddress &peer) const
{
    // Several devices may connect from one address; they restart in the order they accepted.
    int requested = -1;
    for (int i = 0; i < runDevices.size(); ++i) {
        const RunDevice &device = runDevices.at(i);
        if (device.state != RunDevice::Requested || !device.answersAt(peer))
            continue;
        if (device.begun)
            return i;
        if (requested < 0)
            requested = i;   // its answer may have been lost on the way
    }
    return requested;
}

int Connect::beginningDevice(const QHostAddress &sender, const QByteArray &datagram)
{
    // Several devices may answer from one address; a whole record names which.
    msg_broadcast_t record;
    const QByteArray mac = Wire::read(datagram, Wire::HeadSize, record) ? Wire::readText(record.mac).toLatin1() : QByteArray();
    int first = -1;
    for (int i = 0; i < runDevices.size(); ++i) {
        const RunDevice &device = runDevices.at(i);
        if (device.begun || device.state != RunDevice::Requested || !device.answersAt(sender))
            continue;
        if (device.mac == mac)
            return i;
        if (first < 0)
            first = i;
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
    if (!client || !updating || client->device < 0 || !runDevices.at(client->device).inFlight()) {
        AdminService::instance()->debug(QStringLiteral("[E]refuse package request from:") + tcpServer->peerAddress(descriptor).toString(),
                                        AdminService::Error);
        tcpServer->drop(descriptor);
        return;
    }
    const int device = client->device;
    tcpServer->keep(descriptor);
    touch(device);
    if (!package.isValid() && packageWatcher.isRunning()) {
        client->waiting = true;
        return;
    }
    delete client->file;
    client->file = new File(this);
    client->file->loadFile(package);
    client->file->setDescriptor(descriptor);
    if (!client->file->isLoaded())
        return failDevice(device, RunDevice::PackageUnreadable);
    runDevices[device].state = RunDevice::Sending;

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
    client->paced.start();
    if (!sendTimer.isActive())
        sendTimer.start(PacketIntervalMs);
    if (client->file->isFinished())
        packageSent(client);   // an empty package is complete at once
    else
        sendPacket(client);   // the first packet goes out at once
}

// Every device being served gets its packets on its own pace, so a site
// updates several at once as fast as one; idle connections cost nothing.
void Connect::sendFile()
{
    // A write may find a reset and remove the client: walk a copy by descriptor.
    QList<int> due;
    bool underWay = false;
    for (const UpdateClient *client : qAsConst(clientList)) {
        underWay = underWay || (client->file && !client->file->isFinished());
        if (hasPacketDue(client))
            due.append(client->descriptor);
    }
    // With no package under way the tool rests: the next one starts the timer again.
    if (!underWay)
        sendTimer.stop();
    for (int descriptor : qAsConst(due)) {
        UpdateClient *client = clientOf(descriptor);
        if (!client)
            continue;
        const qint64 owed = qMin(client->paced.elapsed() / PacketIntervalMs + 1 - client->file->packetsDone(), MaxCatchUpPackets);
        for (qint64 i = 0; i < owed && (client = clientOf(descriptor)) && hasPacketDue(client); ++i)
            sendPacket(client);
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
    touch(client->device);
    if (last)
        packageSent(client);
}

void Connect::packageSent(const UpdateClient *client)
{
    // From now on the device is installing, with the longer time-out.
    runDevices[client->device].state = RunDevice::Installing;
    touch(client->device);
    QCoreApplication::postEvent(this, new Connect_sendFile(true, client->descriptor));
}

void Connect::clientWrote(int descriptor)
{
    // Only the progress of a device being served keeps it alive.
    const UpdateClient *client = clientOf(descriptor);
    if (client && client->file && client->device >= 0)
        touch(client->device);
}

bool Connect::event(QEvent *e)
{
    if (e->type() != Connect_sendFile::EventType)
        return QObject::event(e);
    const auto *step = static_cast<Connect_sendFile *>(e);
    if (step->isFinish) {
        for (int i = 0; i < runDevices.size(); ++i) {
            if (runDevices.at(i).descriptor == step->descriptor && runDevices.at(i).state >= RunDevice::Installing)
                emit updateStepMsg(i, 3);
        }
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
    runDevices.clear();
    tcpPending.clear();
    runWatch.stop();
    for (UpdateClient *client : qAsConst(clientList))
        delete client->file;
    qDeleteAll(clientList);
    clientList.clear();
}
