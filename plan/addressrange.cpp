#include "addressrange.h"

#include <QMap>
#include <QSet>

#include <algorithm>

#include "registry/dev.h"
#include "ui/ipv4input.h"

namespace {

// The subnet "Prepare All Update" has always used: devices fresh from the
// factory answer there, so it stays the offer on a computer presented in it.
constexpr quint32 FactoryNetwork = 0xC0A89300;   // 192.168.147.0/24
constexpr quint32 FactoryMask = 0xFFFFFF00;

QString text(quint32 address)
{
    return QHostAddress(address).toString();
}

std::optional<quint32> parsed(const QString &text)
{
    return Ipv4Input::parse(text);
}

} // namespace

int AddressPlan::unassigned() const
{
    return int(std::count_if(assigned.cbegin(), assigned.cend(), [](const PlannedAddress &a) { return a.ip.isEmpty(); }));
}

AddressRange AddressRange::defaultsFor(const QHostAddress &presented, int prefixLength)
{
    bool ipv4 = false;
    const quint32 address = presented.toIPv4Address(&ipv4);
    if (!ipv4 || (address & FactoryMask) == FactoryNetwork)
        return {FactoryNetwork + 2, FactoryMask, FactoryNetwork + 1, FactoryNetwork + 1};
    // An interface that names no prefix, or one with no room for a gateway and
    // two hosts, gets the /24 around the address.
    if (prefixLength < 1 || prefixLength > 30)
        prefixLength = 24;
    const quint32 mask = ~quint32(0) << (32 - prefixLength);
    const quint32 network = address & mask;
    return {network + 2, mask, network + 1, network + 1};
}

std::optional<AddressRange> AddressRange::fromTexts(const Texts &texts, Texts &reasons)
{
    static const char *const missing[FieldCount] = {
        QT_TR_NOOP("请输入起始地址"), QT_TR_NOOP("请输入子网掩码"), QT_TR_NOOP("请输入网关"), QT_TR_NOOP("请输入DNS服务器")};
    std::array<std::optional<quint32>, FieldCount> values;
    for (int field = 0; field < FieldCount; ++field) {
        values[field] = parsed(texts[field]);
        reasons[field] = texts[field].isEmpty() ? tr(missing[field]) : values[field] ? QString() : tr("不是IPv4地址");
    }
    if (values[Mask] && !Ipv4Input::isNetmask(*values[Mask]))
        reasons[Mask] = tr("不是有效的子网掩码");
    if (!reasons[Mask].isEmpty())
        return std::nullopt;
    const quint32 mask = *values[Mask];
    // The subnet's own address and its broadcast address are named, as an
    // installer is most likely to type them.
    const auto hostProblem = [mask](quint32 address) {
        if ((address & ~mask) == 0)
            return tr("是网段的网络地址");
        if ((address & ~mask) == ~mask)
            return tr("是网段的广播地址");
        return Ipv4Input::isHostAddress(address, mask) ? QString() : tr("不是可用的主机地址");
    };
    if (values[First])
        reasons[First] = hostProblem(*values[First]);
    if (values[Gateway]) {
        if (values[First] && !Ipv4Input::sameSubnet(*values[First], *values[Gateway], mask))
            reasons[Gateway] = tr("不在起始地址的网段内");
        else
            reasons[Gateway] = hostProblem(*values[Gateway]);
    }
    // The DNS server may stand anywhere; inside the subnet it must be a host.
    if (values[Dns] && values[First] && Ipv4Input::sameSubnet(*values[First], *values[Dns], mask))
        reasons[Dns] = hostProblem(*values[Dns]);
    for (const QString &reason : reasons) {
        if (!reason.isEmpty())
            return std::nullopt;
    }
    return AddressRange{*values[First], mask, *values[Gateway], *values[Dns]};
}

AddressRange::Texts AddressRange::texts() const
{
    return {text(first), text(mask), text(gateway), text(dns)};
}

AddressPlan AddressRange::plan(const QList<Dev *> &devices, const QList<int> &selectedRows, const QHostAddress &self) const
{
    const QSet<int> selected(selectedRows.cbegin(), selectedRows.cend());
    const auto numbered = [&](int row) { return devices.at(row)->online > 0 && (selected.isEmpty() || selected.contains(row)); };

    // What each address is taken by; the first reason given stays.
    QMap<quint32, QString> taken;
    const auto take = [&](std::optional<quint32> address, const QString &reason) {
        if (address && *address >= first && *address <= lastHost() && !taken.contains(*address))
            taken.insert(*address, reason);
    };
    take(gateway, tr("网关"));
    take(dns, tr("DNS服务器"));
    bool ipv4 = false;
    const quint32 selfAddress = self.toIPv4Address(&ipv4);
    if (ipv4)
        take(selfAddress, tr("本机"));
    for (int row = 0; row < devices.size(); ++row) {
        const Dev *dev = devices.at(row);
        // An offline device keeps its address when it comes back; a device left
        // out of the selection keeps it now.
        if (dev->online < 1)
            take(parsed(dev->ip()), tr("离线设备%1").arg(dev->mac()));
        else if (!numbered(row))
            take(parsed(dev->ip()), tr("未选中的设备%1").arg(dev->mac()));
    }

    AddressPlan plan;
    quint32 host = first;
    for (int row = 0; row < devices.size(); ++row) {
        if (!numbered(row))
            continue;
        for (; host <= lastHost() && taken.contains(host); ++host)
            plan.skipped.append({text(host), taken.value(host)});
        PlannedAddress assignment;
        assignment.dev = devices.at(row);
        if (host <= lastHost()) {
            const Dev *dev = assignment.dev;
            assignment.ip = text(host);
            // The report names DHCP by an ipMode of 0.
            assignment.alreadyThere = parsed(dev->ip()) == host && parsed(dev->mask()) == mask
                                      && parsed(dev->gateway()) == gateway && dev->info.ipMode != 0;
            ++host;
        }
        plan.assigned.append(assignment);
    }
    return plan;
}

QList<NetworkChange> AddressRange::changes(const AddressPlan &plan) const
{
    const Texts settings = texts();
    QList<NetworkChange> list;
    for (const PlannedAddress &planned : plan.assigned) {
        if (!planned.ip.isEmpty() && !planned.alreadyThere)
            list.append({planned.dev->mac(), planned.ip, settings[Mask], settings[Gateway], settings[Dns], false});
    }
    return list;
}
