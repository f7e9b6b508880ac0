#include "portabledatagramreader.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

namespace {

// Datagrams taken from a port per notification: with both ports busy, each
// waits at most this long for the other, and keeps its own order.
constexpr int BatchSize = 32;

} // namespace

PortableDatagramReader::PortableDatagramReader(quint16 broadcastPort, quint16 privatePort, int bufferBytes)
    : m_sockets(new QObject)
{
    m_thread.setObjectName(QStringLiteral("answer reader"));
    m_sockets->moveToThread(&m_thread);
    // Deleted on the reader's thread, with the sockets, as that thread ends.
    connect(&m_thread, &QThread::finished, m_sockets, &QObject::deleteLater);
    m_thread.start();
    // Both ports are bound before the engine can send its first search.
    QMetaObject::invokeMethod(
        m_sockets,
        [=] {
            listen(broadcastPort, true, bufferBytes);
            listen(privatePort, false, bufferBytes);
        },
        Qt::BlockingQueuedConnection);
}

PortableDatagramReader::~PortableDatagramReader()
{
    m_thread.quit();
    m_thread.wait();
}

void PortableDatagramReader::listen(quint16 port, bool isBroadCast, int bufferBytes)
{
    auto *socket = new QUdpSocket(m_sockets);
    if (!socket->bind(QHostAddress(QHostAddress::AnyIPv4), port)) {
        delete socket;   // a port that cannot be bound stays silent
        return;
    }
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, bufferBytes);
    connect(socket, &QUdpSocket::readyRead, socket, [=] { drain(socket, isBroadCast); });
}

// A socket with datagrams still waiting is notified again at the next turn of
// the thread's event loop, after the other port has had its own.
void PortableDatagramReader::drain(QUdpSocket *socket, bool isBroadCast)
{
    QVector<Datagram> batch;
    while (batch.size() < BatchSize && socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        if (!datagram.isValid())
            break;
        batch.append({datagram.data(), datagram.senderAddress(), isBroadCast});
    }
    enqueue(batch, 0);
}
