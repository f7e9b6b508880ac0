#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QTemporaryDir>

#include <functional>

#include "simoptions.h"

// devsim on a device host of the current lab (1-based), for tests that run in
// the tool host. Reads $DEVSIM (the binary) and $LAB_SCRIPT (lab.sh); devsim
// logs JSON lines to a temporary file that log() reads.
class DevsimProcess
{
public:
    DevsimProcess() { m_process.setProcessChannelMode(QProcess::ForwardedChannels); }
    ~DevsimProcess();

    // Waits up to 5 s for devsim to be listening.
    bool start(const QStringList &args, int deviceHost = 1);
    // One control line ("silent I", "speak I", ...); waits until devsim has done it.
    bool command(const QString &line);
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

    QList<QJsonObject> log() const;
    // Spins the event loop until done(log()) holds; false on timeout.
    bool waitForLog(const std::function<bool(const QList<QJsonObject> &)> &done, int timeoutMs = 5000);
    QList<QJsonObject> events(const char *name) const;
    // "recv" events, optionally only those on port / with command cmd.
    QList<QJsonObject> received(int port = -1, int cmd = -1) const;
    static QByteArray hex(const QJsonObject &event);

    // What device index answers with before anything changes it, by devsim's own rules.
    QByteArray record(int index) const;
    QString mac(int index) const;
    QString ip(int index) const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    SimOptions m_options;
    // The log grows while a test reads it: only what was added since is parsed.
    mutable QList<QJsonObject> m_events;
    mutable qint64 m_parsed = 0;
};
