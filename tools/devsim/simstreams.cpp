#include "simstreams.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QProcess>

namespace {

QJsonObject streamEvent(const char *name, int device)
{
    return QJsonObject{{QStringLiteral("event"), QLatin1String(name)}, {QStringLiteral("device"), device}};
}

} // namespace

SimStreams::SimStreams(const SimOptions &options, EventLog *log, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_log(log)
{
    // rtspsim and its clips lie beside devsim, in the build tree as once installed.
    const QDir here(QCoreApplication::applicationDirPath());
    if (m_options.rtspsim.isEmpty())
        m_options.rtspsim = here.filePath(QStringLiteral("rtspsim"));
    if (m_options.clipDir.isEmpty())
        m_options.clipDir = here.filePath(QStringLiteral("clips"));
}

SimStreams::~SimStreams()
{
    const QList<int> devices = m_servers.keys();
    for (int device : devices)
        stop(device);
}

QString SimStreams::clip(const char *name, bool h264) const
{
    return QDir(m_options.clipDir).filePath(QLatin1String(name) + (h264 ? QStringLiteral("-h264.clip") : QStringLiteral("-h265.clip")));
}

// The tool reaches a device's streams at the address in its record, so this
// host must own that address; it goes on the interface of the lab's subnet.
bool SimStreams::ownAddress(const QString &ip)
{
    const QHostAddress address(ip);
    QString interfaceName;
    int prefix = 24;
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        if (interface.flags() & QNetworkInterface::IsLoopBack)
            continue;
        for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
            if (entry.ip() == address)
                return true;
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol && interfaceName.isEmpty()) {
                interfaceName = interface.name();
                prefix = entry.prefixLength();
            }
        }
    }
    if (interfaceName.isEmpty())
        return false;
    const int status = QProcess::execute(QStringLiteral("ip"), {QStringLiteral("addr"), QStringLiteral("add"),
                                                               ip + QLatin1Char('/') + QString::number(prefix),
                                                               QStringLiteral("dev"), interfaceName});
    return status == 0;
}

void SimStreams::start(int device, const QString &ip, quint8 h264)
{
    stop(device);
    QJsonObject started = streamEvent("stream_start", device);
    started.insert(QStringLiteral("ip"), ip);
    started.insert(QStringLiteral("codec"), h264 ? QStringLiteral("h264") : QStringLiteral("h265"));
    if (!ownAddress(ip)) {
        started.insert(QStringLiteral("error"), QStringLiteral("cannot add the address"));
        m_log->write(started);
        return;
    }
    const bool oversize = m_options.streamFault == SimOptions::StreamFault::Oversize;
    QStringList args{QStringLiteral("serve"), QStringLiteral("--address"), ip, QStringLiteral("--port"), QStringLiteral("554"),
                     QStringLiteral("--codec"), h264 ? QStringLiteral("h264") : QStringLiteral("h265"),
                     QStringLiteral("--main"), clip(oversize ? "big" : "main", h264), QStringLiteral("--sub"), clip("sub", h264)};
    static const char *const faults[] = {"none", "stall", "exit", "refuse", "none"};
    args << QStringLiteral("--fault") << QLatin1String(faults[int(m_options.streamFault)])
         << QStringLiteral("--fault-after") << QString::number(m_options.streamFaultAfter);

    auto *server = new QProcess(this);
    server->setProcessChannelMode(QProcess::MergedChannels);
    connect(server, &QProcess::readyRead, this, [this, server, device] {
        while (server->canReadLine()) {
            const QString line = QString::fromUtf8(server->readLine()).trimmed();
            const bool listening = line.startsWith(QLatin1String("listening"));
            QJsonObject event = streamEvent(listening ? "stream_ready" : "stream_output", device);
            event.insert(QStringLiteral("line"), line);
            m_log->write(event);
            if (listening)
                emit ready(device);
        }
    });
    connect(server, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this, [this, server, device](int code) {
        // A server that ends by itself (the exit fault, a crash) is reported;
        // one that stop() ended is not, as it is already gone from the table.
        if (m_servers.value(device) != server)
            return;
        m_servers.remove(device);
        QJsonObject event = streamEvent("stream_exit", device);
        event.insert(QStringLiteral("code"), code);
        m_log->write(event);
        server->deleteLater();
    });
    m_servers.insert(device, server);
    m_log->write(started);
    server->start(m_options.rtspsim, args);
}

void SimStreams::stop(int device)
{
    QProcess *server = m_servers.take(device);
    if (!server)
        return;
    server->kill();
    server->waitForFinished(2000);
    m_log->write(streamEvent("stream_stop", device));
    server->deleteLater();
}
