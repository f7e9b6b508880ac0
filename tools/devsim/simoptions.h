#pragma once

#include <QHash>
#include <QHostAddress>
#include <QSet>
#include <QString>
#include <QStringList>

// How devsim's devices are made and how they answer, as given on the command line.
class SimOptions
{
public:
    enum class Reply { Broadcast, Unicast, Mixed };

    // How one device misbehaves during a firmware update.
    struct UpdateFault
    {
        enum Kind { None, Silent, Disconnect, Garbage, Split, Stall, Close };
        Kind kind = None;
        qint64 bytes = 0;       // Disconnect: package bytes taken before hanging up
    };

    int count = 1;
    quint32 firstIp = QHostAddress(QStringLiteral("192.168.147.20")).toIPv4Address();
    QString macPrefix = QStringLiteral("00:1A:2B:3C");
    QString version;            // empty: each device gets its own default
    QString mask = QStringLiteral("255.255.255.0");
    QString gateway = QStringLiteral("192.168.147.1");
    QString dns = QStringLiteral("192.168.147.1");
    quint16 ipMode = 1;         // 1: static address, 0: DHCP
    quint8 h264 = 1;            // 1: H.264, 0: H.265
    Reply reply = Reply::Broadcast;
    int delayMs = 0;            // each answer waits a random 0..delayMs
    QSet<int> silent;
    bool factoryReset = false;
    QString logPath;            // empty: standard output
    // Firmware update client.
    int restartMs = 300;        // silent between accepting an update and connecting back
    int installMs = 300;        // between the last package byte and reporting the update installed
    QString packagePath;        // when set, the received bytes are compared with this file
    QString updateVersion;      // version after an update; empty: the number before the last dot goes up
    QHash<int, UpdateFault> updateFaults;

    // RTSP streams of the devices, served by rtspsim, and the encoding switch.
    enum class StreamFault { None, Stall, Exit, Refuse, Oversize };
    enum class CompressAnswer { Success, Failure, None };
    bool streams = false;
    QString rtspsim;            // empty: rtspsim beside devsim
    QString clipDir;            // empty: clips beside devsim
    StreamFault streamFault = StreamFault::None;
    int streamFaultAfter = 50;  // frames a session sends before a stall or exit fault
    CompressAnswer compressAnswer = CompressAnswer::Success;
    int compressRestartMs = 2000;

    // False with a message in *error when an option is malformed.
    bool parse(const QStringList &arguments, QString *error);
};
