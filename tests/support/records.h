#pragma once

#include <QByteArray>
#include <QString>

#include "protocol/wire.h"

// Device records and answers made up by tests, apart from devsim's.
namespace TestRecords {

inline msg_broadcast_t record(const QString &mac, const QString &ip = QStringLiteral("192.168.147.30"))
{
    msg_broadcast_t r = Wire::emptyRecord();
    Wire::writeText(r.mac, mac);
    Wire::writeText(r.ip, ip);
    return r;
}

inline QByteArray searchAnswer(const QString &mac, const QString &ip = QStringLiteral("192.168.147.50"))
{
    return Wire::datagram(Wire::makeHead(Wire::SEARCH_DEVICE, Wire::RecordSize), record(mac, ip));
}

// A text field as it travels: the text, then zeros up to the width.
inline QByteArray field(const QString &text, int width)
{
    QByteArray bytes = text.toLatin1();
    bytes.append(QByteArray(width - bytes.size(), '\0'));
    return bytes;
}

} // namespace TestRecords
