#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include "protocol/datagramreader.h"
#include "protocol/localipcache.h"
#include "protocol/networkchange.h"
#include "protocol/wire.h"
#include "registry/dev.h"

class QUdpSocket;
class TimeoutItem;

// The protocol engine: owns the four UDP ports, sends searches and device
// commands by broadcast, and turns what devices send back into signals; a
// fleet update (UpdateRun) asks it for the update requests. Everything runs on
// the GUI thread but the reading of the two answer ports, which a
// DatagramReader does on a thread of its own.
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
    // Walks the interfaces now; presentedAddressMsg tells the update server where to listen.
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
    // Automatic search waits from a device's update request until the run is over.
    void sendUpdateRequest(Dev *dev);
    void updateRunOver();

    // Request timeouts.
    void addTimeout(int cmd, void (Connect::*callback)());
    bool hasTimeout(int cmd) const;
    void removeTimeout(int cmd);
    void removeTimeout(msg_head_t header);
    int pendingTimeouts() const { return timeoutList.size(); }

    // One datagram as an answer socket delivered it: every read comes through here.
    void takeDatagram(const QByteArray &datagram, const QHostAddress &sender, bool isBroadCast);
    // Null for an inert second engine.
    DatagramReader *answerReader() const { return answers; }
    // Reads the answer ports by that path from now on; what the old reader held is lost. Benchmarks compare the two.
    void readAnswersBy(DatagramReader::Path path);

    int searchCount() const { return searchNum; }
    int receiveCount() const { return receiveNum; }

signals:
    void sendMsg(int);
    void receiveMsg(QHostAddress, int, msg_broadcast_t, int);
    void sendNetEditMsg();
    void sendStartUpdateMsg(QString);
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
    // A device answered an update request: its address, and its record's mac when the answer holds one.
    void updateBeginMsg(QHostAddress sender, QByteArray mac);
    // The address presented to the devices, after a walk of the interfaces or the installer's choice.
    void presentedAddressMsg(QHostAddress address);
    void cleanListMsg();

public slots:
    void autoSearch();
    void act(bool isBroadCast, msg_head_t recMsgHead, QByteArray datagram, QHostAddress senderAdr, int port);
    void timeoutMax(TimeoutItem *item);

private slots:
    void takeAnswers();
    void sendNextNetworkChange();
    void answersSettled();

private:
    // A repeat after dropped answers leaves the devices' online state alone.
    void sendSearch(bool ageDevices);
    void sendReset(const msg_broadcast_t &record);
    void resetDevice(const msg_broadcast_t &record);
    void sendSetNetwork(const NetworkChange &change);
    void sendTo(quint16 port, const char *data, int size);
    // The presented address from the cached interface walk: cheap enough for every datagram.
    LocalAddress presentedCached() const;

    static Connect *s_instance;

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
    bool updating = false;
};
