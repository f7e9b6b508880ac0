#include "wire.h"

#include <cstring>

namespace Wire {

QString readText(const char *field, int width)
{
    const void *nul = std::memchr(field, 0, size_t(width));
    const int length = nul ? int(static_cast<const char *>(nul) - field) : width;
    return QString::fromLatin1(field, length);
}

void writeText(char *field, int width, const QString &text)
{
    const QByteArray latin1 = text.toLatin1();
    const int copied = qMin(int(latin1.size()), width);
    std::memset(field, 0, size_t(width));
    std::memcpy(field, latin1.constData(), size_t(copied));
}

bool readAt(const QByteArray &data, int offset, void *out, int size)
{
    if (offset < 0 || size < 0 || data.size() - offset < size)
        return false;
    std::memcpy(out, data.constData() + offset, size_t(size));
    return true;
}

msg_head_t makeHead(quint16 cmd, quint32 length)
{
    msg_head_t head;
    std::memset(&head, 0, sizeof head);
    head.cmd = cmd;
    head.length = length;
    return head;
}

msg_broadcast_t emptyRecord()
{
    msg_broadcast_t record;
    std::memset(&record, 0, sizeof record);
    return record;
}

QByteArray datagram(const msg_head_t &head)
{
    return QByteArray(reinterpret_cast<const char *>(&head), int(sizeof head));
}

QByteArray datagram(const msg_head_t &head, const msg_broadcast_t &record, int trailingZeros)
{
    QByteArray bytes = datagram(head);
    bytes.append(reinterpret_cast<const char *>(&record), int(sizeof record));
    bytes.append(QByteArray(trailingZeros, '\0'));
    return bytes;
}

void registerMetaTypes()
{
    qRegisterMetaType<msg_head_t>("msg_head_t");
    qRegisterMetaType<msg_broadcast_t>("msg_broadcast_t");
    qRegisterMetaType<QHostAddress>("QHostAddress");
}

} // namespace Wire
