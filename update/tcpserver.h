#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTimer>

#include <functional>

#include "update/updatetransport.h"

class TcpSocket;

// The update server that devices connect back to; it hands every socket event
// on by the connection's descriptor. Any host on the LAN may connect, so its
// owner says how many connections each address may hold (none for a host it
// does not wait for), and connections that ask for nothing are closed.
class TcpServer final : public QTcpServer, public UpdateTransport
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TcpServer)

public:
    // A device asks for its package as soon as it has connected.
    static constexpr int DefaultIdleTimeoutMs = 10 * 1000;
    // How many connections a peer may hold at once; 0 turns it away.
    using Admission = std::function<int(const QHostAddress &peer)>;

    TcpServer(QObject *parent, quint16 port, Admission admission);

    bool listenOn(const QHostAddress &address) override;
    bool listenOk() const;
    bool writeData(int descriptor, const QByteArray &data) override;
    QByteArray readData(int descriptor) const override;
    qint64 bytesToWrite(int descriptor) const override;
    QHostAddress peerAddress(int descriptor) const override;
    void keep(int descriptor) override;
    void drop(int descriptor) override;
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
    int connectionsFrom(const QHostAddress &peer) const;
    // At most one line per address per RefusalLogMs, however often it tries.
    void logRefusal(const QHostAddress &peer);

    QList<TcpSocket *> socketList;
    quint16 m_port;
    Admission m_admission;
    bool m_listenOk = false;
    int m_idleTimeoutMs = DefaultIdleTimeoutMs;
    QTimer m_idleSweep;   // runs only while connections are open
    QHash<QString, QElapsedTimer> m_refusalLogged;
};
