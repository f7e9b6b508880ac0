#pragma once

#include <QByteArray>
#include <QString>

#include "protocol/wire.h"

// Device records and answers made up by tests, apart from devsim's.
namespace TestRecords {

// A text field as it travels: the text, then zeros up to the width.
inline QByteArray field(const QString &text, int width)
{
    return text.toLatin1().leftJustified(width, '\0', true);
}

inline msg_broadcast_t record(const QString &mac, const QString &ip = QStringLiteral("192.168.147.30"))
{
    msg_broadcast_t r = Wire::emptyRecord();
    Wire::writeText(r.mac, mac);
    Wire::writeText(r.ip, ip);
    return r;
}

// A search answer written out byte for byte: header, 36 zero bytes, mac, address, zeros.
inline QByteArray searchAnswer(const QString &mac, const QString &ip = QStringLiteral("192.168.147.50"))
{
    return (QByteArray::fromHex("51a80000140100000000000000000000") + QByteArray(36, '\0') + field(mac, 24) + field(ip, 16))
        .leftJustified(292, '\0');
}

} // namespace TestRecords
