#include "devicesim.h"

#include <QJsonArray>
#include <QNetworkDatagram>
#include <QRandomGenerator>
#include <QTimer>
#include <QUdpSocket>

#include "simstreams.h"

#include "simupdater.h"

namespace {

// Large enough that a burst of thousands of commands is not dropped by devsim
// itself; the kernel caps it at net.core.rmem_max / wmem_max.
constexpr int SocketBufferBytes = 4 * 1024 * 1024;

QJsonObject logEvent(const char *name)
{
    return QJsonObject{{QStringLiteral("event"), QLatin1String(name)}};
}

} // namespace

DeviceSim::DeviceSim(const SimOptions &options, EventLog *log, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_log(log)
    , m_searchSocket(new QUdpSocket(this))
    , m_commandSocket(new QUdpSocket(this))
{
    m_devices.reserve(size_t(options.count));
    for (int i = 0; i < options.count; ++i)
        m_devices.emplace_back(i, options);
    connect(m_searchSocket, &QUdpSocket::readyRead, this, [this] { readPending(m_searchSocket, Wire::SearchPort); });
    connect(m_commandSocket, &QUdpSocket::readyRead, this, [this] { readPending(m_commandSocket, Wire::CommandPort); });
    if (options.streams) {
        m_streams = new SimStreams(options, log, this);
        connect(m_streams, &SimStreams::ready, this, [this](int device) {
            if (m_restartingUntilStreams.remove(device))
                finishRestart(device);
        });
    }
}

bool DeviceSim::start(QString *error)
{
    const std::pair<QUdpSocket *, quint16> sockets[] = {{m_searchSocket, Wire::SearchPort},
                                                       {m_commandSocket, Wire::CommandPort}};
    for (const auto &[socket, port] : sockets) {
        if (!socket->bind(QHostAddress::AnyIPv4, port)) {
            *error = QStringLiteral("cannot bind UDP port %1: %2").arg(port).arg(socket->errorString());
            return false;
        }
        socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, SocketBufferBytes);
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, SocketBufferBytes);
    }
    QJsonObject ready = logEvent("ready");
    ready.insert(QStringLiteral("count"), int(m_devices.size()));
    ready.insert(QStringLiteral("bound"), QJsonArray{Wire::SearchPort, Wire::CommandPort});
    m_log->write(ready);
    if (m_streams) {
        for (const SimDevice &device : m_devices)
            m_streams->start(device.index(), device.ip(), device.h264());
    }
    return true;
}

bool DeviceSim::control(const QString &line)
{
    const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QStringList verbs{QStringLiteral("silent"), QStringLiteral("speak"), QStringLiteral("mend")};
    if (words.size() != 2 || !verbs.contains(words[0]))
        return false;
    bool ok = false;
    const int index = words[1].toInt(&ok);
    if (!ok || index < 0 || index >= int(m_devices.size()))
        return false;
    if (words[0] == verbs[2])
        m_options.updateFaults.remove(index);
    else
        m_devices[size_t(index)].setSilent(words[0] == verbs[0]);
    QJsonObject done = logEvent(qPrintable(words[0]));
    done.insert(QStringLiteral("device"), index);
    m_log->write(done);
    return true;
}

void DeviceSim::readPending(QUdpSocket *socket, quint16 port)
{
    // One readyRead may stand for many datagrams: read until none is left.
    while (socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        dispatch(port, datagram);
    }
}

void DeviceSim::dispatch(quint16 port, const QNetworkDatagram &datagram)
{
    const QByteArray data = datagram.data();
    msg_head_t head;
    if (Wire::read(data, 0, head)) {
        if (port == Wire::SearchPort && head.cmd == Wire::SEARCH_DEVICE)
            return onSearch(port, datagram);
        if (port == Wire::SearchPort && head.cmd == Wire::SET_NETWORK && data.size() >= Wire::RecordDatagramSize)
            return onSetNetwork(port, datagram);
        if (port == Wire::CommandPort && head.cmd == Wire::RESET_DEVICE && data.size() >= Wire::RecordDatagramSize)
            return onReset(port, datagram);
        if (port == Wire::CommandPort && head.cmd == Wire::CHANGE_COMPRESS_TYPE && data.size() >= Wire::RecordDatagramSize)
            return onChangeCompress(port, datagram);
        if (port == Wire::CommandPort && head.cmd == Wire::UPDATE_BEGIN && data.size() >= Wire::RecordDatagramSize)
            return onUpdateBegin(port, datagram);
    }
    logReceived(port, datagram, -1);
}

void DeviceSim::onSearch(quint16 port, const QNetworkDatagram &datagram)
{
    logReceived(port, datagram, -1);
    const QHostAddress sender = datagram.senderAddress();
    for (const SimDevice &device : m_devices) {
        if (!device.answersSearch())
            continue;
        const int index = device.index();
        if (m_options.delayMs <= 0) {
            answerSearch(index, sender);
            continue;
        }
        const int delay = int(QRandomGenerator::global()->bounded(quint32(m_options.delayMs) + 1));
        QTimer::singleShot(delay, this, [this, index, sender] { answerSearch(index, sender); });
    }
}

