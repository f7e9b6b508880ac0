#pragma once

#include <QSignalSpy>
#include <QStringList>

#include <algorithm>

// The texts of the debug lines a spy on AdminService::debugMsg has caught.
inline QStringList debugLines(const QSignalSpy &log)
{
    QStringList all;
    for (const QList<QVariant> &line : log)
        all << line.at(0).toString();
    return all;
}

// How many of them start with start.
inline int countLines(const QSignalSpy &log, const QString &start)
{
    const QStringList all = debugLines(log);
    return int(std::count_if(all.cbegin(), all.cend(), [&](const QString &line) { return line.startsWith(start); }));
}
