#include "tcpsocket.h"

TcpSocket::TcpSocket(QObject *parent)
    : QTcpSocket(parent)
{
    connect(this, SIGNAL(readyRead()), this, SLOT(receiveData()));
    connect(this, SIGNAL(disconnected()), this, SLOT(clientDisconnected()));
    connect(this, SIGNAL(bytesWritten(qint64)), this, SLOT(bytesWrittened()));
}

void TcpSocket::receiveData()
{
    buffer = readAll();
    emit receiveDataMsg(descriptor);
}

void TcpSocket::clientDisconnected()
{
    emit clientDisconnectedMsg(descriptor);
}

void TcpSocket::bytesWrittened()
{
    emit bytesWrittenedMsg(descriptor);
}
