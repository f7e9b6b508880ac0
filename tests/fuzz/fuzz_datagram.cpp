// The UDP datagram dispatch: whatever arrives on the answer ports, of any
// length and code, goes through the engine's dispatch into the registry.
// Input: one byte choosing the port and sender, then the datagram.

#include <cstddef>
#include <cstdint>

#include "fuzzengine.h"
#include "protocol/connect.h"
#include "registry/devs.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzEngine::init(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const bool isBroadCast = data[0] & 1;
    const QHostAddress sender(QStringLiteral("192.168.147.%1").arg(11 + (data[0] >> 1) % 8));
    const QByteArray datagram(reinterpret_cast<const char *>(data + 1), int(size - 1));
    Connect::instance()->takeDatagram(datagram, sender, isBroadCast);
    // Every distinct mac is a new record; keep the registry the size of a site.
    if (Devs::instance()->getDevList().size() > 2000)
        Devs::instance()->clear();
    return 0;
}
