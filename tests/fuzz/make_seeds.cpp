// Writes the seed corpora of the fuzz targets from the datagrams and messages
// that devsim sends: make_seeds DIR writes DIR/datagram, DIR/tcp and DIR/text.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>
#include <cstring>

#include "protocol/wire.h"
#include "simdevice.h"
#include "simoptions.h"
#include "update/commpackhead.h"

namespace {

bool write(const QString &dir, const QString &name, const QByteArray &bytes)
{
    QDir().mkpath(dir);
    QFile file(QDir(dir).filePath(name));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray tcpHead(quint32 cmd)
{
    COMM_PACK_HEAD head;
    std::memset(&head, 0, sizeof head);
    head.cmd = cmd;
    return QByteArray(reinterpret_cast<const char *>(&head), int(sizeof head));
}

// fuzz_tcp's input: each read as one length byte and its bytes.
QByteArray reads(const QList<QByteArray> &parts)
{
    QByteArray out;
    for (const QByteArray &part : parts) {
        out += char(part.size());
        out += part;
    }
    return out;
}

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
    const QString text = root + QStringLiteral("/text");
    bool ok = true;

    SimOptions options;
    // Search answers as devsim's devices send them, and the other answers it gives.
    for (int index : {0, 1, 7, 300}) {
        const QByteArray answer = Wire::datagram(Wire::makeHead(Wire::SEARCH_DEVICE, Wire::RecordSize),
                                                 SimDevice::factoryRecord(index, options));
        // Byte 0 of fuzz_datagram's input: port 18153 (odd) or 18155 (even), and the sender.
        ok &= write(datagrams, QStringLiteral("answer-%1").arg(index), char(index % 2 ? 1 : 2) + answer);
        ok &= write(text, QStringLiteral("answer-%1").arg(index), answer);
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

    // The update client's messages: asking for the package, reporting it
    // installed, byte by byte, joined, and with noise.
    const QByteArray get = tcpHead(Transfer::GET_UPDATE_PATCH);
    const QByteArray finish = tcpHead(Transfer::UPDATE_PATCH_FINISH);
    ok &= write(tcp, QStringLiteral("get-patch"), reads({get}));
    ok &= write(tcp, QStringLiteral("finish"), reads({finish}));
    ok &= write(tcp, QStringLiteral("send-patch"), reads({tcpHead(Transfer::SEND_UPDATE_PATCH)}));
    QList<QByteArray> bytes;
    for (char c : get)
        bytes << QByteArray(1, c);
    ok &= write(tcp, QStringLiteral("get-patch-byte-by-byte"), reads(bytes));
    ok &= write(tcp, QStringLiteral("joined-with-tail"), reads({get + finish + get.left(10), get.mid(10)}));
    QByteArray noise(3 * Transfer::HeadSize + 7, '\x5a');
    ok &= write(tcp, QStringLiteral("noise"), reads({noise.left(100), noise.mid(100)}));

    ok &= write(text, QStringLiteral("empty"), QByteArray());
    ok &= write(text, QStringLiteral("head-only"), Wire::datagram(Wire::makeHead(Wire::SEARCH_DEVICE, 0)));
    QByteArray unterminated = full;
    unterminated.replace(Wire::HeadSize + int(offsetof(msg_broadcast_t, mac)), 24, QByteArray(24, 'M'));
    ok &= write(text, QStringLiteral("mac-without-nul"), unterminated);

    if (!ok) {
        std::fprintf(stderr, "make_seeds: cannot write under %s\n", argv[1]);
        return 1;
    }
    return 0;
}
