#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>

#include "protocol/wire.h"

class Connect;
struct Dev;

// The devices that have answered, in the order they first answered (index =
// device list row), keyed by their mac text, with online state and selection.
class Devs final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Devs)

public:
    // Far more devices than any site has, yet a flood of spoofed answers, each
    // with a new mac, stops here (about 170 MB with the list's rows) instead of
    // growing until memory runs out.
    static constexpr int MaxDevices = 65536;

    explicit Devs(QObject *parent = nullptr);
    ~Devs() override;

    static Devs *instance();

    QList<Dev *> getDevList() const;
    Dev *getSelected() const;
    // The record with that mac text; null when no device with it has answered.
    Dev *find(const QString &mac) const;
    int getSelectedChannel() const;
    void selectDev(int row);
    void selectChannel(int row, int channel);
    void clear();
    bool isExist(QHostAddress addr, msg_broadcast_t info) const;

signals:
    void loadDevMsg(int);
    void loadVideoMsg(int);
    void loadHardwareStatusMsg(int);
    void selectDevMsg();

public slots:
    void loadDev(QHostAddress sendAddr, int num, msg_broadcast_t searchInfo, int port);
    void updateOnline();

private:
    int indexOf(const msg_broadcast_t &info) const;

    static Devs *s_instance;

    Connect *connect = nullptr;
    QList<Dev *> devList;
    // Row of each record by its mac text: an answer from a site of thousands of
    // devices must not scan them all.
    QHash<QByteArray, int> rowByMac;
    int onlineLife = 1;
    Dev *selected = nullptr;
    int selectedChannel = -1;
};
