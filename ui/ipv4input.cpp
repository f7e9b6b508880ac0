#include "ipv4input.h"

namespace Ipv4Input {

std::optional<quint32> parse(const QString &text)
{
    // One pass without splitting: a site plan parses tens of thousands of addresses.
    quint32 address = 0;
    int parts = 0;
    int digits = 0;
    uint value = 0;
    for (int i = 0; i <= text.size(); ++i) {
        const QChar c = i < text.size() ? text.at(i) : QLatin1Char('.');   // the last part ends like the others
        if (c == QLatin1Char('.')) {
            if (digits == 0 || ++parts > 4)
                return std::nullopt;
            address = (address << 8) | value;
            digits = 0;
            value = 0;
        } else if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            if ((digits > 0 && value == 0) || ++digits > 3)
                return std::nullopt;
            value = value * 10 + uint(c.unicode() - '0');
            if (value > 255)
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (parts != 4)
        return std::nullopt;
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
