#pragma once

#include <QThread>

#include "protocol/datagramreader.h"

class QUdpSocket;

// The answer ports read through Qt's sockets, for every system: one socket a
// port, living on the reader's own thread, so that a busy window still leaves
// the ports drained. The system does not say what it dropped.
class PortableDatagramReader final : public DatagramReader
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PortableDatagramReader)

public:
    PortableDatagramReader(quint16 broadcastPort, quint16 privatePort, int bufferBytes);
    ~PortableDatagramReader() override;

private:
    // On the reader's thread.
    void listen(quint16 port, bool isBroadCast, int bufferBytes);
    void drain(QUdpSocket *socket, bool isBroadCast);

    QThread m_thread;
    QObject *m_sockets = nullptr;   // lives on m_thread, the parent of both sockets
};
