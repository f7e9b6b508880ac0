#include "devsimprocess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTest>

#include "simdevice.h"

DevsimProcess::DevsimProcess(QObject *parent)
    : QObject(parent)
{
    // devsim's complaints belong in the test's output.
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
}

DevsimProcess::~DevsimProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

QString DevsimProcess::logPath() const
{
    return m_dir.filePath(QStringLiteral("devsim.log"));
}

bool DevsimProcess::start(const QStringList &args, int deviceHost)
{
    const QString lab = qEnvironmentVariable("LAB_SCRIPT");
    const QString devsim = qEnvironmentVariable("DEVSIM");
    if (lab.isEmpty() || devsim.isEmpty() || !m_dir.isValid()) {
        qWarning("DevsimProcess: LAB_SCRIPT and DEVSIM must be set (run under lab.sh run)");
        return false;
    }
    QString error;
    if (!m_options.parse(QStringList{QStringLiteral("devsim")} + args, &error)) {
        qWarning("DevsimProcess: %s", qPrintable(error));
        return false;
    }
    QStringList arguments{QStringLiteral("device"), QString::number(deviceHost), QStringLiteral("--"), devsim};
    arguments << args << QStringLiteral("--log") << logPath();
    m_process.start(lab, arguments);
    if (!m_process.waitForStarted(5000)) {
        qWarning("DevsimProcess: cannot start %s: %s", qPrintable(lab), qPrintable(m_process.errorString()));
        return false;
    }
    const bool ready = waitForLog([this](const QList<QJsonObject> &) {
        return m_process.state() == QProcess::NotRunning || !events("ready").isEmpty();
    }, 5000);
    if (!ready || m_process.state() == QProcess::NotRunning) {
        qWarning("DevsimProcess: devsim did not get ready (exit code %d)", m_process.exitCode());
        return false;
    }
    return true;
}

bool DevsimProcess::command(const QString &line)
{
    // devsim logs each control line once done, under its verb.
    const QByteArray verb = line.section(QLatin1Char(' '), 0, 0).toLatin1();
    const int before = events(verb.constData()).size();
    m_process.write(line.toUtf8() + '\n');
    return waitForLog([&](const QList<QJsonObject> &) { return events(verb.constData()).size() > before; });
}

bool DevsimProcess::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

QList<QJsonObject> DevsimProcess::log() const
{
    QList<QJsonObject> events;
    QFile file(logPath());
    if (!file.open(QIODevice::ReadOnly))
        return events;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        // The last line may still be half written; it does not parse and is skipped.
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (document.isObject())
            events.append(document.object());
    }
    return events;
}

bool DevsimProcess::waitForLog(const std::function<bool(const QList<QJsonObject> &)> &done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done(log())) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}

QList<QJsonObject> DevsimProcess::events(const char *name) const
{
    QList<QJsonObject> found;
    for (const QJsonObject &event : log()) {
        if (event.value(QLatin1String("event")) == QLatin1String(name))
            found.append(event);
    }
    return found;
}

QList<QJsonObject> DevsimProcess::received(int port, int cmd) const
{
    QList<QJsonObject> found;
    for (const QJsonObject &event : events("recv")) {
        if ((port < 0 || event.value(QLatin1String("port")).toInt() == port)
            && (cmd < 0 || event.value(QLatin1String("cmd")).toInt() == cmd))
            found.append(event);
    }
    return found;
}

QByteArray DevsimProcess::hex(const QJsonObject &event)
{
    return QByteArray::fromHex(event.value(QLatin1String("hex")).toString().toLatin1());
}

QByteArray DevsimProcess::record(int index) const
{
    const msg_broadcast_t record = SimDevice::factoryRecord(index, m_options);
    return QByteArray(reinterpret_cast<const char *>(&record), int(sizeof record));
}

QString DevsimProcess::mac(int index) const
{
    return Wire::readText(SimDevice::factoryRecord(index, m_options).mac);
}

QString DevsimProcess::ip(int index) const
{
    return Wire::readText(SimDevice::factoryRecord(index, m_options).ip);
}
