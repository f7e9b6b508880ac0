#pragma once

#include <QByteArray>
#include <QHostAddress>

// The update server's connections as a run uses them, each known by the
// descriptor it was accepted with. The server tells the run when a connection
// joined, has bytes, took bytes or is gone; a test stands in for it without sockets.
class UpdateTransport
{
public:
    virtual ~UpdateTransport() = default;

    // Listens on that address only, or nowhere for a null one; connections
    // already accepted stay. False when the address cannot be listened on.
    virtual bool listenOn(const QHostAddress &address) = 0;
    virtual QHostAddress peerAddress(int descriptor) const = 0;
    // The bytes of the connection's latest read.
    virtual QByteArray readData(int descriptor) const = 0;
    // False when the connection is gone, also when this very write found it
    // reset: the connection's disconnect has then already been handed on.
    virtual bool writeData(int descriptor, const QByteArray &data) = 0;
    // Bytes written to that connection that the system has not taken yet.
    virtual qint64 bytesToWrite(int descriptor) const = 0;
    // The connection is a device being served: the idle time-out spares it.
    virtual void keep(int descriptor) = 0;
    // Closes the connection once the current call has returned.
    virtual void drop(int descriptor) = 0;
};
