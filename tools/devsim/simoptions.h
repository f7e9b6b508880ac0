#pragma once

#include <QHostAddress>
#include <QSet>
#include <QString>
#include <QStringList>

// How devsim's devices are made and how they answer, as given on the command line.
class SimOptions
{
public:
    enum class Reply { Broadcast, Unicast, Mixed };

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

    // False with a message in *error when an option is malformed.
    bool parse(const QStringList &arguments, QString *error);
};
