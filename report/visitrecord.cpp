#include "visitrecord.h"

#include <QLocale>

#include "registry/dev.h"

VisitRecord::VisitRecord(Clock clock)
    : m_clock(std::move(clock))
    , m_started(m_clock())
{
}

void VisitRecord::saw(const Dev &dev)
{
    VisitDevice &device = deviceFor(dev.mac());
    device.now = settingsOf(dev);
    device.version = dev.version();
    device.online = dev.online > 0;
    if (!device.seen) {
        device.seen = true;
        device.first = device.now;
        device.firstVersion = device.version;
    }
}

NetSettings VisitRecord::settingsOf(const Dev &dev)
{
    // A device reports DHCP as ipMode 0; the dhcp field is only for requests.
    return {dev.ip(), dev.mask(), dev.gateway(), dev.info.ipMode == 0};
}

QString VisitRecord::fromTo(const QString &before, const QString &after)
{
    return before == after ? after : before + QStringLiteral(" → ") + after;
}

void VisitRecord::setLabel(const QString &mac, const QString &label)
{
    deviceFor(mac).label = label;
}

const VisitDevice *VisitRecord::device(const QString &mac) const
{
    const auto at = m_index.constFind(mac);
    return at == m_index.constEnd() ? nullptr : &m_devices.at(*at);
}

VisitDevice &VisitRecord::deviceFor(const QString &mac)
{
    auto at = m_index.find(mac);
    if (at == m_index.end()) {
        at = m_index.insert(mac, m_devices.size());
        m_devices.append(VisitDevice{});
        m_devices.last().mac = mac;
    }
    return m_devices[*at];
}

void VisitRecord::networkSent(const QString &mac, Source source, const NetSettings &before, const NetSettings &after,
                              const QString &planName)
{
    QString from;
    switch (source) {
    case Source::NetworkConfig:
        from = tr("网络配置");
        break;
    case Source::PrepareAllUpdate:
        from = tr("全升级准备");
        break;
    case Source::SitePlan:
        from = tr("现场计划%1").arg(planName);
        break;
    }
    const auto onOff = [](bool dhcp) { return dhcp ? tr("开") : tr("关"); };
    const QString words = tr("网络设置已发送（%1）：地址%2，掩码%3，网关%4，DHCP %5")
                              .arg(from, fromTo(before.ip, after.ip), fromTo(before.mask, after.mask),
                                   fromTo(before.gateway, after.gateway), fromTo(onOff(before.dhcp), onOff(after.dhcp)));
    add(VisitEntry::Network, mac, words, tr("网络设置"));
}

void VisitRecord::resetSent(const QString &mac)
{
    add(VisitEntry::Reset, mac, tr("已发送复位"), tr("复位"));
}

void VisitRecord::lanResetSent()
{
    add(VisitEntry::LanReset, QString(), tr("已向局域网内所有设备发送复位"), QString());
}

void VisitRecord::repairSearchSent()
{
    add(VisitEntry::RepairSearch, QString(), tr("修复搜索：已向不应答搜索的设备发送复位"), QString());
}

void VisitRecord::encodingSent(const QString &mac, Encoding from, Encoding to)
{
    const auto name = [](Encoding e) { return e == Encoding::H264 ? QStringLiteral("H.264") : QStringLiteral("H.265"); };
    add(VisitEntry::Encoding, mac, tr("编码切换：%1 → %2").arg(name(from), name(to)), tr("编码改为%1").arg(name(to)));
}

void VisitRecord::updateEnded(const QString &mac, const QString &packageName, qint64 size, const QString &md5,
                              const QString &failure)
{
    const bool failed = !failure.isEmpty();
    // Grouped digits read the same in both languages of the tool.
    const QString bytes = QLocale(QLocale::English).toString(size);
    add(VisitEntry::Update, mac,
        tr("固件升级%1（%2字节，MD5 %3）：%4")
            .arg(packageName, bytes, md5, failed ? tr("失败：%1").arg(failure) : tr("已更新")),
        failed ? tr("升级失败") : tr("已更新"), failed);
}

void VisitRecord::answersAt(const QString &mac, const QString &ip)
{
    add(VisitEntry::FollowUp, mac, tr("在%1应答").arg(ip), QString());
}

void VisitRecord::notAnswered(const QString &mac, Since since)
{
    QString words;
    switch (since) {
    case Since::Reset:
        words = tr("自复位后未应答");
        break;
    case Since::Change:
        words = tr("自设置后未应答");
        break;
    case Since::Update:
        words = tr("自升级后未应答");
        break;
    }
    add(VisitEntry::FollowUp, mac, words, QString(), true);
}

void VisitRecord::add(VisitEntry::Kind kind, const QString &mac, const QString &words, const QString &done, bool failed)
{
    m_entries.push_back({m_clock(), kind, mac, words, failed});
    if (m_entries.size() > MaxEntries) {
        m_entries.pop_front();
        ++m_dropped;
    }
    if (!done.isEmpty()) {
        QStringList &list = deviceFor(mac).done;
        if (!list.contains(done))
            list.append(done);
    }
    // Follow-ups only look; everything else changed something on the LAN.
    if (kind != VisitEntry::FollowUp)
        m_unsaved = true;
}
