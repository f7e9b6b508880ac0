// Writes the seed corpora of the fuzz targets from the datagrams and messages
// that devsim sends: make_seeds DIR writes DIR/datagram and DIR/tcp.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>
#include <cstring>

#include "protocol/wire.h"
#include "simdevice.h"
#include "simoptions.h"
#include "simupdater.h"
#include "update/commpackhead.h"

namespace {

bool write(const QString &dir, const QString &name, const QByteArray &bytes)
{
    QDir().mkpath(dir);
    QFile file(QDir(dir).filePath(name));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// fuzz_tcp's script: the steps of devices and strangers on their connections.
struct TcpScript
{
    QByteArray bytes;

    TcpScript &open() { bytes += char(0); return *this; }
    TcpScript &write(int connection, const QByteArray &data)
    {
        bytes += char(1);
        bytes += char(connection);
        bytes += char(data.size());
        bytes += data;
        return *this;
    }
    TcpScript &reset(int connection) { bytes += char(2); bytes += char(connection); return *this; }
    TcpScript &close(int connection) { bytes += char(3); bytes += char(connection); return *this; }
    TcpScript &wait(int ms) { bytes += char(4); bytes += char(ms); return *this; }
};

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIR\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString datagrams = root + QStringLiteral("/datagram");
    const QString tcp = root + QStringLiteral("/tcp");
    bool ok = true;

    SimOptions options;
    // Search answers as devsim's devices send them, and the other answers it gives.
    for (int index : {0, 1, 7, 300}) {
        const QByteArray answer = Wire::datagram(Wire::makeHead(Wire::SEARCH_DEVICE, Wire::RecordSize),
                                                 SimDevice::factoryRecord(index, options));
        // Byte 0 of fuzz_datagram's input: port 18153 (odd) or 18155 (even), and the sender.
        ok &= write(datagrams, QStringLiteral("answer-%1").arg(index), char(index % 2 ? 1 : 2) + answer);
    }
    const msg_broadcast_t record = SimDevice::factoryRecord(3, options);
    ok &= write(datagrams, QStringLiteral("update-begin"),
                char(1) + Wire::datagram(Wire::makeHead(Wire::UPDATE_BEGIN, Wire::RecordSize), record));
    msg_head_t compress = Wire::makeHead(Wire::CHANGE_COMPRESS_TYPE, Wire::RecordSize);
    compress.result = 1;
    ok &= write(datagrams, QStringLiteral("compress-answer"), char(0) + Wire::datagram(compress, record));
    ok &= write(datagrams, QStringLiteral("unknown-reset"),
                char(1) + Wire::datagram(Wire::makeHead(Wire::RESET_DEVICE, 2 * Wire::RecordSize), record, Wire::RecordSize));
    ok &= write(datagrams, QStringLiteral("unknown-set-network"),
                char(0) + Wire::datagram(Wire::makeHead(Wire::SET_NETWORK, 0)));
    ok &= write(datagrams, QStringLiteral("search-request"), char(1) + Wire::datagram(Wire::makeHead(Wire::SEARCH_DEVICE, 0)));
    const QByteArray full = Wire::datagram(Wire::makeHead(Wire::SEARCH_DEVICE, Wire::RecordSize), record);
    ok &= write(datagrams, QStringLiteral("short-3"), char(1) + full.left(3));
    ok &= write(datagrams, QStringLiteral("short-answer-200"), char(1) + full.left(200));
    QByteArray unterminated = full;   // a mac that fills its field: read up to the width, never past it
    unterminated.replace(Wire::HeadSize + int(offsetof(msg_broadcast_t, mac)), 24, QByteArray(24, 'M'));
    ok &= write(datagrams, QStringLiteral("mac-without-nul"), char(1) + unterminated);

    // The update client's messages: asking for the package, reporting it
    // installed, byte by byte, joined, with noise, and connections that end
    // with a reset at the moments that matter.
    const QByteArray get = SimUpdater::message(Transfer::GET_UPDATE_PATCH);
    const QByteArray finish = SimUpdater::message(Transfer::UPDATE_PATCH_FINISH);
    ok &= write(tcp, QStringLiteral("get-patch"), TcpScript().open().wait(5).write(0, get).wait(15).wait(15).bytes);
    ok &= write(tcp, QStringLiteral("get-then-finish"),
                TcpScript().open().wait(5).write(0, get).wait(15).wait(15).write(0, finish).wait(5).bytes);
    ok &= write(tcp, QStringLiteral("finish-first"), TcpScript().open().wait(5).write(0, finish).write(0, get).wait(15).bytes);
    ok &= write(tcp, QStringLiteral("send-patch"), TcpScript().open().wait(5).write(0, SimUpdater::message(Transfer::SEND_UPDATE_PATCH)).wait(5).bytes);
    TcpScript byteByByte;
    byteByByte.open().wait(5);
    for (char c : get)
        byteByByte.write(0, QByteArray(1, c));
    ok &= write(tcp, QStringLiteral("get-patch-byte-by-byte"), byteByByte.wait(15).bytes);
    ok &= write(tcp, QStringLiteral("joined-with-tail"),
                TcpScript().open().wait(5).write(0, get + finish + get.left(10)).write(0, get.mid(10)).wait(15).bytes);
    ok &= write(tcp, QStringLiteral("noise"), TcpScript().open().wait(5).write(0, QByteArray(3 * Transfer::HeadSize + 7, '\x5a')).wait(5).bytes);
    ok &= write(tcp, QStringLiteral("reset-after-request"), TcpScript().open().wait(5).write(0, get).reset(0).wait(15).bytes);
    ok &= write(tcp, QStringLiteral("reset-after-first-packet"),
                TcpScript().open().open().wait(5).write(0, get).write(1, get).wait(1).reset(0).wait(15).wait(15).bytes);
    ok &= write(tcp, QStringLiteral("close-after-request"), TcpScript().open().wait(5).write(0, get).close(0).wait(15).bytes);
    ok &= write(tcp, QStringLiteral("close-mid-transfer"), TcpScript().open().wait(5).write(0, get).wait(6).close(0).wait(15).bytes);

    if (!ok) {
        std::fprintf(stderr, "make_seeds: cannot write under %s\n", argv[1]);
        return 1;
    }
    return 0;
}
