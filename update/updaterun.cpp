#include "updaterun.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QtConcurrent>

#include <algorithm>
#include <cstring>

#include "protocol/adminservice.h"
#include "protocol/connect.h"
#include "update/connectsendfile.h"
#include "update/tcpmessagebuffer.h"
#include "update/tcpserver.h"
#include "update/timerclock.h"
#include "update/updateclient.h"

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

UpdateRun *UpdateRun::s_instance = nullptr;

UpdateRun::UpdateRun(Engine engine, UpdateTransport *transport, UpdateClock *clock, QObject *parent)
    : QObject(parent)
    , engine(std::move(engine))
    , server(transport)
    , clock(clock)
    , updateTimeoutMs(DefaultUpdateTimeoutMs)
    , installTimeoutMs(DefaultInstallTimeoutMs)
{
    connect(&packageWatcher, SIGNAL(finished()), this, SLOT(packageMeasured()));
}

UpdateRun::~UpdateRun()
{
    qDeleteAll(clientList);
    if (s_instance == this)
        s_instance = nullptr;
}

UpdateRun *UpdateRun::instance()
{
    if (s_instance)
        return s_instance;
    Connect *protocol = Connect::instance();
    // The server asks the run before it keeps a connection; nothing connects before the event loop runs.
    auto *tcpServer = new TcpServer(nullptr, Transfer::ServerPort,
                                    [](const QHostAddress &peer) { return s_instance->connectionsAllowedFrom(peer); });
    auto *timerClock = new TimerClock;
    const Engine requests{[protocol] { return protocol->getLocalIp(); }, [protocol](Dev *dev) { protocol->sendUpdateRequest(dev); },
                          [protocol] { protocol->updateRunOver(); }};
    s_instance = new UpdateRun(requests, tcpServer, timerClock);
    tcpServer->setParent(s_instance);
    timerClock->setParent(s_instance);
    connect(timerClock, SIGNAL(wakeMsg()), s_instance, SLOT(wake()));
    connect(tcpServer, SIGNAL(newConnectMsg(int)), s_instance, SLOT(newConnect(int)));
    connect(tcpServer, SIGNAL(clientDisconnectMsg(int)), s_instance, SLOT(disConnected(int)));
    connect(tcpServer, SIGNAL(receiveDataMsg(int)), s_instance, SLOT(receiveTcp(int)));
    connect(tcpServer, SIGNAL(bytesWrittenedMsg(int)), s_instance, SLOT(clientWrote(int)));
    connect(protocol, SIGNAL(updateBeginMsg(QHostAddress,QByteArray)), s_instance, SLOT(updateBegun(QHostAddress,QByteArray)));
    connect(protocol, SIGNAL(presentedAddressMsg(QHostAddress)), s_instance, SLOT(serveOn(QHostAddress)));
    s_instance->serveOn(protocol->getLocalIp());
    return s_instance;
}

void UpdateRun::serveOn(const QHostAddress &address)
{
    if (address == servedOn)
        return;
    servedOn = server->listenOn(address) ? address : QHostAddress();
    const QString where = address.toString() + QStringLiteral(":8010");
    if (address.isNull())
        return;
    if (servedOn.isNull())
        AdminService::instance()->debug(QStringLiteral("[TCP]server init fail on:") + where, AdminService::Error);
    else
        AdminService::instance()->debug(QStringLiteral("[TCP]server init on:") + where, AdminService::Tcp);
}

int UpdateRun::connectionsAllowedFrom(const QHostAddress &peer) const
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

void UpdateRun::setUpdateTimeout(int ms, int installMs)
{
    updateTimeoutMs = ms;
    installTimeoutMs = installMs > 0 ? installMs : ms;
    rearm();
}

void UpdateRun::setUpdatesAtOnce(int count)
{
    updatesAtOnceCount = qBound(1, count, MaxUpdatesAtOnce);
    if (updating)
        fillFlight();
    rearm();
}

void UpdateRun::startUpdate(const QString &path, const QList<Dev *> &devices)
{
    if (!devices.isEmpty())
        beginRun(path, devices);
}

void UpdateRun::startAllUpdate(const QString &path, const QList<Dev *> &devices)
{
    const QString key = packageKey(path);
    QList<Dev *> due;
    for (Dev *dev : devices) {
        if (dev->online > 0 && installedPackage.value(dev->mac().toLatin1()) != key)
            due.append(dev);
    }
    beginRun(path, due);
}

QString UpdateRun::packageKey(const QString &path)
{
    const QFileInfo info(path);
    return path + QLatin1Char('\n') + QString::number(info.size()) + QLatin1Char('\n')
           + QString::number(info.lastModified().toMSecsSinceEpoch());
}

