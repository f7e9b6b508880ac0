#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <QStringList>

#include <algorithm>
#include <deque>

#include "registry/dev.h"
#include "update/connectsendfile.h"
#include "update/updateclock.h"
#include "update/updaterun.h"
#include "update/updatetransport.h"

// Writes a package of size bytes whose packets all differ at path; returns its bytes.
inline QByteArray writePackage(const QString &path, int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 8192) & 0xff);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != size)
        qFatal("cannot write %s", qPrintable(path));
    return bytes;
}

// An update run whose server and clock are this object: the devices' ends of
// the connections and the passing of time are in the caller's hands, so that
// a test or a fuzz target takes devices through a run in memory, without
// sockets, timers or waits.
class RunRig final : public UpdateTransport, public UpdateClock
{
public:
    // One connection, as the device at its end sees it.
    struct Line
    {
        QHostAddress peer;
        QByteArray sent;      // the device's latest write, for the tool to read
        QByteArray queued;    // written by the tool, not yet taken by the device
        QByteArray taken;     // what it took, when the rig keeps bytes
        qint64 took = 0;
        bool reading = true;
        enum { Open, Closed, Reset } end = Open;   // the device's end; the tool hears of it as time passes
        bool open = true;     // the tool's end
        bool dropped = false; // the tool closes it once its call has returned
    };

    // Without keepBytes what devices take is only counted, as a site of 200 would fill memory.
    explicit RunRig(bool keepBytes = true) : keepBytes(keepBytes) {}

    QStringList asked;        // macs of the update requests sent, in order
    QMap<int, Line> lines;    // by descriptor
    qint64 clockMs = 0;
    qint64 alarm = -1;
    UpdateRun run{{[] { return QHostAddress(QStringLiteral("192.168.147.100")); }, [this](Dev *dev) { asked << dev->mac(); }, [] {}},
                  this, this};

    // count online devices, each with a mac of its own, at 192.168.147.20 + i unless they share sharedIp.
    QList<Dev *> site(int count, const QString &sharedIp = QString())
    {
        QList<Dev *> made;
        for (int i = 0; i < count; ++i) {
            Dev &dev = devs.emplace_back();
            dev.online = 1;
            Wire::writeText(dev.info.mac, QStringLiteral("00:1A:2B:3C:%1").arg(devs.size(), 5, 10, QLatin1Char('0')));
            Wire::writeText(dev.info.ip, sharedIp.isEmpty() ? QStringLiteral("192.168.147.%1").arg(20 + i) : sharedIp);
            made << &dev;
        }
        return made;
    }
    // Starts a run of those devices (an "All Update" of them if all) and lets its package be measured.
    void start(const QString &package, const QList<Dev *> &devices, bool all = false)
    {
        if (all)
            run.startAllUpdate(package, devices);
        else
            run.startUpdate(package, devices);
        measured();
    }
    void measured()
    {
        while (run.isMeasuring())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    // A device connects from peer; -1 when the server turns it away.
    int join(const QHostAddress &peer)
    {
        if (std::count_if(lines.cbegin(), lines.cend(), [&](const Line &line) { return line.open && line.peer == peer; })
            >= run.connectionsAllowedFrom(peer))
            return -1;
        lines[++lastDescriptor].peer = peer;
        run.newConnect(lastDescriptor);
        settle();
        return lastDescriptor;
    }
    void send(int descriptor, const QByteArray &bytes)
    {
        const auto line = lines.find(descriptor);
        if (line == lines.end() || !line->open || line->end != Line::Open)
            return;
        line->sent = bytes;
        run.receiveTcp(descriptor);
        settle();
    }
    // Time passes: the run is woken at each alarm, and after each, every
    // reading device takes its bytes and the tool hears of the connections devices ended.
    void pass(qint64 ms)
    {
        const qint64 until = clockMs + ms;
        for (bool woken = true; woken;) {
            woken = alarm >= 0 && alarm <= until;
            clockMs = woken ? qMax(clockMs, alarm) : until;
            if (woken) {
                // A run that asks for the same moment again and again would keep the tool busy.
                wakesNow = clockMs == wokenAt ? wakesNow + 1 : 0;
                if (wakesNow > 100)
                    qFatal("the run asks to be woken at %lld ms again and again", clockMs);
                wokenAt = clockMs;
                run.wake();
            }
            for (auto it = lines.begin(); it != lines.end(); ++it) {
                if (it->open && it->end != Line::Open) {
                    it->open = false;
                    run.disConnected(it.key());
                } else if (it->open && it->reading && !it->queued.isEmpty()) {
                    it->taken += keepBytes ? it->queued : QByteArray();
                    it->took += std::exchange(it->queued, QByteArray()).size();
                    run.clientWrote(it.key());
                }
            }
            settle();
        }
    }

    bool listenOn(const QHostAddress &) override { return true; }
    QHostAddress peerAddress(int descriptor) const override { return lines.value(descriptor).peer; }
    QByteArray readData(int descriptor) const override { return lines.value(descriptor).sent; }
    bool writeData(int descriptor, const QByteArray &data) override
    {
        const auto line = lines.find(descriptor);
        if (line != lines.end() && line->open && line->end == Line::Reset) {
            line->open = false;
            run.disConnected(descriptor);   // the write found the reset
        }
        if (line == lines.end() || !line->open)
            return false;
        line->queued += data;
        return true;
    }
    qint64 bytesToWrite(int descriptor) const override { return lines.value(descriptor).queued.size(); }
    void keep(int) override {}
    void drop(int descriptor) override
    {
        if (lines.contains(descriptor))
            lines[descriptor].dropped = true;
    }
    qint64 now() const override { return clockMs; }
    void wakeAt(qint64 when) override { alarm = when; }

private:
    // What the event loop does once the run's call has returned: closes what
    // it dropped and delivers its progress.
    void settle()
    {
        for (auto it = lines.begin(); it != lines.end(); ++it) {
            if (it->open && it->dropped) {
                it->open = false;
                run.disConnected(it.key());
            }
        }
        QCoreApplication::sendPostedEvents(&run, Connect_sendFile::EventType);
    }

    bool keepBytes;
    std::deque<Dev> devs;
    int lastDescriptor = 9;
    qint64 wokenAt = -1;
    int wakesNow = 0;   // wakes in a row at wokenAt
};
