#include "tcpserver.h"

#include "update/tcpsocket.h"

TcpServer::TcpServer(QObject *parent, quint16 port)
    : QTcpServer(parent)
{
    m_listenOk = listen(QHostAddress::Any, port);
}

bool TcpServer::listenOk() const
{
    return m_listenOk;
}

void TcpServer::incomingConnection(qintptr descriptor)
{
    auto *socket = new TcpSocket(this);
    socket->setSocketDescriptor(descriptor, QAbstractSocket::ConnectedState, QIODevice::ReadWrite);
    socket->descriptor = int(descriptor);
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

void TcpServer::writeData(int descriptor, const QByteArray &data)
{
    if (TcpSocket *socket = socketFor(descriptor)) {
        socket->write(data);
        socket->flush();
    }
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
    emit clientDisconnectMsg(descriptor);
}

void TcpServer::bytesWrittened(int descriptor)
{
    emit bytesWrittenedMsg(descriptor);
}
