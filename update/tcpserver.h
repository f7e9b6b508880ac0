#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTimer>

class TcpSocket;

// The update server that devices connect back to; it hands every socket event
// on by the connection's descriptor. Any host on the LAN may connect, so it
// holds at most MaxConnections at once and closes those that ask for nothing.
class TcpServer final : public QTcpServer
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TcpServer)

public:
    // A site updates a few devices at a time; more connections than this are
    // a host trying to starve the transfer.
    static constexpr int MaxConnections = 64;
    // A device asks for its package as soon as it has connected.
    static constexpr int DefaultIdleTimeoutMs = 10 * 1000;

    TcpServer(QObject *parent, quint16 port);

    bool listenOk() const;
    // False when the connection is gone, also when this very write found it
    // reset: the connection's disconnect has then already been handed on.
    bool writeData(int descriptor, const QByteArray &data);
    QByteArray readData(int descriptor) const;
    // Bytes written to that connection that the system has not taken yet.
    qint64 bytesToWrite(int descriptor) const;
    QHostAddress peerAddress(int descriptor) const;
    bool isConnected(int descriptor) const;
    // The connection is a device being served: the idle time-out spares it.
    void keep(int descriptor);
    // Closes the connection once the current call has returned.
    void drop(int descriptor);
    void setIdleTimeout(int ms);

signals:
    void newConnectMsg(int);
    void receiveDataMsg(int);
    void clientDisconnectMsg(int);
    void bytesWrittenedMsg(int descriptor);

public slots:
    void receiveData(int descriptor);
    void clientDisconnect(int descriptor);
    void bytesWrittened(int descriptor);

protected:
    void incomingConnection(qintptr descriptor) override;

private slots:
    void dropIdle();
    void acceptFailed(QAbstractSocket::SocketError error);

private:
    TcpSocket *socketFor(int descriptor) const;

    QList<TcpSocket *> socketList;
    bool m_listenOk = false;
    bool m_full = false;   // the limit was reached and said so; quiet until it frees
    int m_idleTimeoutMs = DefaultIdleTimeoutMs;
    QTimer m_idleSweep;
};
