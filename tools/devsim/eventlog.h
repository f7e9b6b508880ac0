#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QString>

// devsim's log: one JSON object per line, written through at once so that a
// test reading the file sees every event that has happened.
class EventLog
{
public:
    EventLog();

    // Empty path: standard output.
    bool open(const QString &path, QString *error);
    // Adds "t", the milliseconds since devsim started.
    void write(QJsonObject event);

private:
    QElapsedTimer m_clock;
    QFile m_file;
};
