// The update server's side of a connection: reads of any size and content are
// cut into 44-byte messages and dispatched, as the engine does for each read.
// Input: a list of reads, each one length byte followed by that many bytes.

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzzengine.h"
#include "protocol/connect.h"
#include "update/commpackhead.h"
#include "update/tcpmessagebuffer.h"

namespace {

// A connection the engine knows as joined, though no socket stands behind it:
// its writes go nowhere.
constexpr int Descriptor = 100000;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzEngine::init(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Connect *engine = FuzzEngine::engine();
    engine->newConnect(Descriptor);
    QByteArray pending;
    QByteArray stream;
    QByteArray dispatched;
    size_t at = 0;
    while (at < size) {
        const size_t length = qMin<size_t>(data[at], size - at - 1);
        const QByteArray read(reinterpret_cast<const char *>(data + at + 1), int(length));
        at += 1 + length;
        stream += read;

        TcpMessageBuffer buffer(pending);
        buffer.append(read);
        for (const QByteArray &message : buffer.takeMessages()) {
            if (message.size() != TcpMessageBuffer::messageSize())
                std::abort();
            dispatched += message;
            COMM_PACK_HEAD head;
            if (Wire::read(message, 0, head))
                engine->tcpAct(Descriptor, head, message);
        }
        pending = buffer.remainder();
        if (pending.size() >= TcpMessageBuffer::messageSize())
            std::abort();
    }
    // Nothing lost, nothing made up, nothing reordered.
    if (dispatched + pending != stream)
        std::abort();
    engine->disConnected(Descriptor);
    engine->resetUpdate();
    QCoreApplication::removePostedEvents(engine);
    return 0;
}
