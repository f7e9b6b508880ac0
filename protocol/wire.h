#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QMetaType>
#include <QString>

#include <cstddef>
#include <cstdint>

// The UDP device protocol: a 16-byte header, optionally followed by one 276-byte
// device record. The structs below are the wire layout byte for byte; every
// integer wider than a byte is little-endian on the wire, which is also the
// byte order of every machine this tool is built for (checked below).

namespace Wire {

enum Command : quint16 {
    SEARCH_DEVICE = 0xA851,
    SET_NETWORK = 0xA861,
    RESET_DEVICE = 0xA874,
    UPDATE_BEGIN = 0xA876,
    CHANGE_COMPRESS_TYPE = 0xA783,
};

enum Port : quint16 {
    SearchPort = 18152,    // devices listen for search and network settings
    BroadcastAnswerPort = 18153,
    CommandPort = 18154,   // devices listen for reset, update and encoding change
    PrivateAnswerPort = 18155,
};

constexpr int HeadSize = 16;
constexpr int RecordSize = 276;
constexpr int RecordDatagramSize = HeadSize + RecordSize;      // 292
constexpr int ResetDatagramSize = HeadSize + 2 * RecordSize;    // 568

} // namespace Wire

#pragma pack(push, 1)

struct msg_head_t
{
    quint16 cmd;
    quint16 result;
    quint32 length;
    quint8 reserved[8];
};

struct msg_broadcast_t
{
    quint8 opaque0[36];
    char mac[24];
    char ip[16];
    char mask[16];
    char gateway[16];
    char version[28];
    char dns[16];
    quint8 opaque1[16];
    quint16 ipMode;
    quint8 opaque2[2];
    quint8 dhcp;
    quint8 opaque3[36];
    quint8 h264;
    quint8 opaque4[66];
};

#pragma pack(pop)

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "the wire structs are laid out for a little-endian host");

static_assert(sizeof(msg_head_t) == 16, "msg_head_t is 16 bytes on the wire");
static_assert(offsetof(msg_head_t, cmd) == 0);
static_assert(offsetof(msg_head_t, result) == 2);
static_assert(offsetof(msg_head_t, length) == 4);
static_assert(offsetof(msg_head_t, reserved) == 8);

static_assert(sizeof(msg_broadcast_t) == 276, "msg_broadcast_t is 276 bytes on the wire");
static_assert(offsetof(msg_broadcast_t, mac) == 36);
static_assert(offsetof(msg_broadcast_t, ip) == 60);
static_assert(offsetof(msg_broadcast_t, mask) == 76);
static_assert(offsetof(msg_broadcast_t, gateway) == 92);
static_assert(offsetof(msg_broadcast_t, version) == 108);
static_assert(offsetof(msg_broadcast_t, dns) == 136);
static_assert(offsetof(msg_broadcast_t, opaque1) == 152);
static_assert(offsetof(msg_broadcast_t, ipMode) == 168);
static_assert(offsetof(msg_broadcast_t, opaque2) == 170);
static_assert(offsetof(msg_broadcast_t, dhcp) == 172);
static_assert(offsetof(msg_broadcast_t, opaque3) == 173);
static_assert(offsetof(msg_broadcast_t, h264) == 209);
static_assert(offsetof(msg_broadcast_t, opaque4) == 210);

Q_DECLARE_METATYPE(msg_head_t)
Q_DECLARE_METATYPE(msg_broadcast_t)

namespace Wire {

// Fixed-width text fields: read up to the first NUL and never past the field;
// written NUL-terminated when there is room, zero-padded, cut at the field width.
QString readText(const char *field, int width);
void writeText(char *field, int width, const QString &text);

template<int N>
QString readText(const char (&field)[N]) { return readText(field, N); }
template<int N>
void writeText(char (&field)[N], const QString &text) { writeText(field, N, text); }

// Copies size bytes at offset of data into out; false (out untouched) when the
// data is too short. Every read of received bytes goes through here.
bool readAt(const QByteArray &data, int offset, void *out, int size);

template<typename T>
bool read(const QByteArray &data, int offset, T &out) { return readAt(data, offset, &out, int(sizeof(T))); }

msg_head_t makeHead(quint16 cmd, quint32 length);
msg_broadcast_t emptyRecord();

// Header, then each record, laid out contiguously.
QByteArray datagram(const msg_head_t &head);
QByteArray datagram(const msg_head_t &head, const msg_broadcast_t &record, int trailingZeros = 0);

void registerMetaTypes();

} // namespace Wire