void DeviceSim::answerSearch(int index, const QHostAddress &sender)
{
    const SimDevice &device = m_devices[size_t(index)];
    const QHostAddress to = device.answersBroadcast() ? QHostAddress(QHostAddress::Broadcast) : sender;
    const quint16 toPort = device.answersBroadcast() ? Wire::BroadcastAnswerPort : Wire::PrivateAnswerPort;
    const QByteArray answer = Wire::datagram(Wire::makeHead(Wire::SEARCH_DEVICE, Wire::RecordSize), device.record());
    // Devices answer from their search port.
    const qint64 sent = m_searchSocket->writeDatagram(answer, to, toPort);
    QJsonObject logged = logEvent("answer");
    logged.insert(QStringLiteral("device"), index);
    logged.insert(QStringLiteral("to"), to.toString());
    logged.insert(QStringLiteral("port"), toPort);
    logged.insert(QStringLiteral("size"), answer.size());
    if (sent != answer.size())
        logged.insert(QStringLiteral("error"), m_searchSocket->errorString());
    m_log->write(logged);
}

void DeviceSim::onSetNetwork(quint16 port, const QNetworkDatagram &datagram)
{
    msg_broadcast_t request;
    const int index = takeByMac(port, datagram, request);
    if (index < 0)
        return;
    const QString ip = Wire::readText(request.ip);
    const QString mask = Wire::readText(request.mask);
    const QString gateway = Wire::readText(request.gateway);
    const QString dns = Wire::readText(request.dns);
    m_devices[size_t(index)].setNetwork(ip, mask, gateway, dns, request.dhcp);
    QJsonObject logged = logEvent("set_network");
    logged.insert(QStringLiteral("device"), index);
    logged.insert(QStringLiteral("ip"), ip);
    logged.insert(QStringLiteral("mask"), mask);
    logged.insert(QStringLiteral("gateway"), gateway);
    logged.insert(QStringLiteral("dns"), dns);
    logged.insert(QStringLiteral("dhcp"), int(request.dhcp));
    m_log->write(logged);
}

void DeviceSim::onReset(quint16 port, const QNetworkDatagram &datagram)
{
    msg_broadcast_t request;
    Wire::read(datagram.data(), Wire::HeadSize, request);
    // The repair sweep knows only addresses, so its records carry an ip and no mac.
    const QString mac = Wire::readText(request.mac);
    const bool byMac = !mac.isEmpty();
    const int index = byMac ? findByMac(mac) : findByIp(Wire::readText(request.ip));
    logReceived(port, datagram, index);
    if (index < 0)
        return;
    if (m_options.factoryReset)
        m_devices[size_t(index)].restoreFactory();
    QJsonObject logged = logEvent("reset");
    logged.insert(QStringLiteral("device"), index);
    logged.insert(QStringLiteral("by"), byMac ? QStringLiteral("mac") : QStringLiteral("ip"));
    logged.insert(QStringLiteral("factory"), m_options.factoryReset);
    m_log->write(logged);
}

void DeviceSim::onUpdateBegin(quint16 port, const QNetworkDatagram &datagram)
{
    msg_broadcast_t request;
    const int index = takeByMac(port, datagram, request);
    // A device that is restarting hears nothing; a silent one never takes updates.
    if (index < 0 || m_updaters.value(index) || m_devices[size_t(index)].silent())
        return;
    if (m_options.updateFaults.value(index).kind == SimOptions::UpdateFault::Silent) {
        m_log->write(QJsonObject{{QStringLiteral("event"), QStringLiteral("update_ignored")}, {QStringLiteral("device"), index}});
        return;
    }
    // The request carries, in place of the mask, the address to fetch the package from.
    const QHostAddress tool(Wire::readText(request.mask));
    SimDevice &device = m_devices[size_t(index)];
    const QHostAddress to = device.answersBroadcast() ? QHostAddress(QHostAddress::Broadcast) : datagram.senderAddress();
    const quint16 toPort = device.answersBroadcast() ? Wire::BroadcastAnswerPort : Wire::PrivateAnswerPort;
    m_commandSocket->writeDatagram(Wire::datagram(Wire::makeHead(Wire::UPDATE_BEGIN, Wire::RecordSize), device.record()), to, toPort);
    QJsonObject logged = logEvent("update_begin");
    logged.insert(QStringLiteral("device"), index);
    logged.insert(QStringLiteral("tool"), tool.toString());
    m_log->write(logged);

    device.setRestarting(true);
    auto *updater = new SimUpdater(index, tool, m_options, m_log, this);
    connect(updater, &SimUpdater::done, this, &DeviceSim::onUpdateDone);
    m_updaters.insert(index, updater);
    updater->start();
}

