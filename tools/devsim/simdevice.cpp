#include "simdevice.h"

#include <cstddef>

SimDevice::SimDevice(int index, const SimOptions &options)
    : m_index(index)
    , m_factory(factoryRecord(index, options))
    , m_record(m_factory)
    , m_broadcast(options.reply == SimOptions::Reply::Broadcast
                  || (options.reply == SimOptions::Reply::Mixed && index % 2 == 0))
    , m_silent(options.silent.contains(index))
{
}

quint8 SimDevice::patternByte(int offset, int index)
{
    // Never zero, so an echo that drops or zeroes a byte shows.
    return quint8((offset * 31 + index * 7) % 255 + 1);
}

bool SimDevice::isOpaqueOffset(int offset)
{
    auto in = [offset](std::size_t begin, std::size_t size) {
        return offset >= int(begin) && offset < int(begin + size);
    };
    return in(offsetof(msg_broadcast_t, opaque0), sizeof msg_broadcast_t::opaque0)
        || in(offsetof(msg_broadcast_t, opaque1), sizeof msg_broadcast_t::opaque1)
        || in(offsetof(msg_broadcast_t, opaque2), sizeof msg_broadcast_t::opaque2)
        || in(offsetof(msg_broadcast_t, opaque3), sizeof msg_broadcast_t::opaque3)
        || in(offsetof(msg_broadcast_t, opaque4), sizeof msg_broadcast_t::opaque4);
}

msg_broadcast_t SimDevice::factoryRecord(int index, const SimOptions &options)
{
    msg_broadcast_t record = Wire::emptyRecord();
    auto *bytes = reinterpret_cast<quint8 *>(&record);
    for (int offset = 0; offset < Wire::RecordSize; ++offset) {
        if (isOpaqueOffset(offset))
            bytes[offset] = patternByte(offset, index);
    }
    const QString mac = options.macPrefix
        + QStringLiteral(":%1:%2").arg((index >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
                                  .arg(index & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
    Wire::writeText(record.mac, mac);
    Wire::writeText(record.ip, QHostAddress(options.firstIp + quint32(index)).toString());
    Wire::writeText(record.mask, options.mask);
    Wire::writeText(record.gateway, options.gateway);
    Wire::writeText(record.version, options.version.isEmpty()
                        ? QStringLiteral("V3.2.1.%1").arg(index) : options.version);
    Wire::writeText(record.dns, options.dns);
    record.ipMode = options.ipMode;
    record.dhcp = 0;
    record.h264 = options.h264;
    return record;
}

void SimDevice::setNetwork(const QString &ip, const QString &mask, const QString &gateway, const QString &dns, quint8 dhcp)
{
    Wire::writeText(m_record.ip, ip);
    Wire::writeText(m_record.mask, mask);
    Wire::writeText(m_record.gateway, gateway);
    Wire::writeText(m_record.dns, dns);
    m_record.ipMode = dhcp == 1 ? 0 : 1;
}
