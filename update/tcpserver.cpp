#include "tcpserver.h"

#include <algorithm>

#include "protocol/adminservice.h"
#include "update/tcpsocket.h"

namespace {

// Out of descriptors, the server pauses accepting; it tries again this much later.
constexpr int AcceptRetryMs = 1000;
constexpr int IdleSweepMs = 1000;
// A host that is turned away and reconnects at once is named once in this time.
constexpr int RefusalLogMs = 10 * 1000;
// Addresses remembered for that; past it, those named long enough ago are forgotten.
constexpr int MaxRefusalsRemembered = 1024;

// The server may listen on IPv4 and IPv6 at once, so IPv4 peers may show as
// mapped addresses (::ffff:192.168.147.11); devices are known by the plain form.
QHostAddress plain(const QHostAddress &address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4) : address;
}

} // namespace

TcpServer::TcpServer(QObject *parent, quint16 port, Admission admission)
    : QTcpServer(parent)
    , m_port(port)
    , m_admission(std::move(admission))
{
    connect(this, &QTcpServer::acceptError, this, &TcpServer::acceptFailed);
    connect(&m_idleSweep, &QTimer::timeout, this, &TcpServer::dropIdle);
    m_idleSweep.setInterval(IdleSweepMs);
}

bool TcpServer::listenOn(const QHostAddress &address)
{
    if (isListening() && serverAddress() == address)
        return true;
    close();
    m_listenOk = !address.isNull() && listen(address, m_port);
    return m_listenOk;
}

bool TcpServer::listenOk() const
{
    return m_listenOk;
}

void TcpServer::incomingConnection(qintptr descriptor)
{
    auto *socket = new TcpSocket(this);
    socket->setSocketDescriptor(descriptor, QAbstractSocket::ConnectedState, QIODevice::ReadWrite);
    // Accepted before it is judged: the system's queue of connections must not
    // fill with hosts nobody waits for.
    const QHostAddress peer = plain(socket->peerAddress());
    if (connectionsFrom(peer) >= m_admission(peer)) {
        logRefusal(peer);
        socket->abort();
        socket->deleteLater();
        return;
    }
    socket->descriptor = int(descriptor);
    socket->connectedFor.start();
    socketList.append(socket);
    if (!m_idleSweep.isActive())
        m_idleSweep.start();
    connect(socket, SIGNAL(receiveDataMsg(int)), this, SLOT(receiveData(int)));
    connect(socket, SIGNAL(clientDisconnectedMsg(int)), this, SLOT(clientDisconnect(int)));
    connect(socket, SIGNAL(bytesWrittenedMsg(int)), this, SLOT(bytesWrittened(int)));
    emit newConnectMsg(int(descriptor));
}

int TcpServer::connectionsFrom(const QHostAddress &peer) const
{
    return int(std::count_if(socketList.cbegin(), socketList.cend(),
                             [&](const TcpSocket *socket) { return plain(socket->peerAddress()) == peer; }));
}

void TcpServer::logRefusal(const QHostAddress &peer)
{
    const QString name = peer.toString();
    auto logged = m_refusalLogged.find(name);
    if (logged != m_refusalLogged.end() && !logged->hasExpired(RefusalLogMs))
        return;
    if (m_refusalLogged.size() >= MaxRefusalsRemembered) {
        for (auto it = m_refusalLogged.begin(); it != m_refusalLogged.end();)
            it = it->hasExpired(RefusalLogMs) ? m_refusalLogged.erase(it) : std::next(it);
        if (m_refusalLogged.size() >= MaxRefusalsRemembered)
            return;   // a flood of addresses: the lines would say nothing more
    }
    m_refusalLogged[name].start();
    AdminService::instance()->debug(QStringLiteral("[E]update server refuses a connection from:") + name, AdminService::Error);
}

TcpSocket *TcpServer::socketFor(int descriptor) const
{
    for (TcpSocket *socket : socketList) {
        if (socket->descriptor == descriptor)
            return socket;
    }
    return nullptr;
}

bool TcpServer::writeData(int descriptor, const QByteArray &data)
{
    TcpSocket *socket = socketFor(descriptor);
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return false;
    socket->write(data);
    socket->flush();   // a reset found here aborts the socket and reports the disconnect at once
    return socket->state() == QAbstractSocket::ConnectedState;
}

QByteArray TcpServer::readData(int descriptor) const
{
    const TcpSocket *socket = socketFor(descriptor);
    return socket ? socket->buffer : QByteArray();
}

qint64 TcpServer::bytesToWrite(int descriptor) const
{
    const TcpSocket *socket = socketFor(descriptor);
    return socket ? socket->bytesToWrite() : 0;
}

QHostAddress TcpServer::peerAddress(int descriptor) const
{
    const TcpSocket *socket = socketFor(descriptor);
    return socket ? plain(socket->peerAddress()) : QHostAddress();
}

void TcpServer::keep(int descriptor)
{
    if (TcpSocket *socket = socketFor(descriptor))
        socket->kept = true;
}

void TcpServer::drop(int descriptor)
{
    if (TcpSocket *socket = socketFor(descriptor))
        QMetaObject::invokeMethod(socket, &QAbstractSocket::abort, Qt::QueuedConnection);
}

void TcpServer::setIdleTimeout(int ms)
{
    m_idleTimeoutMs = ms;
}

void TcpServer::dropIdle()
{
    for (TcpSocket *socket : qAsConst(socketList)) {
        if (!socket->kept && socket->connectedFor.hasExpired(m_idleTimeoutMs))
            drop(socket->descriptor);
    }
}

void TcpServer::acceptFailed(QAbstractSocket::SocketError)
{
    // Out of descriptors, Qt stops accepting for good; a moment later some may be free.
    AdminService::instance()->debug(QStringLiteral("[E]update server cannot accept:") + errorString(), AdminService::Error);
    QTimer::singleShot(AcceptRetryMs, this, &QTcpServer::resumeAccepting);
}

void TcpServer::receiveData(int descriptor)
{
    emit receiveDataMsg(descriptor);
}

void TcpServer::clientDisconnect(int descriptor)
{
    if (TcpSocket *socket = socketFor(descriptor)) {
        socketList.removeOne(socket);
        socket->deleteLater();   // a closed connection is never read again
    }
    if (socketList.isEmpty())
        m_idleSweep.stop();
    emit clientDisconnectMsg(descriptor);
}

void TcpServer::bytesWrittened(int descriptor)
{
    emit bytesWrittenedMsg(descriptor);
}
