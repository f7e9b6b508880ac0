#pragma once

#include <QByteArray>
#include <QList>

// Cuts the byte stream of one update connection into whole messages: a device
// may split a message over several reads or join several in one read.
class TcpMessageBuffer
{
public:
    // pending: bytes of an incomplete message kept from earlier reads.
    explicit TcpMessageBuffer(const QByteArray &pending = QByteArray());

    void append(const QByteArray &bytes);
    // The complete messages so far, in order, each exactly messageSize bytes.
    QList<QByteArray> takeMessages();
    // The start of the next message, shorter than messageSize.
    QByteArray remainder() const;

    static int messageSize();

private:
    QByteArray m_bytes;
    int m_taken = 0;   // bytes at the front already handed out
};
