#include "devsimprocess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTest>

#include "simdevice.h"

DevsimProcess::~DevsimProcess()
{
    m_process.terminate();
    if (!m_process.waitForFinished(3000))
        m_process.kill();
    m_process.waitForFinished(1000);
}

bool DevsimProcess::start(const QStringList &args, int deviceHost)
{
    const QString lab = qEnvironmentVariable("LAB_SCRIPT");
    const QString devsim = qEnvironmentVariable("DEVSIM");
    QString error;
    if (lab.isEmpty() || devsim.isEmpty() || !m_dir.isValid() || !m_options.parse(QStringList{"devsim"} + args, &error)) {
        qWarning("DevsimProcess: %s", qPrintable(error.isEmpty() ? "run under lab.sh run with DEVSIM set" : error));
        return false;
    }
    m_process.start(lab, QStringList{"device", QString::number(deviceHost), "--", devsim} + args
                             + QStringList{"--log", m_dir.filePath("devsim.log")});
    const bool ready = waitForLog([this](const QList<QJsonObject> &) { return !isRunning() || !events("ready").isEmpty(); });
    if (!ready || !isRunning())
        qWarning("DevsimProcess: devsim did not get ready (%s)", qPrintable(m_process.errorString()));
    return ready && isRunning();
}

bool DevsimProcess::command(const QString &line)
{
    // devsim logs each control line once done, under its verb.
    const QByteArray verb = line.section(QLatin1Char(' '), 0, 0).toLatin1();
    const int before = events(verb.constData()).size();
    m_process.write(line.toUtf8() + '\n');
    return waitForLog([&](const QList<QJsonObject> &) { return events(verb.constData()).size() > before; });
}

QList<QJsonObject> DevsimProcess::log() const
{
    QFile file(m_dir.filePath("devsim.log"));
    if (!file.open(QIODevice::ReadOnly) || !file.seek(m_parsed))
        return m_events;
    const QByteArray added = file.readAll();
    // A last line without its newline may still be half written: it waits for the next read.
    const int end = added.lastIndexOf('\n') + 1;
    for (const QByteArray &line : added.left(end).split('\n')) {
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (document.isObject())
            m_events.append(document.object());
    }
    m_parsed += end;
    return m_events;
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
        if (event.value("event") == QLatin1String(name))
            found.append(event);
    }
    return found;
}

QList<QJsonObject> DevsimProcess::received(int port, int cmd) const
{
    QList<QJsonObject> found;
    for (const QJsonObject &event : events("recv")) {
        if ((port < 0 || event.value("port").toInt() == port) && (cmd < 0 || event.value("cmd").toInt() == cmd))
            found.append(event);
    }
    return found;
}

QByteArray DevsimProcess::hex(const QJsonObject &event)
{
    return QByteArray::fromHex(event.value("hex").toString().toLatin1());
}

QByteArray DevsimProcess::record(int index) const
{
    const msg_broadcast_t record = SimDevice::factoryRecord(index, m_options);
    return QByteArray(reinterpret_cast<const char *>(&record), int(sizeof record));
}

QString DevsimProcess::mac(int index) const { return Wire::readText(SimDevice::factoryRecord(index, m_options).mac); }

QString DevsimProcess::ip(int index) const { return Wire::readText(SimDevice::factoryRecord(index, m_options).ip); }
