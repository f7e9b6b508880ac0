#include "tcpserver.h"

#include "protocol/adminservice.h"
#include "update/tcpsocket.h"

namespace {

// Out of descriptors, the server pauses accepting; it tries again this much later.
constexpr int AcceptRetryMs = 1000;
constexpr int IdleSweepMs = 1000;

// The server listens on IPv4 and IPv6 at once, so IPv4 peers show as mapped
// addresses (::ffff:192.168.147.11); devices are known by the plain form.
QHostAddress plain(const QHostAddress &address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4) : address;
}

} // namespace

TcpServer::TcpServer(QObject *parent, quint16 port)
    : QTcpServer(parent)
{
    m_listenOk = listen(QHostAddress::Any, port);
    connect(this, &QTcpServer::acceptError, this, &TcpServer::acceptFailed);
    connect(&m_idleSweep, &QTimer::timeout, this, &TcpServer::dropIdle);
    m_idleSweep.start(IdleSweepMs);
}

bool TcpServer::listenOk() const
{
    return m_listenOk;
}

void TcpServer::incomingConnection(qintptr descriptor)
{
    auto *socket = new TcpSocket(this);
    socket->setSocketDescriptor(descriptor, QAbstractSocket::ConnectedState, QIODevice::ReadWrite);
    if (socketList.size() >= MaxConnections) {
        if (!m_full) {
            m_full = true;
            AdminService::instance()->debug(QStringLiteral("[E]update server full (%1 connections), refusing:").arg(MaxConnections)
                                                + plain(socket->peerAddress()).toString(),
                                            AdminService::Error);
        }
        socket->abort();
        socket->deleteLater();
        return;
    }
    socket->descriptor = int(descriptor);
    socket->connectedFor.start();
    socketList.append(socket);
    connect(socket, SIGNAL(receiveDataMsg(int)), this, SLOT(receiveData(int)));
    connect(socket, SIGNAL(clientDisconnectedMsg(int)), this, SLOT(clientDisconnect(int)));
    connect(socket, SIGNAL(bytesWrittenedMsg(int)), this, SLOT(bytesWrittened(int)));
    emit newConnectMsg(int(descriptor));
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

bool TcpServer::isConnected(int descriptor) const
{
    const TcpSocket *socket = socketFor(descriptor);
    return socket && socket->state() == QAbstractSocket::ConnectedState;
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
    if (socketList.size() < MaxConnections)
        m_full = false;
    emit clientDisconnectMsg(descriptor);
}

void TcpServer::bytesWrittened(int descriptor)
{
    emit bytesWrittenedMsg(descriptor);
}
