#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QPageSize>
#include <QString>

class ReportPages;
class VisitRecord;

// The record of a visit written as the PDF an installer hands to the customer:
// the visit and this computer, the devices as first seen and as now, every
// action in time order, and the failures again on a page of their own.
class SiteReport final
{
    Q_DECLARE_TR_FUNCTIONS(SiteReport)

public:
    // localAddress and interfaceName: the address this computer presents to the devices.
    SiteReport(const VisitRecord &record, const QString &localAddress, const QString &interfaceName);

    // Letter where the locale measures in US units, A4 elsewhere.
    static QPageSize::PageSizeId paperFor(const QLocale &locale);
    void setPaper(QPageSize::PageSizeId paper) { m_paper = paper; }

    // Writes the whole report to path or leaves no file there; false with the
    // reason in words when it could not.
    bool write(const QString &path, QString *whyNot) const;

    // For the status strip once write() succeeded.
    static QString savedText(const QString &path);

    // "site-report-2026-12-08-1338.pdf"
    static QString defaultFileName(const QDateTime &at);

private:
    // The visit up to end, the time of writing.
    ReportPages pages(const QDateTime &end) const;

    const VisitRecord &m_record;
    QString m_localAddress;
    QString m_interfaceName;
    QPageSize::PageSizeId m_paper = paperFor(QLocale());
};
