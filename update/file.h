#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QString>

#include "update/commpackhead.h"

// A package as a run serves it: measured and hashed once for the run, so that
// requests for it cost the event loop nothing however many come.
struct Package
{
    QString path;
    qint64 size = -1;   // -1: the file could not be read whole
    QString md5;        // 32 hex characters
    QDateTime modified; // as the file was when it was measured

    bool isValid() const { return size >= 0; }
};

// The update package as one device's transfer sees it: checked, measured,
// hashed once, then read packet by packet with the file reopened each time,
// so that any number of transfers can read the same package side by side.
class File final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(File)

public:
    enum PackageCheck { PackageOk, EmptyPath, Missing, Unreadable, TooLarge };

    explicit File(QObject *parent = nullptr);

    // Whether path can be sent as a package at all: the transfer header
    // carries its size in 32 bits, so 4 GiB and more cannot be described.
    static PackageCheck check(const QString &path);

    // Reads the whole file once for its size and digest; slow for a large
    // package, so a run does it on a worker thread.
    static Package measure(const QString &path);

    void loadFile(const Package &package);
    bool isLoaded() const { return loaded; }
    void setDescriptor(int value) { descriptor = value; }
    qint64 getPacketCount() const { return packetCount; }
    qint64 getFileSize() const { return fileSize; }
    QString getFileMd5() const { return md5; }
    QByteArray readPacket();
    void nextPacket() { ++packetIndex; }
    qint64 packetsDone() const { return packetIndex; }
    bool isFinished() const { return qint64(packetIndex) >= packetCount; }

signals:
    void fileLoadFail();

private:
    void fail();

    int descriptor = 0;
    bool loaded = true;
    qint64 packetCount = 0;
    qint64 fileSize = 0;
    qint64 packetSize = Transfer::PacketSize;
    qint64 readSize = 0;
    QString md5;
    QFile file;
    qint64 packetIndex = 0;
};
