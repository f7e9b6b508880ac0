#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QTimer>

#include <utility>

#include "protocol/datagramreader.h"
#include "protocol/localipcache.h"
#include "protocol/networkchange.h"
#include "protocol/wire.h"
#include "registry/dev.h"
#include "update/commpackhead.h"
#include "update/file.h"

class QUdpSocket;
class TcpServer;
class TimeoutItem;

// One device that connected back to the update server.
struct UpdateClient
{
    int descriptor = 0;
    File *file = nullptr;   // the package being sent; null until the device asks for it
    int device = -1;        // its place in the run's device list; -1 for a connection of no run device
    bool waiting = false;   // asked while the run's package was still being measured
    QElapsedTimer paced;    // since its first packet: its packets are due one per 5 ms from then

    // Of no run device any more, it takes nothing more.
    void detach()
    {
        device = -1;
        delete std::exchange(file, nullptr);
    }
};

// A device that the current run updates: only its connections are served the
// package, and only its own signs of life keep its watchdog from failing it.
struct RunDevice
{
    enum State { Queued, Requested, Connected, Sending, Installing, Installed, Failed };
    // Why a device failed, for its row; the numbers that go with each are in updateFailMsg.
    enum Failure { NoConnection, StoppedTaking, DisconnectedAt, NoInstall, PackageUnreadable };

    Dev dev;                // the registry's record as the run began: its request is built from it
    QHostAddress ip;        // the address in its record
    QByteArray mac;
    State state = Queued;
    bool begun = false;     // its answer to the request has been shown
    int descriptor = -1;    // its connection, once it has connected back
    qint64 lastSign = 0;    // on the run's clock, ms

    bool answersAt(const QHostAddress &address) const
    {
        return address.isEqual(ip, QHostAddress::TolerantConversion)
               || address.isEqual(dev.addr, QHostAddress::TolerantConversion);
    }
    bool inFlight() const { return state > Queued && state < Installed; }
};

// The protocol engine: owns the four UDP ports and the TCP update server,
// sends searches and device commands by broadcast, and turns what devices send
// back into signals. Everything runs on the GUI thread but the reading of the
// two answer ports, which a DatagramReader does on a thread of its own.
class Connect final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Connect)

public:
    explicit Connect(QObject *parent = nullptr);
    ~Connect() override;

    static Connect *instance();

    void search();
    // A search that repeats every timeoutInterval until an answer comes or the retry budget is spent.
    void searchWithRetry();
    void setAutoSearch(bool on);
    bool isAutoSearch() const;
    void cleanSearch();
    // The address presented to the devices: the installer's choice while its
    // interface still has it, else the best candidate; null when there is none.
    QHostAddress getLocalIp() const;
    LocalAddress localAddress() const;
    // Walks the interfaces now; the update server follows the presented address.
    QList<LocalAddress> localAddresses();
    void chooseLocalAddress(const LocalAddress &choice);
    void sendToSearchPort(const char *data, int size);
    void sendToCommandPort(const char *data, int size);

    // Device commands; the ones on the selected device do nothing without a selection.
    void changeNet(QString ip, QString mask, QString gateway, QString dns, bool dhcp);
    // Network settings for many devices ("Prepare All Update", a site plan),
    // sent one after another at a pace every device keeps up with, then a search.
    void setAllIp(const QList<NetworkChange> &changes);
    void reset();
    void resetAll();
    void resetFailSearch();
    void changeCompressType(bool h264);
    void sendUpdateRequest(Dev *dev);

    // Request timeouts.
    void addTimeout(int cmd, void (Connect::*callback)());
    bool hasTimeout(int cmd) const;
    void removeTimeout(int cmd);
    void removeTimeout(msg_head_t header);
    int pendingTimeouts() const { return timeoutList.size(); }

    // Firmware update: the selected device, or every online device that has
    // not installed this very package since the tool started, N at a time.
    void startUpdate(QString path);
    // The devices the installer picked in the list, as one run.
    void startUpdateOf(const QString &path, const QList<Dev *> &devices);
    void startAllUpdate(QString path);
    // Runs the devices of the run that failed once more, with the run's package.
    void retryFailedUpdates();
    static constexpr int DefaultUpdatesAtOnce = 4;
    static constexpr int MaxUpdatesAtOnce = 16;
    void setUpdatesAtOnce(int count);
    int updatesAtOnce() const { return updatesAtOnceCount; }

    // Transfer side.
    void initTcpServer();
    void resetUpdate();
    // How long a device of a run may go without a sign of life before it is
    // failed: ms until its package is out, installMs (ms when not given)
    // while it installs it. Tests shorten them.
    void setUpdateTimeout(int ms, int installMs = 0);
    // How long a connection may ask for nothing before it is closed.
    void setUpdateIdleTimeout(int ms);
    bool isUpdating() const { return updating; }
    // The run's package as measured (invalid until then), and the mac of its device i.
    const Package &updatePackage() const { return package; }
    QString updateDeviceMac(int device) const { return QString::fromLatin1(runDevices.value(device).mac); }
    int clientCount() const { return clientList.size(); }

    // One datagram as an answer socket delivered it: every read comes through here.
    void takeDatagram(const QByteArray &datagram, const QHostAddress &sender, bool isBroadCast);
    // Null for an inert second engine.
    DatagramReader *answerReader() const { return answers; }
    // Reads the answer ports by that path from now on; what the old reader held is lost. Benchmarks compare the two.
    void readAnswersBy(DatagramReader::Path path);

    int searchCount() const { return searchNum; }
    int receiveCount() const { return receiveNum; }

    bool event(QEvent *e) override;