void UpdateRun::beginRun(const QString &path, const QList<Dev *> &devices)
{
    // Refused before any device is asked: without an address of ours on the
    // devices' network they could not connect back for the package.
    const QHostAddress presented = engine.presentedAddress();
    if (File::check(path) != File::PackageOk || presented.isNull())
        return;
    serveOn(presented);
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
    fillFlight();
    rearm();
}

void UpdateRun::retryFailedUpdates()
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
    rearm();
}

void UpdateRun::fillFlight()
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
        engine.sendUpdateRequest(&device.dev);
    }
    if (flying > 0)
        return;
    updating = false;   // automatic search may go on; the run stays for "Retry failed"
    engine.runOver();
    const int updated = int(std::count_if(runDevices.cbegin(), runDevices.cend(),
                                          [](const RunDevice &device) { return device.state == RunDevice::Installed; }));
    emit updateAllFinishMsg(updated, runDevices.size() - updated);
}

void UpdateRun::touch(int device)
{
    runDevices[device].lastSign = clock->now();
}

void UpdateRun::wake()
{
    lastTick = clock->now();
    sendFile();
    watchUpdates();
    rearm();
}

int UpdateRun::silenceAllowed(const RunDevice &device) const
{
    return device.state == RunDevice::Installing ? installTimeoutMs : updateTimeoutMs;
}

void UpdateRun::watchUpdates()
{
    const qint64 now = clock->now();
    for (int i = 0; i < runDevices.size(); ++i) {
        const RunDevice &device = runDevices.at(i);
        if (!device.inFlight())
            continue;
        const int limit = silenceAllowed(device);
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

void UpdateRun::rearm()
{
    qint64 when = -1;
    const auto sooner = [&when](qint64 at) { when = when < 0 ? at : qMin(when, at); };
    // Packets keep to their pace, and ticks are 5 ms apart however late a device is.
    for (const UpdateClient *client : qAsConst(clientList)) {
        if (hasPacketDue(client))
            sooner(qMax(client->pacedFrom + client->file->packetsDone() * PacketIntervalMs, lastTick + PacketIntervalMs));
    }
    for (const RunDevice &device : qAsConst(runDevices)) {
        if (device.inFlight())
            sooner(device.lastSign + silenceAllowed(device) + 1);
    }
    clock->wakeAt(when);
}

void UpdateRun::failDevice(int device, RunDevice::Failure reason, int at, int of)
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
        server->drop(failed.descriptor);
    }
    failed.descriptor = -1;
    emit updateFailMsg(device, reason, at, of);
    fillFlight();
}

void UpdateRun::updateBegun(const QHostAddress &sender, const QByteArray &mac)
{
    // Only a device that the run asked gets a row, once: anyone may send this.
    const int index = beginningDevice(sender, mac);
    if (index < 0) {
        AdminService::instance()->debug(QStringLiteral("[E]update begin from a device not being updated:") + sender.toString(),
                                        AdminService::Error);
        return;
    }
    runDevices[index].begun = true;
    AdminService::instance()->debug(QStringLiteral("[R]update begin,from:") + sender.toString(), AdminService::Received);
    touch(index);   // the device may take its time to restart
    emit updateStepMsg(index, 1);
    rearm();
}

void UpdateRun::newConnect(int descriptor)
{
    QMutexLocker locker(&clientMutex);
    auto *client = new UpdateClient;
    client->descriptor = descriptor;
    clientList.append(client);
    AdminService::instance()->debug(QStringLiteral("[TCP]client:") + QString::number(descriptor) + QStringLiteral(" join"),
                                    AdminService::Tcp);
    client->device = updating ? connectingDevice(server->peerAddress(descriptor)) : -1;
    if (client->device < 0)
        return;
    RunDevice &device = runDevices[client->device];
    device.state = RunDevice::Connected;
    device.descriptor = descriptor;
    touch(client->device);
    emit updateStepMsg(client->device, 2);
    rearm();
}

void UpdateRun::disConnected(int descriptor)
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
    rearm();
}

void UpdateRun::receiveTcp(int descriptor)
{
    // A read may hold part of a header, or one header and the start of the
    // next: keep the bytes until each 44-byte message is complete. The bytes
    // are taken out first, since a message may end the run and reset the lot.
    TcpMessageBuffer buffer(tcpPending.take(descriptor));
    buffer.append(server->readData(descriptor));
    const QList<QByteArray> messages = buffer.takeMessages();
    for (const QByteArray &message : messages) {
        COMM_PACK_HEAD head;
        if (Wire::read(message, 0, head))
            tcpAct(descriptor, head);
    }
    // A message may have ended the connection's client, and a new connection may then get its descriptor.
    const QByteArray rest = buffer.remainder();
    if (!rest.isEmpty() && clientOf(descriptor))
        tcpPending[descriptor] += rest;
    rearm();
}

