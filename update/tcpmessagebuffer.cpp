#include "tcpmessagebuffer.h"

#include "update/commpackhead.h"

TcpMessageBuffer::TcpMessageBuffer(const QByteArray &pending)
    : m_bytes(pending)
{
}

int TcpMessageBuffer::messageSize()
{
    return Transfer::HeadSize;
}

void TcpMessageBuffer::append(const QByteArray &bytes)
{
    m_bytes.append(bytes);
}

QList<QByteArray> TcpMessageBuffer::takeMessages()
{
    QList<QByteArray> messages;
    // An offset rather than removing each message from the front: a read of
    // many joined messages costs its length once, not once per message.
    while (m_bytes.size() - m_taken >= messageSize()) {
        messages.append(m_bytes.mid(m_taken, messageSize()));
        m_taken += messageSize();
    }
    return messages;
}

QByteArray TcpMessageBuffer::remainder() const
{
    return m_bytes.mid(m_taken);
}