signals:
    void sendMsg(int);
    void receiveMsg(QHostAddress, int, msg_broadcast_t, int);
    void sendNetEditMsg();
    void sendStartUpdateMsg(QString);
    void sendUpdateMsg(int, int);
    void sendChangeCompressTypeMsg();
    void sendGetVideoParamMsg();
    void sendResetMsg();
    // The last network change of setAllIp is out.
    void allIpSentMsg();
    // A network-settings message went out, from changeNet or setAllIp.
    void networkChangeMsg(const NetworkChange &change);
    // An encoding change went out to that device.
    void encodingChangeMsg(const QString &mac, bool fromH264, bool toH264);
    void setVideoParamMsg();
    void sendGetHardwareStatusMsg();
    void getSetVideoSuccessMsg(int);
    // Device i of the run (its row i + 1) was asked to update, at that address.
    void updateRequestMsg(int device, QString ip);
    // It reached step 1 to 4: request accepted, connected back, package sent, installed.
    void updateStepMsg(int device, int step);
    // It failed for a RunDevice::Failure; at and of: seconds waited, or packets sent of all.
    void updateFailMsg(int device, int reason, int at, int of);
    // The device on that connection reported its update installed.
    void updateFinishMsg(int descriptor);
    void updateAllFinishMsg(int updated, int failed);
    void cleanListMsg();

public slots:
    void autoSearch();
    void receiveTcp(int descriptor);
    void act(bool isBroadCast, msg_head_t recMsgHead, QByteArray datagram, QHostAddress senderAdr, int port);
    void tcpAct(int descriptor, COMM_PACK_HEAD recMsgHead, QByteArray datagram);
    void timeoutMax(TimeoutItem *item);
    void newConnect(int descriptor);
    void disConnected(int descriptor);
    void sendFile();

private slots:
    void watchUpdates();
    void clientWrote(int descriptor);
    void packageMeasured();
    void takeAnswers();
    void sendNextNetworkChange();
    void answersSettled();

private:
    // A repeat after dropped answers leaves the devices' online state alone.
    void sendSearch(bool ageDevices);
    void sendReset(const msg_broadcast_t &record);
    void resetDevice(const msg_broadcast_t &record);
    UpdateClient *clientOf(int descriptor) const;
    // The run's device that this update-begin answer comes from, not yet shown; -1 for none.
    int beginningDevice(const QHostAddress &sender, const QByteArray &datagram);
    // The run's device waiting for its connection from that address, the one
    // that accepted its request first; -1 for none.
    int connectingDevice(const QHostAddress &peer) const;
    void beginRun(const QString &path, const QList<Dev *> &devices);
    // Asks queued devices until as many as allowed are in flight; ends the run when none is left.
    void fillFlight();
    void touch(int device);
    void failDevice(int device, RunDevice::Failure reason, int at = 0, int of = 0);
    // Names the run's package as it is on disk: another file, or the same one changed, is another package.
    static QString packageKey(const QString &path);
    void preparePackage(const QString &path);
    void serveOnPresentedAddress();
    int connectionsAllowedFrom(const QHostAddress &peer) const;
    void startSendFile(int descriptor);
    void sendPacket(UpdateClient *client);
    void packageSent(const UpdateClient *client);
    // The client has a package under way and room in its socket for the next packet.
    bool hasPacketDue(const UpdateClient *client) const;
    void sendSetNetwork(const NetworkChange &change);
    void sendTo(quint16 port, const char *data, int size);
    // The presented address from the cached interface walk: cheap enough for every datagram.
    LocalAddress presentedCached() const;

    static Connect *s_instance;

    // UDP side
    bool autoSearchOn = false;
    QUdpSocket *sendSocket = nullptr;
    QUdpSocket *addressSocket = nullptr;   // bound to the presented address: sends leave through its interface
    QUdpSocket *commandSocket = nullptr;
    DatagramReader *answers = nullptr;   // ports 18153 (broadcast answers) and 18155 (private answers)
    int droppedAnswers = 0;              // lost since the answers last settled
    int searchRepeatsLeft = 0;           // for the latest search asked for
    QTimer answersQuiet;                 // a burst's answers have stopped coming
    int searchNum = 0;
    int receiveNum = 0;
    int timeoutInterval = 500;
    int timeoutCount = 10;
    QTimer autoSearchTimer;
    QList<TimeoutItem *> timeoutList;
    QList<NetworkChange> networkChanges;   // of setAllIp, not yet sent
    QTimer networkChangeTimer;
    // The own-datagram drop asks for the local address once per datagram.
    mutable LocalIpCache localIp;
    LocalAddress chosenLocal;   // lives for the run of the tool only

    // Transfer side
    TcpServer *tcpServer = nullptr;
    QList<UpdateClient *> clientList;
    QMutex clientMutex;
    QTimer sendTimer;
    qint64 packetTotal = 0;
    qint64 packetSent = 0;
    QString updatePath;
    QList<RunDevice> runDevices;
    int updatesAtOnceCount = DefaultUpdatesAtOnce;
    QElapsedTimer runClock;
    QTimer runWatch;
    // The devices that reported this package installed since the tool
    // started, by mac: a new "All Update" with it passes over them.
    QHash<QByteArray, QString> installedPackage;
    // The package of the latest run, measured once on a worker thread and
    // kept while its file stays the same.
    Package package;
    QFutureWatcher<Package> packageWatcher;
    bool updating = false;
    int updateTimeoutMs = 0;
    int installTimeoutMs = 0;
    // Bytes of a TCP message not yet complete, per connection: devices may
    // split a 44-byte header over several reads or join two in one.
    QHash<int, QByteArray> tcpPending;
};