void DeviceSim::onUpdateDone(int index, bool installed)
{
    m_updaters.remove(index);
    SimDevice &device = m_devices[size_t(index)];
    device.setRestarting(false);
    if (!installed)
        return;   // back on the old firmware
    QString version = m_options.updateVersion;
    if (version.isEmpty()) {
        // V3.2.1.7 becomes V3.2.2.7.
        QStringList parts = device.version().split(QLatin1Char('.'));
        if (parts.size() >= 2)
            parts[parts.size() - 2] = QString::number(parts[parts.size() - 2].toInt() + 1);
        version = parts.join(QLatin1Char('.'));
    }
    device.setVersion(version);
    QJsonObject logged = logEvent("update_finish");
    logged.insert(QStringLiteral("device"), index);
    logged.insert(QStringLiteral("version"), version);
    m_log->write(logged);
}

void DeviceSim::onChangeCompress(quint16 port, const QNetworkDatagram &datagram)
{
    msg_broadcast_t request;
    const int index = takeByMac(port, datagram, request);
    if (index < 0 || m_devices[size_t(index)].restarting())
        return;
    SimDevice &device = m_devices[size_t(index)];
    const quint8 h264 = request.h264 ? 1 : 0;
    QJsonObject logged = logEvent("compress");
    logged.insert(QStringLiteral("device"), index);
    logged.insert(QStringLiteral("h264"), int(h264));
    if (m_options.compressAnswer == SimOptions::CompressAnswer::None) {
        m_log->write(logged);
        return;
    }
    const bool accepted = m_options.compressAnswer == SimOptions::CompressAnswer::Success;
    msg_head_t head = Wire::makeHead(Wire::CHANGE_COMPRESS_TYPE, Wire::RecordSize);
    head.result = accepted ? 1 : 0;
    const QHostAddress to = device.answersBroadcast() ? QHostAddress(QHostAddress::Broadcast) : datagram.senderAddress();
    const quint16 toPort = device.answersBroadcast() ? Wire::BroadcastAnswerPort : Wire::PrivateAnswerPort;
    m_commandSocket->writeDatagram(Wire::datagram(head, device.record()), to, toPort);
    logged.insert(QStringLiteral("result"), int(head.result));
    m_log->write(logged);
    if (!accepted)
        return;
    // The device restarts: its streams drop and it answers nothing until it is back.
    device.setRestarting(true);
    if (m_streams)
        m_streams->stop(index);
    QTimer::singleShot(m_options.compressRestartMs, this, [this, index, h264] {
        SimDevice &restarted = m_devices[size_t(index)];
        restarted.setH264(h264);
        if (!m_streams) {
            finishRestart(index);
            return;
        }
        // A real device answers searches only once it is fully up, so a tool that
        // finds it again can open its streams at once.
        m_restartingUntilStreams.insert(index);
        m_streams->start(index, restarted.ip(), h264);
    });
}

void DeviceSim::finishRestart(int index)
{
    SimDevice &device = m_devices[size_t(index)];
    device.setRestarting(false);
    QJsonObject back = logEvent("restarted");
    back.insert(QStringLiteral("device"), index);
    back.insert(QStringLiteral("h264"), int(device.h264()));
    m_log->write(back);
}

int DeviceSim::takeByMac(quint16 port, const QNetworkDatagram &datagram, msg_broadcast_t &request)
{
    Wire::read(datagram.data(), Wire::HeadSize, request);   // dispatch() let through full records only
    const int index = findByMac(Wire::readText(request.mac));
    logReceived(port, datagram, index);
    return index;
}

void DeviceSim::logReceived(quint16 port, const QNetworkDatagram &datagram, int device)
{
    const QByteArray data = datagram.data();
    quint16 cmd = 0;
    QJsonObject logged = logEvent("recv");
    logged.insert(QStringLiteral("port"), port);
    logged.insert(QStringLiteral("cmd"), Wire::read(data, 0, cmd) ? int(cmd) : -1);
    logged.insert(QStringLiteral("size"), data.size());
    logged.insert(QStringLiteral("from"), datagram.senderAddress().toString());
    logged.insert(QStringLiteral("hex"), QString::fromLatin1(data.toHex()));
    logged.insert(QStringLiteral("device"), device);
    m_log->write(logged);
}

int DeviceSim::findByMac(const QString &mac) const
{
    if (mac.isEmpty())
        return -1;
    for (const SimDevice &device : m_devices) {
        if (device.mac() == mac)
            return device.index();
    }
    return -1;
}

int DeviceSim::findByIp(const QString &ip) const
{
    if (ip.isEmpty())
        return -1;
    for (const SimDevice &device : m_devices) {
        if (device.ip() == ip)
            return device.index();
    }
    return -1;
}
