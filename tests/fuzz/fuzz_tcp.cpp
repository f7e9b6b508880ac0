// The update server as devices and strangers reach it: real connections on
// loopback open, write any bytes, close or reset at any moment, while a run
// serves a small package to the devices at 127.0.0.1.
// Input: a script of steps, each an operation byte followed by its operands:
//   0 open a connection (at most MaxConnections at once)
//   1 K N BYTES...  connection K writes the next N bytes
//   2 K             connection K resets (abortive close)
//   3 K             connection K closes politely
//   4 T             the event loop runs for T % 16 ms; only then do the
//                   tool and the connections take what the other sent

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include <sys/socket.h>

#include "fuzzengine.h"
#include "protocol/connect.h"
#include "registry/devs.h"
#include "update/commpackhead.h"

namespace {

constexpr int MaxConnections = 4;

QString packagePath()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("package.bin"));
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        out.write(QByteArray(2 * 8192 + 100, '\x42'));   // three packets
        return file;
    }();
    return path;
}

void runEventLoop(int ms)
{
    QElapsedTimer clock;
    clock.start();
    do
        QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
    while (!clock.hasExpired(ms));
}

// A run whose only device is this host at the address the update server listens on.
void startRun(Connect *engine, Devs *devs)
{
    devs->clear();
    msg_broadcast_t record = Wire::emptyRecord();
    Wire::writeText(record.mac, QStringLiteral("fuzzed-device"));
    Wire::writeText(record.ip, engine->getLocalIp().toString());
    emit engine->receiveMsg(engine->getLocalIp(), 1, record, Wire::BroadcastAnswerPort);
    devs->selectDev(0);
    engine->startUpdate(packagePath());
}

void reset(QTcpSocket &socket)
{
    const linger abortive{1, 0};
    ::setsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    socket.abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzEngine::init(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Connect *engine = Connect::instance();
    startRun(engine, Devs::instance());
    std::vector<std::unique_ptr<QTcpSocket>> connections;
    auto connection = [&](size_t at) -> QTcpSocket * {
        return at < size && !connections.empty() ? connections[data[at] % connections.size()].get() : nullptr;
    };
    size_t at = 0;
    while (at < size) {
        const uint8_t operation = data[at++] % 5;
        switch (operation) {
        case 0:
            if (connections.size() < MaxConnections) {
                connections.push_back(std::make_unique<QTcpSocket>());
                connections.back()->bind(engine->getLocalIp());   // from the device's own address
                connections.back()->connectToHost(engine->getLocalIp(), Transfer::ServerPort);
            }
            break;
        case 1: {
            QTcpSocket *socket = connection(at++);
            const size_t length = at < size ? qMin<size_t>(data[at], size - at - 1) : 0;
            ++at;
            if (socket && length) {
                socket->write(reinterpret_cast<const char *>(data + at), qint64(length));
                socket->flush();   // on the wire now, so that a reset right after it follows it
            }
            at += length;
            break;
        }
        case 2:
            if (QTcpSocket *socket = connection(at))
                reset(*socket);
            ++at;
            break;
        case 3:
            if (QTcpSocket *socket = connection(at))
                socket->disconnectFromHost();
            ++at;
            break;
        default:
            runEventLoop(at < size ? data[at] % 16 : 0);
            ++at;
            break;
        }
    }
    runEventLoop(5);
    connections.clear();
    runEventLoop(5);
    engine->resetUpdate();
    return 0;
}
