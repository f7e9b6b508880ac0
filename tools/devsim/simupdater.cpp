#include "simupdater.h"

#include <QFile>
#include <QJsonObject>
#include <QRandomGenerator>

#include <cstring>

#include "update/commpackhead.h"

namespace {

// A device hangs up this long after reporting its update installed, as it reboots.
constexpr int RebootDelayMs = 200;
constexpr int SplitByteIntervalMs = 2;

} // namespace

SimUpdater::SimUpdater(int device, const QHostAddress &tool, const SimOptions &options, EventLog *log, QObject *parent)
    : QObject(parent)
    , m_device(device)
    , m_tool(tool)
    , m_options(options)
    , m_fault(options.updateFaults.value(device))
    , m_log(log)
{
    m_restartTimer.setSingleShot(true);
    m_splitTimer.setInterval(SplitByteIntervalMs);
    connect(&m_restartTimer, &QTimer::timeout, this, [this] {
        logEvent("update_connecting", {{QStringLiteral("to"), m_tool.toString()}});
        m_socket.connectToHost(m_tool, Transfer::ServerPort);
    });
    connect(&m_splitTimer, &QTimer::timeout, this, &SimUpdater::writeNextSplitByte);
    connect(&m_socket, &QTcpSocket::connected, this, &SimUpdater::onConnected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &SimUpdater::onReadyRead);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        fail(QStringLiteral("socket: ") + m_socket.errorString());
    });
    if (!options.packagePath.isEmpty()) {
        QFile package(options.packagePath);
        if (package.open(QIODevice::ReadOnly))
            m_package = package.readAll();
        else
            logEvent("update_package_unreadable", {{QStringLiteral("path"), options.packagePath}});
    }
}

void SimUpdater::start()
{
    // A stalled device stops reading: Qt then stops taking bytes from the
    // system, the receive window closes and the tool's writes back up.
    if (m_fault.kind == SimOptions::UpdateFault::Stall)
        m_socket.setReadBufferSize(8192);
    m_restartTimer.start(m_options.restartMs);
}

void SimUpdater::onConnected()
{
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    logEvent("update_connected");
    if (m_fault.kind == SimOptions::UpdateFault::Close) {
        m_socket.disconnectFromHost();
        return fail(QStringLiteral("close"));
    }
    if (m_fault.kind == SimOptions::UpdateFault::Garbage) {
        // Noise of no whole number of headers, none of which carries a known command.
        QByteArray noise(50 * Transfer::HeadSize + 7, '\0');
        for (char &byte : noise)
            byte = char(QRandomGenerator::global()->bounded(256));
        for (int at = 0; at + 4 <= noise.size(); at += Transfer::HeadSize)
            noise[at + 1] = char(0x5a);
        sendBytes(noise);
        logEvent("update_garbage", {{QStringLiteral("bytes"), noise.size()}});
        QTimer::singleShot(1000, this, [this] { fail(QStringLiteral("garbage")); });
        return;
    }
    sendMessage(Transfer::GET_UPDATE_PATCH);
    if (m_fault.kind == SimOptions::UpdateFault::Stall)
        logEvent("update_stall");
}

