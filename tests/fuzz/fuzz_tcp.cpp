// The update server as devices and strangers reach it during a run that
// serves a three-packet package to one device: connections open, write any
// bytes, close or reset at any moment. The fuzzer plays each script on a run
// in memory (the rig: no socket, no waiting, thousands of scripts a second);
// the suite replays the corpus through real connections to the tool's server
// in the lab (built with TCP_THROUGH_SOCKETS).
// Input: a script of steps, each an operation byte followed by its operands:
//   0 open a connection (at most MaxConnections in one script)
//   1 K N BYTES...  connection K writes the next N bytes
//   2 K             connection K resets (abortive close)
//   3 K             connection K closes politely
//   4 T             T % 16 ms pass; only then do the tool and the
//                   connections take what the other sent

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include <sys/socket.h>

#include "fuzzengine.h"
#include "protocol/connect.h"
#include "support/runrig.h"

namespace {

constexpr size_t MaxConnections = 4;

// Real connections from the device's address, the event loop running while time passes.
struct Sockets
{
    QHostAddress device = Connect::instance()->getLocalIp();
    UpdateRun &run = *UpdateRun::instance();
    std::vector<std::unique_ptr<QTcpSocket>> connections;

    void open()
    {
        connections.push_back(std::make_unique<QTcpSocket>());
        connections.back()->bind(device);
        connections.back()->connectToHost(device, Transfer::ServerPort);
    }
    void write(size_t k, const QByteArray &bytes)
    {
        connections[k]->write(bytes);
        connections[k]->flush();   // on the wire now, so that a reset right after it follows it
    }
    void reset(size_t k)
    {
        const linger abortive{1, 0};
        ::setsockopt(int(connections[k]->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        connections[k]->abort();
    }
    void close(size_t k) { connections[k]->disconnectFromHost(); }
    void pass(int ms)
    {
        QElapsedTimer clock;
        clock.start();
        do
            QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
        while (!clock.hasExpired(ms));
    }
    void end() { connections.clear(); }
};

// The rig's connections; -1 for one the server turned away.
struct Rig
{
    QHostAddress device{QStringLiteral("192.168.147.20")};
    RunRig rig{false};
    UpdateRun &run = rig.run;
    std::vector<int> connections;

    void open() { connections.push_back(rig.join(device)); }
    void write(size_t k, const QByteArray &bytes) { rig.send(connections[k], bytes); }
    void reset(size_t k) { endBy(k, RunRig::Line::Reset); }
    void close(size_t k) { endBy(k, RunRig::Line::Closed); }
    void pass(int ms) { rig.pass(ms); }
    void endBy(size_t k, decltype(RunRig::Line::end) how)
    {
        if (rig.lines.contains(connections[k]))
            rig.lines[connections[k]].end = how;
    }
    void end()
    {
        for (size_t k = 0; k < connections.size(); ++k)
            close(k);
        rig.pass(0);
        rig.lines.clear();
        rig.asked.clear();
        connections.clear();
    }
};

#ifdef TCP_THROUGH_SOCKETS
using Side = Sockets;
#else
using Side = Rig;
#endif
Side *side = nullptr;
Dev device;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
#ifdef TCP_THROUGH_SOCKETS
    FuzzEngine::init(argc, argv);
#else
    FuzzEngine::initApplication(argc, argv);
#endif
    side = new Side;
    device.online = 1;
    Wire::writeText(device.info.mac, QStringLiteral("fuzzed-device"));
    Wire::writeText(device.info.ip, side->device.toString());
    side->run.startUpdate(FuzzEngine::packagePath(), {&device});   // the package is measured once for every script
    while (side->run.isMeasuring())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    side->run.startUpdate(FuzzEngine::packagePath(), {&device});
    // Operand at: a connection opened so far, or none.
    const auto connection = [&](size_t at) { return at < size && !side->connections.empty() ? data[at] % side->connections.size() : SIZE_MAX; };
    size_t at = 0;
    while (at < size) {
        switch (data[at++] % 5) {
        case 0:
            if (side->connections.size() < MaxConnections)
                side->open();
            break;
        case 1: {
            const size_t k = connection(at++);
            const size_t length = at < size ? qMin<size_t>(data[at], size - at - 1) : 0;
            ++at;
            if (k != SIZE_MAX && length)
                side->write(k, QByteArray(reinterpret_cast<const char *>(data + at), int(length)));
            at += length;
            break;
        }
        case 2:
            if (const size_t k = connection(at); k != SIZE_MAX)
                side->reset(k);
            ++at;
            break;
        case 3:
            if (const size_t k = connection(at); k != SIZE_MAX)
                side->close(k);
            ++at;
            break;
        default:
            side->pass(at < size ? data[at] % 16 : 0);
            ++at;
            break;
        }
    }
    side->pass(5);
    side->end();
    side->pass(5);
    side->run.resetUpdate();
    return 0;
}
