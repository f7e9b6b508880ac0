#include "eventlog.h"

#include <QJsonDocument>


EventLog::EventLog()
{
    m_clock.start();
}

bool EventLog::open(const QString &path, QString *error)
{
    const bool ok = path.isEmpty()
        ? m_file.open(1, QIODevice::WriteOnly | QIODevice::Unbuffered)
        : (m_file.setFileName(path), m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered));
    if (!ok)
        *error = m_file.errorString();
    return ok;
}

void EventLog::write(QJsonObject event)
{
    event.insert(QStringLiteral("t"), m_clock.elapsed());
    QByteArray line = QJsonDocument(event).toJson(QJsonDocument::Compact);
    line.append('\n');
    // One write per line, so a reader never sees half an event followed by another.
    m_file.write(line);
    m_file.flush();
}
