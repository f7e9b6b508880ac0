#include "sitereport.h"

#include <QDir>
#include <QPdfWriter>
#include <QSaveFile>

#include "report/reportpages.h"
#include "report/visitrecord.h"

namespace {

const QColor FailedInk(0xb3, 0x26, 0x1e);
const QColor OfflineInk(0x77, 0x77, 0x77);

} // namespace

SiteReport::SiteReport(const VisitRecord &record, const QString &localAddress, const QString &interfaceName)
    : m_record(record)
    , m_localAddress(localAddress)
    , m_interfaceName(interfaceName)
{
}

QPageSize::PageSizeId SiteReport::paperFor(const QLocale &locale)
{
    return locale.measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter : QPageSize::A4;
}

QString SiteReport::defaultFileName(const QDateTime &at)
{
    return at.toString(QStringLiteral("'site-report-'yyyy-MM-dd-HHmm'.pdf'"));
}

bool SiteReport::write(const QString &path, QString *whyNot) const
{
    const auto refuse = [&](const QString &reason) {
        if (whyNot)
            *whyNot = tr("无法写入%1：%2").arg(QDir::toNativeSeparators(path), reason);
        return false;
    };
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return refuse(file.errorString());
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(m_paper));
        writer.setPageOrientation(QPageLayout::Landscape);
        writer.setPageMargins(QMarginsF(12, 12, 12, 10), QPageLayout::Millimeter);
        writer.setTitle(tr("现场报告"));
        writer.setCreator(QStringLiteral("Searcher"));
        const QDateTime end = m_record.now();
        const QString footer = tr("现场报告 %1").arg(end.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
        const auto pageWords = [](int page, int count) { return tr("第%1页，共%2页").arg(page).arg(count); };
        if (!pages(end).print(writer, footer, pageWords)) {
            file.cancelWriting();
            return refuse(tr("无法生成PDF"));
        }
    }
    if (!file.commit())
        return refuse(file.errorString());
    return true;
}

QString SiteReport::savedText(const QString &path)
{
    return tr("现场报告已保存到%1").arg(QDir::toNativeSeparators(path));
}

ReportPages SiteReport::pages(const QDateTime &end) const
{
    const QDateTime start = m_record.started();
    const bool oneDay = start.date() == end.date();
    const QString timeFormat = oneDay ? QStringLiteral("HH:mm:ss") : QStringLiteral("yyyy-MM-dd HH:mm:ss");
    const QString dayFormat = QStringLiteral("yyyy-MM-dd HH:mm");

    int online = 0;
    for (const VisitDevice &device : m_record.devices())
        online += device.online;
    int failures = 0;
    for (const VisitEntry &entry : m_record.entries())
        failures += entry.failed;

    ReportPages pages;
    pages.addTitle(tr("现场报告"));
    pages.addLine(tr("访问时间：%1 至 %2")
                      .arg(start.toString(dayFormat), end.toString(oneDay ? QStringLiteral("HH:mm") : dayFormat)));
    pages.addLine(tr("本机：%1（%2）").arg(m_localAddress, m_interfaceName));
    pages.addLine(tr("发现设备：%1台，其中%2台在线").arg(m_record.devices().size()).arg(online));
    pages.addLine(tr("操作：%1项，失败：%2项").arg(m_record.entries().size()).arg(failures));
    const QString dropped = tr("记录最多保留%1项操作：更早的%2项未列出").arg(VisitRecord::MaxEntries).arg(m_record.dropped());
    if (m_record.dropped() > 0)
        pages.addLine(dropped);
    pages.addLine(tr("“甲 → 乙”：本次首次看到的值 → 现在的值"));

    pages.addHeading(tr("设备（%1台）").arg(m_record.devices().size()));
    QVector<ReportPages::Row> deviceRows;
    for (const VisitDevice &d : m_record.devices()) {
        const QString state = !d.seen ? tr("本次未应答") : d.online ? tr("在线") : tr("离线");
        const auto fromTo = &VisitRecord::fromTo;
        deviceRows.append({{d.label, d.mac, fromTo(d.first.ip, d.now.ip), fromTo(d.first.mask, d.now.mask),
                            fromTo(d.first.gateway, d.now.gateway), fromTo(d.firstVersion, d.version), state,
                            d.done.join(QStringLiteral(", "))},
                           d.online ? QColor(Qt::black) : OfflineInk});
    }
    // Wide enough for "192.168.1.20 → 10.20.5.10" on one line, on Letter too.
    pages.addTable({{tr("标签"), 0.11}, {tr("MAC地址"), 0.115}, {tr("IP地址"), 0.165}, {tr("子网掩码"), 0.095},
                    {tr("网关"), 0.15}, {tr("版本"), 0.11}, {tr("状态"), 0.06}, {tr("本次操作"), 0.195}},
                   deviceRows);

    // Which device an entry is about: its MAC, and the label a plan gave it.
    const auto deviceOf = [&](const VisitEntry &entry) {
        if (entry.mac.isEmpty())
            return tr("局域网内所有设备");
        const VisitDevice *device = m_record.device(entry.mac);
        return device && !device->label.isEmpty() ? entry.mac + QLatin1Char('\n') + device->label : entry.mac;
    };

    pages.addHeading(tr("操作记录（按时间顺序）"));
    if (m_record.dropped() > 0)
        pages.addLine(dropped);
    QVector<ReportPages::Row> actionRows;
    QVector<ReportPages::Row> failureRows;
    for (const VisitEntry &entry : m_record.entries()) {
        const QString time = entry.time.toString(timeFormat);
        actionRows.append({{time, deviceOf(entry), entry.words}, entry.failed ? FailedInk : QColor(Qt::black)});
        if (entry.failed) {
            const VisitDevice *device = m_record.device(entry.mac);
            failureRows.append({{time, deviceOf(entry), device ? device->now.ip : QString(), entry.words}});
        }
    }
    if (actionRows.isEmpty())
        pages.addLine(tr("本次未对设备进行任何操作。"));
    else
        pages.addTable({{tr("时间"), 0.10}, {tr("设备"), 0.16}, {tr("操作"), 0.74}}, actionRows);

    // On a page of their own: what needs a second visit, to hand over apart.
    pages.addHeading(tr("失败及原因（%1项）").arg(failureRows.size()), true);
    if (failureRows.isEmpty())
        pages.addLine(tr("本次没有失败。"));
    else
        pages.addTable({{tr("时间"), 0.10}, {tr("设备"), 0.16}, {tr("IP地址"), 0.12}, {tr("原因"), 0.62}}, failureRows);
    return pages;
}
