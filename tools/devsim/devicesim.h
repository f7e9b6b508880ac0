#pragma once

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <vector>

#include "eventlog.h"
#include "simdevice.h"
#include "simoptions.h"

class QNetworkDatagram;
class QUdpSocket;
class SimStreams;
class SimUpdater;

// The devices and their two listening sockets: devices hear searches and
// network settings on 18152, reset, update and encoding commands on 18154.
// Each command the devices understand has its own handler.
class DeviceSim : public QObject
{
    Q_OBJECT

public:
    DeviceSim(const SimOptions &options, EventLog *log, QObject *parent = nullptr);

    // Binds both ports and logs "ready"; false with a message when a port is taken.
    bool start(QString *error);
    // One line of the control channel ("silent I", "speak I", "mend I": its
    // next update goes without a fault); false when not understood.
    bool control(const QString &line);

private:
    void readPending(QUdpSocket *socket, quint16 port);
    void dispatch(quint16 port, const QNetworkDatagram &datagram);

    void onSearch(quint16 port, const QNetworkDatagram &datagram);
    void onSetNetwork(quint16 port, const QNetworkDatagram &datagram);
    void onReset(quint16 port, const QNetworkDatagram &datagram);
    void onChangeCompress(quint16 port, const QNetworkDatagram &datagram);
    void onUpdateBegin(quint16 port, const QNetworkDatagram &datagram);
    void onUpdateDone(int device, bool installed);
    // The device answers again and logs "restarted".
    void finishRestart(int device);

    void answerSearch(int device, const QHostAddress &sender);
    void logReceived(quint16 port, const QNetworkDatagram &datagram, int device);
    // Reads a command's record, finds the device it names by mac and logs the receipt; -1 for none.
    int takeByMac(quint16 port, const QNetworkDatagram &datagram, msg_broadcast_t &request);
    int findByMac(const QString &mac) const;
    int findByIp(const QString &ip) const;

    SimOptions m_options;
    EventLog *m_log;
    std::vector<SimDevice> m_devices;
    QUdpSocket *m_searchSocket;
    QUdpSocket *m_commandSocket;
    SimStreams *m_streams = nullptr;   // with --streams: each device's RTSP server
    QHash<int, QPointer<SimUpdater>> m_updaters;   // devices in the middle of an update
    QSet<int> m_restartingUntilStreams;   // back once their stream server listens
};