void UpdateRun::tcpAct(int descriptor, const COMM_PACK_HEAD &head)
{
    switch (head.cmd) {
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
        server->drop(descriptor);
        emit updateFinishMsg(descriptor);
        emit updateStepMsg(index, 4);
        fillFlight();
        break;
    }
    default:
        break;
    }
}

UpdateClient *UpdateRun::clientOf(int descriptor) const
{
    for (UpdateClient *client : clientList) {
        if (client->descriptor == descriptor)
            return client;
    }
    return nullptr;
}

int UpdateRun::connectingDevice(const QHostAddress &peer) const
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

int UpdateRun::beginningDevice(const QHostAddress &sender, const QByteArray &mac) const
{
    // Several devices may answer from one address; a whole record names which.
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
void UpdateRun::preparePackage(const QString &path)
{
    updatePath = path;
    const QFileInfo info(path);
    const bool unchanged = package.path == path && package.isValid() && package.size == info.size()
                           && package.modified == info.lastModified();
    if (unchanged && !measuring)
        return;
    package = Package();
    measuring = true;
    packageWatcher.setFuture(QtConcurrent::run(&File::measure, path));
}

void UpdateRun::packageMeasured()
{
    const Package measured = packageWatcher.result();
    if (measured.path != updatePath)
        return;   // a later run chose another package, already being measured
    measuring = false;
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
    rearm();
}

void UpdateRun::startSendFile(int descriptor)
{
    // Only a device that this run asked to update gets the package, and only
    // while the run lasts, on a connection of the run: any other host on the
    // LAN could take it, or make the tool read it again and again.
    UpdateClient *client = clientOf(descriptor);
    if (!client || !updating || client->device < 0 || !runDevices.at(client->device).inFlight()) {
        AdminService::instance()->debug(QStringLiteral("[E]refuse package request from:") + server->peerAddress(descriptor).toString(),
                                        AdminService::Error);
        server->drop(descriptor);
        return;
    }
    const int device = client->device;
    server->keep(descriptor);
    touch(device);
    if (measuring) {
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
    if (!server->writeData(descriptor, QByteArray(reinterpret_cast<const char *>(&head), int(sizeof head))))
        return;   // reset by the device: the client is gone
    AdminService::instance()->debug(QStringLiteral("[TCP]send file start,id:") + QString::number(descriptor)
                                        + QStringLiteral(",size:") + QString::number(size),
                                    AdminService::Tcp);
    client->pacedFrom = clock->now();
    if (client->file->isFinished())
        packageSent(client);   // an empty package is complete at once
    else
        sendPacket(client);   // the first packet goes out at once
}

// Every device being served gets its packets on its own pace, so a site
// updates several at once as fast as one; idle connections cost nothing.
void UpdateRun::sendFile()
{
    // A write may find a reset and remove the client: walk a copy by descriptor.
    QList<int> due;
    for (const UpdateClient *client : qAsConst(clientList)) {
        if (hasPacketDue(client))
            due.append(client->descriptor);
    }
    const qint64 now = clock->now();
    for (int descriptor : qAsConst(due)) {
        UpdateClient *client = clientOf(descriptor);
        if (!client)
            continue;
        const qint64 owed = qMin((now - client->pacedFrom) / PacketIntervalMs + 1 - client->file->packetsDone(), MaxCatchUpPackets);
        for (qint64 i = 0; i < owed && (client = clientOf(descriptor)) && hasPacketDue(client); ++i)
            sendPacket(client);
    }
}

bool UpdateRun::hasPacketDue(const UpdateClient *client) const
{
    // A device that is not reading gets nothing more until its socket drains.
    return client->file && client->file->isLoaded() && !client->file->isFinished()
           && server->bytesToWrite(client->descriptor) <= MaxQueuedBytes;
}

void UpdateRun::sendPacket(UpdateClient *client)
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
    if (!server->writeData(descriptor, packet))
        return;   // reset by the device: the client and its file are gone
    QCoreApplication::postEvent(this, new Connect_sendFile(false, descriptor));
    touch(client->device);
    if (last)
        packageSent(client);
}

void UpdateRun::packageSent(const UpdateClient *client)
{
    // From now on the device is installing, with the longer time-out.
    runDevices[client->device].state = RunDevice::Installing;
    touch(client->device);
    QCoreApplication::postEvent(this, new Connect_sendFile(true, client->descriptor));
}

void UpdateRun::clientWrote(int descriptor)
{
    // Only the progress of a device being served keeps it alive.
    const UpdateClient *client = clientOf(descriptor);
    if (client && client->file && client->device >= 0)
        touch(client->device);
    rearm();
}

bool UpdateRun::event(QEvent *e)
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

void UpdateRun::resetUpdate()
{
    updating = false;
    packetTotal = 0;
    packetSent = 0;
    runDevices.clear();
    tcpPending.clear();
    qDeleteAll(clientList);
    clientList.clear();
    engine.runOver();
    rearm();
}
