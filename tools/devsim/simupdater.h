#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>

#include "eventlog.h"
#include "simoptions.h"

// One device's side of a firmware update after it has accepted the request:
// connects back to the tool, asks for the package, takes the 44-byte header
// and exactly the announced number of bytes, checks them, "installs" and
// reports the update installed. Faults from the options make it misbehave.
class SimUpdater : public QObject
{
    Q_OBJECT

public:
    SimUpdater(int device, const QHostAddress &tool, const SimOptions &options, EventLog *log, QObject *parent = nullptr);

    // Connects after the restart delay.
    void start();
    int device() const { return m_device; }

    // A device's message to the tool: the command, then zeros to 44 bytes.
    static QByteArray message(quint32 cmd);

signals:
    // The update is over for this device; installed says whether it took.
    void done(int device, bool installed);

private:
    void onConnected();
    void onReadyRead();
    void onPackageComplete();
    void sendMessage(quint32 cmd);
    void sendBytes(const QByteArray &bytes);
    void writeNextSplitByte();
    void fail(const QString &reason);
    void finish(bool installed);
    void logEvent(const char *name, QJsonObject fields = {});

    int m_device;
    QHostAddress m_tool;
    SimOptions m_options;
    SimOptions::UpdateFault m_fault;
    EventLog *m_log;
    QTcpSocket m_socket;
    QTimer m_restartTimer;

    QByteArray m_head;            // the header, while incomplete
    bool m_haveHead = false;
    quint32 m_fileSize = 0;
    QByteArray m_md5Prefix;
    qint64 m_received = 0;
    QCryptographicHash m_hash{QCryptographicHash::Md5};
    QByteArray m_package;         // the expected bytes, when a package file was given
    bool m_samePackage = true;
    QElapsedTimer m_clock;        // from the header to the last byte

    QByteArray m_splitQueue;      // bytes still to go out one at a time
    QTimer m_splitTimer;
    bool m_over = false;
};
