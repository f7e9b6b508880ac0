#pragma once

#include <QByteArray>
#include <QFutureWatcher>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QTimer>

#include "protocol/localipcache.h"
#include "protocol/wire.h"
#include "update/commpackhead.h"
#include "update/file.h"

class DatagramReader;
class Dev;
class QUdpSocket;
class TcpServer;
class TimeoutItem;

// One online device of "Prepare All Update" and the address it is to get;
// an empty ip when the subnet has no free address left for it.
struct AddressAssignment
{
    Dev *dev = nullptr;
    QString ip;
    bool alreadyThere = false;   // the device holds that address already: nothing is sent
};

// One device that connected back to the update server.
struct UpdateClient
{
    int descriptor = 0;
    File *file = nullptr;   // the package being sent; null until the device asks for it
    bool installed = false; // the device has reported its update installed
    bool waiting = false;   // asked while the run's package was still being measured
};

// A device that the current run asked to update: only its connections are
// served the package, and only its answers count as signs of life.
struct RunDevice
{
    QHostAddress ip;        // the address in its record
    QHostAddress answeredFrom;
    QByteArray mac;
    bool begun = false;     // its answer to the request has been shown

    bool answersAt(const QHostAddress &address) const
    {
        return address.isEqual(ip, QHostAddress::TolerantConversion)
               || address.isEqual(answeredFrom, QHostAddress::TolerantConversion);
    }
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
    QList<LocalAddress> localAddresses() const;
    void chooseLocalAddress(const LocalAddress &choice);
    void sendToSearchPort(const char *data, int size);
    void sendToCommandPort(const char *data, int size);

    // Device commands; the ones on the selected device do nothing without a selection.
    void changeNet(QString ip, QString mask, QString gateway, QString dns, bool dhcp);
    // The addresses "Prepare All Update" gives: 192.168.147.2 onwards in list
    // order, never .1, the tool's own address or an offline device's address.
    QList<AddressAssignment> planAllIp() const;
    void setAllIp();
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

    // Firmware update: one device, or every online device in turn.
    void startUpdate(QString path);
    void startAllUpdate(QString path);

    // Transfer side.
    void initTcpServer();
    void resetUpdate();
    // How long an update run may go without a sign of life from its device
    // before it is given up with updateTimeOutMsg(): ms until the package is
    // out, installMs (ms when not given) while the device installs it.
    void setUpdateTimeout(int ms, int installMs = 0);
    // How long a connection may ask for nothing before it is closed.
    void setUpdateIdleTimeout(int ms);
    bool isUpdating() const { return updating; }
    int clientCount() const { return clientList.size(); }

    // One datagram as an answer socket delivered it: every read comes through here.
    void takeDatagram(const QByteArray &datagram, const QHostAddress &sender, bool isBroadCast);
    // Null for an inert second engine.
    DatagramReader *answerReader() const { return answers; }

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
    void updateErrorMsg();
    void sendResetMsg();
    void setVideoParamMsg();
    void updateTimeOutMsg();
    void sendGetHardwareStatusMsg();
    void getSetVideoSuccessMsg(int);
    void updateBeginMsg();
    void newConnectMsg(int);
    void sendFinishMsg(int);
    void updateFinishMsg(int);
    void updateAllFinishMsg();
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
    void giveUpUpdate();
    void keepUpdateAlive();
    void clientWrote(int descriptor);
    void packageMeasured();
    void takeAnswers();

private:
    void sendReset(const msg_broadcast_t &record);
    void resetDevice(const msg_broadcast_t &record);
    UpdateClient *clientOf(int descriptor) const;
    bool isRunAddress(const QHostAddress &address) const;
    // The run's device that this update-begin answer comes from, not yet shown; null for none.
    RunDevice *beginningDevice(const QHostAddress &sender, const QByteArray &datagram);
    void preparePackage(const QString &path);
    void startSendFile(int descriptor);
    void sendPacket(UpdateClient *client);
    // The client has a package under way and room in its socket for the next packet.
    bool hasPacketDue(const UpdateClient *client) const;
    void chainStep();
    bool waitingForInstall() const;
    void sendSetNetwork(const msg_broadcast_t &target, const QString &ip, const QString &mask, const QString &gateway,
                        const QString &dns, bool dhcp);
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
    int droppedAnswers = 0;              // turned away by a full queue, not yet in the debug window
    int searchNum = 0;
    int receiveNum = 0;
    int timeoutInterval = 500;
    int timeoutCount = 10;
    QTimer autoSearchTimer;
    QList<TimeoutItem *> timeoutList;
    // The own-datagram drop asks for the local address once per datagram.
    mutable LocalIpCache localIp;
    LocalAddress chosenLocal;   // lives for the run of the tool only

    // Transfer side
    TcpServer *tcpServer = nullptr;
    QList<UpdateClient *> clientList;
    QMutex clientMutex;
    QTimer sendTimer;
    int sendIndex = 0;
    qint64 packetTotal = 0;
    qint64 packetSent = 0;
    QString updatePath;
    QList<RunDevice> runDevices;
    // The package of the latest run, measured once on a worker thread and
    // kept while its file stays the same.
    Package package;
    QFutureWatcher<Package> packageWatcher;
    bool updating = false;
    int allUpdateIndex = 0;
    // A single update stands alone: only "All Update" starts a chain.
    bool allUpdate = false;
    QTimer updateWatchdog;
    int updateTimeoutMs = 0;
    int installTimeoutMs = 0;
    // Bytes of a TCP message not yet complete, per connection: devices may
    // split a 44-byte header over several reads or join two in one.
    QHash<int, QByteArray> tcpPending;
};
