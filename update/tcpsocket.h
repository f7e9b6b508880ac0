#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QTcpSocket>

// One accepted update connection; keeps the data of its last read and names
// itself by the descriptor it was accepted with, also after it is closed.
class TcpSocket final : public QTcpSocket
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TcpSocket)

public:
    explicit TcpSocket(QObject *parent = nullptr);

    QByteArray buffer;
    int descriptor = 0;
    QElapsedTimer connectedFor;
    bool kept = false;   // a device being served, never closed for idling

signals:
    void receiveDataMsg(int);
    void clientDisconnectedMsg(int);
    void bytesWrittenedMsg(int);

public slots:
    void receiveData();
    void clientDisconnected();
    void bytesWrittened();
};
