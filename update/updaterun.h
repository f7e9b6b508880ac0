#pragma once

#include <QByteArray>
#include <QFutureWatcher>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <functional>

#include "update/commpackhead.h"
#include "update/file.h"
#include "update/rundevice.h"

class UpdateClock;
class UpdateTransport;
struct UpdateClient;

// A fleet update: the devices of a run with their states and watchdogs, N of
// them asked at a time, "Retry failed", the memory of which device installed
// which package, and the package, measured once and paced out to every device
// that connects back. It reads no datagram and owns no socket or timer: the
// engine's requests, the server's connections and the clock are given to it,
// so that a test can take a whole site through it in memory.
class UpdateRun final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateRun)

public:
    // All that a run asks of the protocol engine.
    struct Engine
    {
        // The address devices fetch the package from, the interfaces looked at afresh; null for none.
        std::function<QHostAddress()> presentedAddress;
        // Broadcasts the device's update request; automatic search waits until runOver.
        std::function<void(Dev *)> sendUpdateRequest;
        std::function<void()> runOver;
    };

    static constexpr int DefaultUpdatesAtOnce = 4;
    static constexpr int MaxUpdatesAtOnce = 16;

    UpdateRun(Engine engine, UpdateTransport *transport, UpdateClock *clock, QObject *parent = nullptr);
    ~UpdateRun() override;

    // The tool's run: the protocol engine's requests, the update server on
    // port 8010 of the presented address, the system's clock.
    static UpdateRun *instance();

    // The devices given, as one run of the package at path.
    void startUpdate(const QString &path, const QList<Dev *> &devices);
    // Every online device given that has not installed this very package since the tool started.
    void startAllUpdate(const QString &path, const QList<Dev *> &devices);
    // Runs the devices of the run that failed once more, with the run's package.
    void retryFailedUpdates();
    void setUpdatesAtOnce(int count);
    int updatesAtOnce() const { return updatesAtOnceCount; }
    // How long a device of a run may go without a sign of life before it is
    // failed: ms until its package is out, installMs (ms when not given)
    // while it installs it. Tests shorten them.
    void setUpdateTimeout(int ms, int installMs = 0);
    // Forgets the run, its counts and its clients; the connections stay open.
    void resetUpdate();
    int clientCount() const { return clientList.size(); }
    // The run's package as measured (invalid until then), and the mac of its device i.
    const Package &updatePackage() const { return package; }
    QString updateDeviceMac(int device) const { return QString::fromLatin1(runDevices.value(device).mac); }
    // The run's package is being measured; requests wait for it.
    bool isMeasuring() const { return measuring; }
    // How many connections the update server may hold from that address at once.
    int connectionsAllowedFrom(const QHostAddress &peer) const;

    bool event(QEvent *e) override;

signals:
    void sendUpdateMsg(int, int);
    // Device i of the run (its row i + 1) was asked to update, at that address.
    void updateRequestMsg(int device, QString ip);
    // It reached step 1 to 4: request accepted, connected back, package sent, installed.
    void updateStepMsg(int device, int step);
    // It failed for a RunDevice::Failure; at and of: seconds waited, or packets sent of all.
    void updateFailMsg(int device, int reason, int at, int of);
    // The device on that connection reported its update installed.
    void updateFinishMsg(int descriptor);
    void updateAllFinishMsg(int updated, int failed);

public slots:
    // A device at sender answered an update request; mac is its record's, when the answer holds one.
    void updateBegun(const QHostAddress &sender, const QByteArray &mac);
    // Devices fetch their package from the address the tool presents to them;
    // on any other network (a cafe's Wi-Fi) nothing listens on the port.
    void serveOn(const QHostAddress &address);
    void newConnect(int descriptor);
    void disConnected(int descriptor);
    void receiveTcp(int descriptor);
    void clientWrote(int descriptor);
    // The clock's alarm: packets that are due, devices whose time is up.
    void wake();

private slots:
    void packageMeasured();

private:
    void tcpAct(int descriptor, const COMM_PACK_HEAD &head);
    UpdateClient *clientOf(int descriptor) const;
    // The run's device that this update-begin answer comes from, not yet shown; -1 for none.
    int beginningDevice(const QHostAddress &sender, const QByteArray &mac) const;
    // The run's device waiting for its connection from that address, the one
    // that accepted its request first; -1 for none.
    int connectingDevice(const QHostAddress &peer) const;
    void beginRun(const QString &path, const QList<Dev *> &devices);
    // Asks queued devices until as many as allowed are in flight; ends the run when none is left.
    void fillFlight();
    void touch(int device);
    void failDevice(int device, RunDevice::Failure reason, int at = 0, int of = 0);
    // How long the device may go without a sign of life in its state, ms.
    int silenceAllowed(const RunDevice &device) const;
    void watchUpdates();
    // Names the run's package as it is on disk: another file, or the same one changed, is another package.
    static QString packageKey(const QString &path);
    void preparePackage(const QString &path);
    void startSendFile(int descriptor);
    void sendFile();
    void sendPacket(UpdateClient *client);
    void packageSent(const UpdateClient *client);
    // The client has a package under way and room in its socket for the next packet.
    bool hasPacketDue(const UpdateClient *client) const;
    // Sets the alarm for the next packet due or watchdog to run out; none when the run has nothing to do.
    void rearm();

    static UpdateRun *s_instance;

    Engine engine;
    UpdateTransport *server;
    UpdateClock *clock;
    QList<UpdateClient *> clientList;
    QMutex clientMutex;
    qint64 lastTick = 0;
    qint64 packetTotal = 0;
    qint64 packetSent = 0;
    QString updatePath;
    QList<RunDevice> runDevices;
    int updatesAtOnceCount = DefaultUpdatesAtOnce;
    // The devices that reported this package installed since the tool
    // started, by mac: a new "All Update" with it passes over them.
    QHash<QByteArray, QString> installedPackage;
    // The package of the latest run, measured once on a worker thread and
    // kept while its file stays the same.
    Package package;
    QFutureWatcher<Package> packageWatcher;
    // Until its result is taken: the watcher says its future is over before it hands the result on.
    bool measuring = false;
    bool updating = false;
    int updateTimeoutMs;
    int installTimeoutMs;
    QHostAddress servedOn;
    // Bytes of a TCP message not yet complete, per connection: devices may
    // split a 44-byte header over several reads or join two in one.
    QHash<int, QByteArray> tcpPending;
};
