#include "ipv4input.h"

#include <QStringList>

namespace Ipv4Input {

std::optional<quint32> parse(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    quint32 address = 0;
    for (const QString &part : parts) {
        if (part.isEmpty() || part.size() > 3 || (part.size() > 1 && part.startsWith(QLatin1Char('0'))))
            return std::nullopt;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return std::nullopt;
        }
        const uint value = part.toUInt();
        if (value > 255)
            return std::nullopt;
        address = (address << 8) | value;
    }
    return address;
}

bool isNetmask(quint32 mask)
{
    if (mask == 0 || mask == 0xffffffffu)
        return false;
    const quint32 inverted = ~mask;
    return (inverted & (inverted + 1)) == 0;   // the zeros form one run at the bottom
}

bool isHostAddress(quint32 address, quint32 mask)
{
    const quint32 first = address >> 24;
    if (first == 0 || first == 127 || first >= 224)
        return false;
    const quint32 host = address & ~mask;
    return host != 0 && host != ~mask;
}

bool sameSubnet(quint32 a, quint32 b, quint32 mask)
{
    return (a & mask) == (b & mask);
}

} // namespace Ipv4Input
