#include "connect.h"

#include <QElapsedTimer>
#include <QUdpSocket>

#include <cstring>

#include "protocol/adminservice.h"
#include "protocol/datagramreader.h"
#include "protocol/localip.h"
#include "protocol/timeoutitem.h"
#include "registry/dev.h"
#include "registry/devs.h"

namespace {

// The reader drains the answer ports at once, yet a burst from a large site
// arrives faster still; the kernel holds it meanwhile.
constexpr int AnswerSocketBufferBytes = 8 * 1024 * 1024;

// One turn of the event loop takes the datagrams waiting, a chunk at a time up
// to these bounds, so that timers and input still come through during a burst.
constexpr int DatagramsPerChunk = 64;
constexpr int MaxDatagramsPerTurn = 512;
constexpr int MaxTurnMs = 5;

// A search whose answers were dropped is sent again by the engine itself once
// they have stopped coming, so that the list completes; at most this often.
constexpr int MaxSearchRepeats = 2;
constexpr int AnswersQuietMs = 300;

// Every device hears every broadcast, also the settings meant for the others.
// A camera's network stack may hold only a few dozen datagrams while it is
// busy encoding; at one every 10 ms (100 a second) none of them runs over,
// and a site of 250 devices still has its new addresses in 2.5 s.
constexpr int NetworkChangeIntervalMs = 10;

LocalAddress pick(const QList<LocalAddress> &candidates, const LocalAddress &chosen)
{
    if (candidates.contains(chosen))
        return chosen;
    return candidates.value(0);
}

// The send port is shared with the socket bound to the presented address (sendTo).
QUdpSocket *boundSocket(quint16 port, QAbstractSocket::BindMode mode = QAbstractSocket::DefaultForPlatform)
{
    auto *socket = new QUdpSocket;
    socket->bind(QHostAddress(QHostAddress::AnyIPv4), port, mode);   // a failed bind is not reported
    return socket;
}

} // namespace

Connect *Connect::s_instance = nullptr;

Connect::Connect(QObject *parent)
    : QObject(parent)
{
    if (s_instance)
        return;   // a second engine stays inert: no sockets, no timers
    s_instance = this;
    Wire::registerMetaTypes();

    sendSocket = boundSocket(Wire::SearchPort, QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint);
    readAnswersBy(DatagramReader::DefaultPath);
    answersQuiet.setSingleShot(true);
    answersQuiet.setInterval(AnswersQuietMs);
    connect(&answersQuiet, SIGNAL(timeout()), this, SLOT(answersSettled()));
    commandSocket = boundSocket(Wire::CommandPort);

    // The tick runs only while automatic search is on, so an idle tool sleeps.
    connect(&autoSearchTimer, SIGNAL(timeout()), this, SLOT(autoSearch()));
    autoSearchTimer.setInterval(10000);
    networkChangeTimer.setSingleShot(true);
    networkChangeTimer.setInterval(NetworkChangeIntervalMs);
    connect(&networkChangeTimer, SIGNAL(timeout()), this, SLOT(sendNextNetworkChange()));
}

Connect::~Connect()
{
    qDeleteAll(timeoutList);
    timeoutList.clear();
    delete sendSocket;
    delete addressSocket;
    delete answers;
    delete commandSocket;
    if (s_instance == this)
        s_instance = nullptr;
}

Connect *Connect::instance()
{
    if (!s_instance)
        new Connect;
    return s_instance;
}

