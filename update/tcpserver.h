#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpServer>

class TcpSocket;

// The update server that devices connect back to; it hands every socket event
// on by the connection's descriptor.
class TcpServer final : public QTcpServer
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TcpServer)

public:
    TcpServer(QObject *parent, quint16 port);

    bool listenOk() const;
    void writeData(int descriptor, const QByteArray &data);
    QByteArray readData(int descriptor) const;
    // Bytes written to that connection that the system has not taken yet.
    qint64 bytesToWrite(int descriptor) const;

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

private:
    TcpSocket *socketFor(int descriptor) const;

    QList<TcpSocket *> socketList;
    bool m_listenOk = false;
};
