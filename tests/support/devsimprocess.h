#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

#include "simoptions.h"

// devsim running on a device host of the current lab, for tests that run in the
// tool host. Reads $DEVSIM (the binary) and $LAB_SCRIPT (lab.sh); devsim logs
// to a temporary file that log() parses.
class DevsimProcess : public QObject
{
    Q_OBJECT

public:
    explicit DevsimProcess(QObject *parent = nullptr);
    ~DevsimProcess() override;

    // Starts devsim with args on device host deviceHost (1-based) and waits up
    // to 5 s for it to be listening.
    bool start(const QStringList &args, int deviceHost = 1);
    // One control line, "silent I" or "speak I"; waits until devsim has done it.
    bool command(const QString &line);
    bool isRunning() const;

    QList<QJsonObject> log() const;
    // Spins the event loop until done(log()) holds; false on timeout.
    bool waitForLog(const std::function<bool(const QList<QJsonObject> &)> &done, int timeoutMs = 5000);
    // The events of that name, in order.
    QList<QJsonObject> events(const char *name) const;
    // "recv" events, optionally only those on port / with command cmd.
    QList<QJsonObject> received(int port = -1, int cmd = -1) const;
    // The bytes of a "recv" event.
    static QByteArray hex(const QJsonObject &event);

    QString logPath() const;

    // What device index answers with before anything changes it, by devsim's own rules.
    QByteArray record(int index) const;
    QString mac(int index) const;
    QString ip(int index) const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    SimOptions m_options;
};