// A laptop on Wi-Fi and wired at once sends a limited broadcast out of its
// default route only. Sent from a socket bound to the presented address, it
// leaves through the interface that holds that address instead, with that
// address as its source, from port 18152 as ever.
void Connect::sendTo(quint16 port, const char *data, int size)
{
    if (!sendSocket)
        return;
    const QHostAddress local = presentedCached().address;
    if (local.isNull()) {
        sendSocket->writeDatagram(data, size, QHostAddress(QHostAddress::Broadcast), port);
        return;
    }
    if (!addressSocket || addressSocket->localAddress() != local) {
        delete addressSocket;
        addressSocket = new QUdpSocket;
        if (!addressSocket->bind(local, Wire::SearchPort, QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
            delete addressSocket;
            addressSocket = nullptr;
        }
    }
    (addressSocket ? addressSocket : sendSocket)->writeDatagram(data, size, QHostAddress(QHostAddress::Broadcast), port);
}

void Connect::sendToSearchPort(const char *data, int size)
{
    sendTo(Wire::SearchPort, data, size);
}

void Connect::sendToCommandPort(const char *data, int size)
{
    sendTo(Wire::CommandPort, data, size);
}

void Connect::search()
{
    searchRepeatsLeft = MaxSearchRepeats;
    sendSearch(true);
}

void Connect::sendSearch(bool ageDevices)
{
    ++searchNum;
    const QByteArray request = Wire::datagram(Wire::makeHead(Wire::SEARCH_DEVICE, 0));
    sendToSearchPort(request.constData(), request.size());
    if (ageDevices)
        emit sendMsg(searchNum);
    AdminService::instance()->debug(QStringLiteral("[S]search"), AdminService::Sent);
}

void Connect::searchWithRetry()
{
    search();
    addTimeout(Wire::SEARCH_DEVICE, &Connect::searchWithRetry);
}

void Connect::setAutoSearch(bool on)
{
    autoSearchOn = on;
    if (!on) {
        autoSearchTimer.stop();
        return;
    }
    autoSearchTimer.start();
    if (!updating)
        search();
}

bool Connect::isAutoSearch() const
{
    return autoSearchOn;
}

void Connect::autoSearch()
{
    if (autoSearchOn && !updating)
        search();
}

void Connect::cleanSearch()
{
    // Answers of an earlier search that came in but were not taken yet belong
    // to the old list: taken now, they go with it instead of coming back
    // after the clean, ahead of the new search's answers.
    if (answers)
        takeAnswers();
    emit cleanListMsg();
    Devs::instance()->clear();
    search();
}

QHostAddress Connect::getLocalIp() const
{
    return localAddress().address;
}

LocalAddress Connect::localAddress() const
{
    return pick(localIp.refresh(), chosenLocal);
}

LocalAddress Connect::presentedCached() const
{
    return pick(localIp.get(), chosenLocal);
}

QList<LocalAddress> Connect::localAddresses()
{
    const QList<LocalAddress> candidates = localIp.refresh();
    emit presentedAddressMsg(pick(candidates, chosenLocal).address);
    return candidates;
}

void Connect::chooseLocalAddress(const LocalAddress &choice)
{
    chosenLocal = choice;
    emit presentedAddressMsg(presentedCached().address);
}

// A search answered by a whole site queues thousands of answers within
// milliseconds. Taking those already waiting in one turn of the event loop lets
// the device list lay itself out and redraw once for them rather than once for
// each; every datagram is still counted and handled on its own, in the order
// the reader took them.
void Connect::takeAnswers()
{
    QElapsedTimer turn;
    turn.start();
    int taken = 0;
    bool lookedAgain = false;
    while (true) {
        int dropped = 0;
        const QVector<DatagramReader::Datagram> chunk = answers->take(DatagramsPerChunk, &dropped);
        droppedAnswers += dropped;
        for (const DatagramReader::Datagram &datagram : chunk) {
            ++receiveNum;
            takeDatagram(datagram.bytes, datagram.sender, datagram.isBroadCast);
        }
        if (chunk.size() < DatagramsPerChunk) {
            // The queue ran empty. One more look takes the answers of the same
            // search that came in meanwhile; more would only keep the reader
            // waiting on the queue: it announces the next datagram anyway.
            if (chunk.isEmpty() || lookedAgain)
                break;
            lookedAgain = true;
            continue;
        }
        taken += chunk.size();
        if (taken >= MaxDatagramsPerTurn || turn.hasExpired(MaxTurnMs)) {
            QMetaObject::invokeMethod(this, "takeAnswers", Qt::QueuedConnection);
            return;
        }
    }
    if (droppedAnswers > 0)
        answersQuiet.start();
}

// Said once a burst is over, with what it lost in all. The devices whose
// answers were lost are offline in the list until they answer again.
void Connect::answersSettled()
{
    const bool again = searchRepeatsLeft > 0;
    AdminService::instance()->debug(QStringLiteral("[E]answers dropped: %1").arg(droppedAnswers)
                                        + (again ? QStringLiteral(", searching again") : QString()),
                                    AdminService::Error);
    droppedAnswers = 0;
    if (again) {
        --searchRepeatsLeft;
        sendSearch(false);
    }
}

void Connect::readAnswersBy(DatagramReader::Path path)
{
    delete answers;   // frees the ports for the new reader
    answers = DatagramReader::open(path, Wire::BroadcastAnswerPort, Wire::PrivateAnswerPort, AnswerSocketBufferBytes);
    connect(answers, SIGNAL(datagramsReadyMsg()), this, SLOT(takeAnswers()));
}

void Connect::takeDatagram(const QByteArray &datagram, const QHostAddress &sender, bool isBroadCast)
{
    if (sender.isEqual(presentedCached().address, QHostAddress::TolerantConversion))
        return;   // our own broadcast

    msg_head_t head;
    if (!Wire::read(datagram, 0, head)) {
        // Too short to say what it is: nothing to dispatch, but say what was lost.
        AdminService::instance()->debug(QStringLiteral("[E]drop short datagram,size:") + QString::number(datagram.size())
                                            + QStringLiteral(",from:") + sender.toString(),
                                        AdminService::Error);
        return;
    }
    act(isBroadCast, head, datagram, sender, Wire::BroadcastAnswerPort);
}

void Connect::act(bool isBroadCast, msg_head_t recMsgHead, QByteArray datagram, QHostAddress senderAdr, int port)
{
    AdminService *log = AdminService::instance();
    switch (recMsgHead.cmd) {
    case Wire::SEARCH_DEVICE: {
        msg_broadcast_t record;
        if (!Wire::read(datagram, Wire::HeadSize, record)) {
            // A cut-off record would give the registry a device with a
            // half-empty identity; drop it and let the next search bring it.
            log->debug(QStringLiteral("[E]drop short search answer,size:") + QString::number(datagram.size())
                           + QStringLiteral(",from:") + senderAdr.toString(),
                       AdminService::Error);
            return;
        }
        log->debug(QStringLiteral("[R]search msg from:") + senderAdr.toString(), AdminService::Received);
        removeTimeout(recMsgHead);   // an answer ends a repeating search
        emit receiveMsg(senderAdr, receiveNum, record, port);
        return;
    }
    case Wire::UPDATE_BEGIN: {
        // Several devices may answer from one address; a whole record names which.
        msg_broadcast_t record;
        const bool whole = Wire::read(datagram, Wire::HeadSize, record);
        emit updateBeginMsg(senderAdr, whole ? Wire::readText(record.mac).toLatin1() : QByteArray());
        return;
    }
    case Wire::CHANGE_COMPRESS_TYPE:
        emit getSetVideoSuccessMsg(recMsgHead.result);
        return;
    default:
        log->debug((isBroadCast ? QStringLiteral("[R]unresponse [B]broadcast msg:") : QStringLiteral("[R]unresponse [P]private msg:"))
                       + QString::number(recMsgHead.cmd) + QStringLiteral("from:") + senderAdr.toString(),
                   AdminService::Received);
        return;
    }
}

// ---- Device commands ----

void Connect::sendSetNetwork(const NetworkChange &change)
{
    // A fresh record: the device recognises the command by its mac alone.
    msg_broadcast_t record = Wire::emptyRecord();
    Wire::writeText(record.mac, change.mac);
    Wire::writeText(record.ip, change.ip);
    Wire::writeText(record.mask, change.mask);
    Wire::writeText(record.gateway, change.gateway);
    Wire::writeText(record.dns, change.dns);
    record.dhcp = change.dhcp ? 1 : 0;
    const QByteArray bytes = Wire::datagram(Wire::makeHead(Wire::SET_NETWORK, Wire::RecordSize), record);
    sendToSearchPort(bytes.constData(), bytes.size());
    emit networkChangeMsg(change);
}

void Connect::changeNet(QString ip, QString mask, QString gateway, QString dns, bool dhcp)
{
    Dev *dev = Devs::instance()->getSelected();
    if (!dev)
        return;
    sendSetNetwork({dev->mac(), ip, mask, gateway, dns, dhcp});
    emit sendNetEditMsg();
    AdminService::instance()->debug(QStringLiteral("[S]change net to:") + ip, AdminService::Sent);
}

void Connect::setAllIp(const QList<NetworkChange> &changes)
{
    networkChanges += changes;
    if (!networkChangeTimer.isActive())
        sendNextNetworkChange();
}

void Connect::sendNextNetworkChange()
{
    if (networkChanges.isEmpty()) {
        networkChangeTimer.stop();
        search();   // the devices answer at their new addresses
        emit allIpSentMsg();
        return;
    }
    sendSetNetwork(networkChanges.takeFirst());
    networkChangeTimer.start();
}

// The record as given, then 276 zero bytes.
void Connect::sendReset(const msg_broadcast_t &record)
{
    const QByteArray bytes = Wire::datagram(Wire::makeHead(Wire::RESET_DEVICE, Wire::RecordSize), record, Wire::RecordSize);
    sendToCommandPort(bytes.constData(), bytes.size());
}

void Connect::resetDevice(const msg_broadcast_t &record)
{
    sendReset(record);
    emit sendResetMsg();
    // The ip text goes through the address parser: a text that is no address logs as empty.
    AdminService::instance()->debug(QStringLiteral("[S]reset to:") + QHostAddress(Wire::readText(record.ip)).toString(),
                                    AdminService::Sent);
}

void Connect::reset()
{
    if (Dev *dev = Devs::instance()->getSelected())
        resetDevice(dev->info);
}

void Connect::resetAll()
{
    const QList<Dev *> devices = Devs::instance()->getDevList();
    for (Dev *dev : devices)
        resetDevice(dev->info);
}

void Connect::resetFailSearch()
{
    for (const QString &subnet : {QStringLiteral("192.168.147."), QStringLiteral("192.168.2.")}) {
        for (int host = 2; host <= 49; ++host) {
            const QString address = subnet + QString::number(host);
            msg_broadcast_t record = Wire::emptyRecord();
            Wire::writeText(record.ip, address);
            sendReset(record);
            AdminService::instance()->debug(QStringLiteral("[S]reset fail to:") + address, AdminService::Sent);
        }
    }
}

void Connect::changeCompressType(bool h264)
{
    Dev *dev = Devs::instance()->getSelected();
    if (!dev)
        return;
    msg_broadcast_t record = dev->info;
    record.h264 = h264 ? 1 : 0;
    const QByteArray bytes = Wire::datagram(Wire::makeHead(Wire::CHANGE_COMPRESS_TYPE, Wire::RecordSize), record);
    sendToCommandPort(bytes.constData(), bytes.size());
    emit encodingChangeMsg(dev->mac(), dev->info.h264 != 0, h264);
}

void Connect::sendUpdateRequest(Dev *dev)
{
    if (!dev)
        return;
    updating = true;
    // The request carries, in place of the mask, the address to fetch the package from.
    msg_broadcast_t record = dev->info;
    Wire::writeText(record.mask, getLocalIp().toString());
    const QByteArray bytes = Wire::datagram(Wire::makeHead(Wire::UPDATE_BEGIN, Wire::RecordSize), record);
    sendToCommandPort(bytes.constData(), bytes.size());
}

void Connect::updateRunOver()
{
    updating = false;
}

// ---- Request timeouts ----

void Connect::addTimeout(int cmd, void (Connect::*callback)())
{
    for (int i = 0; i < timeoutList.size(); ++i) {
        TimeoutItem *old = timeoutList.at(i);
        if (old->cmd != cmd)
            continue;
        // The budget carries over to the renewed item.
        auto *item = new TimeoutItem(cmd, old->count, callback);
        connect(item, SIGNAL(timeoutMsg(TimeoutItem*)), this, SLOT(timeoutMax(TimeoutItem*)));
        item->start(timeoutInterval);
        timeoutList[i] = item;
        old->deleteLater();   // we may be inside old's own timer handler
        return;
    }
    auto *item = new TimeoutItem(cmd, timeoutCount, callback);
    connect(item, SIGNAL(timeoutMsg(TimeoutItem*)), this, SLOT(timeoutMax(TimeoutItem*)));
    item->start(timeoutInterval);
    timeoutList.append(item);
}

bool Connect::hasTimeout(int cmd) const
{
    for (const TimeoutItem *item : timeoutList) {
        if (item->cmd == cmd)
            return true;
    }
    return false;
}

void Connect::removeTimeout(int cmd)
{
    for (int i = timeoutList.size() - 1; i >= 0; --i) {
        if (timeoutList.at(i)->cmd == cmd)
            timeoutList.takeAt(i)->deleteLater();
    }
}

void Connect::removeTimeout(msg_head_t header)
{
    quint32 code;
    std::memcpy(&code, &header, sizeof code);   // cmd and result as one little-endian word
    removeTimeout(int(code));
}

void Connect::timeoutMax(TimeoutItem *item)
{
    if (item->cmd == Wire::SEARCH_DEVICE)
        AdminService::instance()->debug(QStringLiteral("[E]search device timeout"), AdminService::Error);
    for (int i = 0; i < timeoutList.size(); ++i) {
        if (timeoutList.at(i)->cmd == item->cmd) {
            timeoutList.takeAt(i)->deleteLater();   // still inside its own signal
            return;
        }
    }
}