void SimUpdater::onReadyRead()
{
    if (m_over || m_fault.kind == SimOptions::UpdateFault::Stall)
        return;
    QByteArray data = m_socket.readAll();
    if (!m_haveHead) {
        const int need = Transfer::HeadSize - m_head.size();
        m_head += data.left(need);
        data.remove(0, need);
        if (m_head.size() < Transfer::HeadSize)
            return;
        m_haveHead = true;
        COMM_PACK_HEAD head;
        std::memcpy(&head, m_head.constData(), sizeof head);
        m_fileSize = head.fileSize;
        m_md5Prefix = QByteArray(head.md5, 4);
        logEvent("update_header", {{QStringLiteral("cmd"), qint64(head.cmd)},
                                   {QStringLiteral("size"), qint64(head.fileSize)},
                                   {QStringLiteral("md5"), QString::fromLatin1(m_md5Prefix)}});
        if (head.cmd != Transfer::SEND_UPDATE_PATCH)
            return fail(QStringLiteral("header cmd"));
        m_clock.start();
        if (m_fileSize == 0)
            return onPackageComplete();
    }
    if (data.isEmpty())
        return;
    const qint64 remaining = qint64(m_fileSize) - m_received;
    if (data.size() > remaining) {
        // Nothing may follow the package on the connection.
        logEvent("update_extra_bytes", {{QStringLiteral("bytes"), qint64(data.size() - remaining)}});
        data.truncate(int(remaining));
    }
    m_hash.addData(data);
    if (!m_package.isEmpty() || !m_options.packagePath.isEmpty())
        m_samePackage = m_samePackage && m_package.mid(int(m_received), data.size()) == data;
    m_received += data.size();
    if (m_fault.kind == SimOptions::UpdateFault::Disconnect && m_received >= m_fault.bytes) {
        logEvent("update_hang_up", {{QStringLiteral("bytes"), m_received}});
        m_socket.abort();
        return fail(QStringLiteral("disconnect"));
    }
    if (m_received == qint64(m_fileSize))
        onPackageComplete();
}

void SimUpdater::onPackageComplete()
{
    const double ms = double(m_clock.nsecsElapsed()) / 1e6;
    const QByteArray md5 = m_hash.result().toHex();
    const bool md5Ok = md5.left(4) == m_md5Prefix;
    QJsonObject fields{{QStringLiteral("bytes"), m_received},
                       {QStringLiteral("md5"), QString::fromLatin1(md5)},
                       {QStringLiteral("md5_ok"), md5Ok},
                       {QStringLiteral("ms"), ms}};
    if (!m_options.packagePath.isEmpty())
        fields.insert(QStringLiteral("package_ok"), m_samePackage);
    logEvent("update_received", fields);
    if (!md5Ok || !m_samePackage)
        return fail(QStringLiteral("check"));
    QTimer::singleShot(m_options.installMs, this, [this] {
        if (m_over)
            return;
        sendMessage(Transfer::UPDATE_PATCH_FINISH);
        finish(true);
        // The device reboots into its new firmware and drops the connection.
        QTimer::singleShot(RebootDelayMs + SplitByteIntervalMs * 2 * Transfer::HeadSize, this, [this] {
            m_socket.disconnectFromHost();
            deleteLater();
        });
    });
}

QByteArray SimUpdater::message(quint32 cmd)
{
    COMM_PACK_HEAD head;
    std::memset(&head, 0, sizeof head);
    head.cmd = cmd;
    return QByteArray(reinterpret_cast<const char *>(&head), int(sizeof head));
}

void SimUpdater::sendMessage(quint32 cmd)
{
    sendBytes(message(cmd));
}

void SimUpdater::sendBytes(const QByteArray &bytes)
{
    if (m_fault.kind != SimOptions::UpdateFault::Split) {
        m_socket.write(bytes);
        m_socket.flush();
        return;
    }
    m_splitQueue += bytes;
    if (!m_splitTimer.isActive())
        m_splitTimer.start();
}

void SimUpdater::writeNextSplitByte()
{
    if (m_splitQueue.isEmpty() || m_socket.state() != QAbstractSocket::ConnectedState) {
        m_splitTimer.stop();
        return;
    }
    m_socket.write(m_splitQueue.left(1));
    m_socket.flush();
    m_splitQueue.remove(0, 1);
}

void SimUpdater::fail(const QString &reason)
{
    if (m_over)
        return;
    logEvent("update_failed", {{QStringLiteral("reason"), reason}, {QStringLiteral("bytes"), m_received}});
    m_socket.abort();
    finish(false);
    deleteLater();
}

void SimUpdater::finish(bool installed)
{
    m_over = true;
    m_restartTimer.stop();
    emit done(m_device, installed);
}

void SimUpdater::logEvent(const char *name, QJsonObject fields)
{
    fields.insert(QStringLiteral("event"), QLatin1String(name));
    fields.insert(QStringLiteral("device"), m_device);
    m_log->write(fields);
}
