#pragma once

#include <QMetaType>
#include <QtGlobal>

#include <cstddef>

// Header of every message of the TCP update transfer, both directions.
#pragma pack(push, 1)
struct COMM_PACK_HEAD
{
    quint32 cmd;
    quint32 fileSize;   // low 32 bits of the package size
    char md5[4];        // first four characters of the package's MD5 text
    quint8 reserved[32];
};
#pragma pack(pop)

static_assert(sizeof(COMM_PACK_HEAD) == 44, "COMM_PACK_HEAD is 44 bytes on the wire");
static_assert(offsetof(COMM_PACK_HEAD, cmd) == 0);
static_assert(offsetof(COMM_PACK_HEAD, fileSize) == 4);
static_assert(offsetof(COMM_PACK_HEAD, md5) == 8);
static_assert(offsetof(COMM_PACK_HEAD, reserved) == 12);

Q_DECLARE_METATYPE(COMM_PACK_HEAD)

namespace Transfer {

enum Command : quint32 {
    GET_UPDATE_PATCH = 1,
    SEND_UPDATE_PATCH = 2,
    UPDATE_PATCH_FINISH = 3,
};

constexpr quint16 ServerPort = 8010;
constexpr int HeadSize = int(sizeof(COMM_PACK_HEAD));
constexpr int PacketSize = 8192;

} // namespace Transfer
