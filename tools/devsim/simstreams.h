#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include "eventlog.h"
#include "simoptions.h"

class QProcess;

// The RTSP servers of the simulated devices: one rtspsim per device, listening
// on the device's own address (added to this host) at port 554, serving the
// main and sub stream in the device's encoding.
class SimStreams : public QObject
{
    Q_OBJECT

public:
    SimStreams(const SimOptions &options, EventLog *log, QObject *parent = nullptr);
    ~SimStreams() override;

    // Logs "stream_start", then "stream_ready" once rtspsim listens.
    void start(int device, const QString &ip, quint8 h264);
    // Ends the device's server at once: every open stream drops.
    void stop(int device);

signals:
    // The device's server accepts connections.
    void ready(int device);

private:
    bool ownAddress(const QString &ip);
    QString clip(const char *name, bool h264) const;

    SimOptions m_options;
    EventLog *m_log;
    QHash<int, QProcess *> m_servers;
};
