// The readers of fixed-width text fields and of records: any bytes, in any
// field, are read up to the first NUL and never past the field or the data.
// Input: the bytes of a datagram of any length.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "protocol/wire.h"
#include "update/commpackhead.h"

namespace {

template<int N>
void checkField(const char (&field)[N])
{
    const QString text = Wire::readText(field);
    const int expected = int(strnlen(field, N));
    if (text.size() != expected)
        std::abort();
    char written[N];
    Wire::writeText(written, text);
    // A text read back from a field is the field itself up to its NUL.
    if (std::memcmp(written, field, size_t(expected)) != 0)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    msg_head_t head;
    const bool hasHead = Wire::read(bytes, 0, head);
    if (hasHead != (size >= sizeof head))
        std::abort();
    msg_broadcast_t record;
    if (Wire::read(bytes, Wire::HeadSize, record)) {
        checkField(record.mac);
        checkField(record.ip);
        checkField(record.mask);
        checkField(record.gateway);
        checkField(record.version);
        checkField(record.dns);
    }
    COMM_PACK_HEAD tcpHead;
    if (Wire::read(bytes, 0, tcpHead) != (size >= sizeof tcpHead))
        std::abort();
    // Reads at every offset, also past the end and before the start.
    quint32 word;
    for (int offset = -2; offset <= int(size) + 2; ++offset) {
        if (Wire::read(bytes, offset, word) != (offset >= 0 && offset + 4 <= int(size)))
            std::abort();
    }
    return 0;
}
