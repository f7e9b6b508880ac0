#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Rows of the device list as text for other programs: tab-separated for the
// clipboard (a spreadsheet pastes it into cells), CSV for the site report.
namespace TableText {

QString tabSeparated(const QList<QStringList> &rows);
// RFC 4180: UTF-8, CRLF line ends, a field quoted when it holds a comma, a quote or a line end.
QByteArray csv(const QList<QStringList> &rows);

} // namespace TableText
