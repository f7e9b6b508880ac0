// The update server as devices and strangers reach it during a run that serves
// a three-packet package to one device: connections open, write any bytes,
// close or reset at any moment. The fuzzer plays each script on a run in
// memory (no socket, no waiting: thousands of scripts a second); replay_tcp,
// built with TCP_THROUGH_SOCKETS, plays the corpus through real connections
// to the tool's server in the lab.
// Input: a script of steps, each an operation byte followed by its operands:
//   0 open a connection (at most MaxConnections in one script)
//   1 K N BYTES...  connection K writes the next N bytes
//   2 K             connection K resets (abortive close)
//   3 K             connection K closes politely
//   4 T             T % 16 ms pass; only then do the tool and the
//                   connections take what the other sent

#include <QElapsedTimer>
#include <QTcpSocket>

#include <memory>
#include <vector>

#include <sys/socket.h>

#include "fuzzengine.h"
#include "protocol/connect.h"
#include "support/runrig.h"

namespace {

constexpr size_t MaxConnections = 4;

#ifdef TCP_THROUGH_SOCKETS
// Real connections from the device's address; the event loop runs while time passes.
struct Side
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
    void end(size_t k, bool reset)
    {
        const linger abortive{1, 0};
        if (reset)
            ::setsockopt(int(connections[k]->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        reset ? connections[k]->abort() : connections[k]->disconnectFromHost();
    }
    void pass(int ms)
    {
        QElapsedTimer clock;
        clock.start();
        do
            QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
        while (!clock.hasExpired(ms));
    }
    void endAll() { connections.clear(); }
};
#else
// The rig's connections, -1 for one the server turned away; the rig's clock.
struct Side
{
    QHostAddress device{QStringLiteral("192.168.147.20")};
    RunRig rig{false};
    UpdateRun &run = rig.run;
    std::vector<int> connections;

    void open() { connections.push_back(rig.join(device)); }
    void write(size_t k, const QByteArray &bytes) { rig.send(connections[k], bytes); }
    void end(size_t k, bool reset)
    {
        if (rig.lines.contains(connections[k]))
            rig.lines[connections[k]].end = reset ? RunRig::Line::Reset : RunRig::Line::Closed;
    }
    void pass(int ms) { rig.pass(ms); }
    void endAll()
    {
        for (size_t k = 0; k < connections.size(); ++k)
            end(k, false);
        rig.pass(0);
        rig.lines.clear();
        rig.asked.clear();
        connections.clear();
    }
};
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
        const uint8_t operation = data[at++] % 5;
        if (operation == 0 && side->connections.size() < MaxConnections) {
            side->open();
        } else if (operation == 1) {
            const size_t k = connection(at++);
            const size_t length = at < size ? qMin<size_t>(data[at], size - at - 1) : 0;
            ++at;
            if (k != SIZE_MAX && length)
                side->write(k, QByteArray(reinterpret_cast<const char *>(data + at), int(length)));
            at += length;
        } else if (operation == 2 || operation == 3) {
            if (const size_t k = connection(at); k != SIZE_MAX)
                side->end(k, operation == 2);
            ++at;
        } else if (operation == 4) {
            side->pass(at < size ? data[at] % 16 : 0);
            ++at;
        }
    }
    side->pass(5);
    side->endAll();
    side->pass(5);
    side->run.resetUpdate();
    return 0;
}
