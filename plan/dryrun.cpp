#include "dryrun.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <QVector>

#include <algorithm>
#include <optional>

#include "plan/siteplan.h"
#include "registry/dev.h"
#include "ui/ipv4input.h"

namespace {

using State = DryRunRow::State;

std::optional<quint32> parsed(const QString &text)
{
    return Ipv4Input::parse(text);
}

QHash<QString, const Dev *> byMac(const QList<Dev *> &devices, bool onlineOnly)
{
    QHash<QString, const Dev *> found;
    found.reserve(devices.size());
    for (const Dev *dev : devices) {
        if (!onlineOnly || dev->online > 0)
            found.insert(SitePlan::macKey(dev->mac()), dev);
    }
    found.remove(QString());
    return found;
}

State stateOf(PlanLine::Problem problem)
{
    switch (problem) {
    case PlanLine::BadMac: return DryRunRow::InvalidMac;
    case PlanLine::BadDhcp: return DryRunRow::InvalidDhcp;
    case PlanLine::BadAddress: return DryRunRow::InvalidAddress;
    case PlanLine::BadMask: return DryRunRow::InvalidMask;
    case PlanLine::BadGateway: return DryRunRow::InvalidGateway;
    case PlanLine::BadDns: return DryRunRow::InvalidDns;
    case PlanLine::NoAddress: return DryRunRow::NoAddress;
    case PlanLine::NoProblem: break;
    }
    return DryRunRow::WillChange;
}

// Marks every row whose key stands on more than one line, each naming
// another line with the same key; rows without a key take no part.
template<typename Key>
void markTwice(QList<DryRunRow> &rows, const QVector<std::optional<Key>> &keys, State state)
{
    QHash<Key, int> first;
    first.reserve(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        if (!keys.at(i))
            continue;
        const auto seen = first.constFind(*keys.at(i));
        if (seen == first.cend()) {
            first.insert(*keys.at(i), i);
            continue;
        }
        DryRunRow &earlier = rows[*seen];
        earlier.state = state;
        if (earlier.otherLine == 0)
            earlier.otherLine = rows.at(i).line;
        rows[i].state = state;
        rows[i].otherLine = earlier.line;
    }
}

bool isDecided(const DryRunRow &row)
{
    return row.state != DryRunRow::WillChange;
}

} // namespace

QList<DryRunRow> DryRun::rows(const QList<PlanLine> &lines, const QList<Dev *> &devices, const QHostAddress &self)
{
    const QHash<QString, const Dev *> known = byMac(devices, false);
    QList<DryRunRow> rows;
    rows.reserve(lines.size());
    QVector<const Dev *> deviceOf;
    deviceOf.reserve(lines.size());
    QVector<QString> macKeys;
    macKeys.reserve(lines.size());
    for (const PlanLine &line : lines) {
        DryRunRow row;
        row.line = line.line;
        row.label = line.label;
        row.mac = line.mac;
        macKeys.append(SitePlan::macKey(line.mac));
        const Dev *dev = known.value(macKeys.last());
        if (dev) {
            row.mac = dev->mac();
            row.currentIp = dev->ip();
            row.currentMask = dev->mask();
            row.currentGateway = dev->gateway();
        }
        const auto planned = [dev](const QString &given, QString (Dev::*current)() const) {
            return given.isEmpty() && dev ? (dev->*current)() : given;
        };
        row.ip = planned(line.ip, &Dev::ip);
        row.mask = planned(line.mask, &Dev::mask);
        row.gateway = planned(line.gateway, &Dev::gateway);
        row.dns = planned(line.dns, &Dev::dns);
        row.dhcp = line.dhcp.value_or(false);
        row.state = stateOf(line.problem);
        // A device that reports a mask no device can take gets it only from the plan.
        if (!isDecided(row) && !row.dhcp && !row.mask.isEmpty()) {
            const std::optional<quint32> mask = parsed(row.mask);
            if (!mask || !Ipv4Input::isNetmask(*mask))
                row.state = DryRunRow::InvalidMask;
            else if (!Ipv4Input::isHostAddress(*parsed(row.ip), *mask))
                row.state = DryRunRow::InvalidAddress;
        }
        rows.append(row);
        deviceOf.append(dev);
    }

    QVector<std::optional<QString>> sameMac(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        if (!isDecided(rows.at(i)))
            sameMac[i] = macKeys.at(i);
    }
    markTwice(rows, sameMac, DryRunRow::SameMacTwice);
    QVector<std::optional<quint32>> sameAddress(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        if (!isDecided(rows.at(i)) && !rows.at(i).dhcp)
            sameAddress[i] = parsed(rows.at(i).ip);
    }
    markTwice(rows, sameAddress, DryRunRow::SameAddressTwice);

    // A device online at a planned address is a clash unless the plan itself
    // gives that device another address.
    QHash<quint32, const Dev *> onlineAt;
    for (const Dev *dev : devices) {
        const std::optional<quint32> address = parsed(dev->ip());
        if (dev->online > 0 && address && !onlineAt.contains(*address))
            onlineAt.insert(*address, dev);
    }
    QSet<const Dev *> moving;
    for (int i = 0; i < rows.size(); ++i) {
        if (!isDecided(rows.at(i)) && deviceOf.at(i) && (rows.at(i).dhcp || rows.at(i).ip != rows.at(i).currentIp))
            moving.insert(deviceOf.at(i));
    }
    bool ipv4 = false;
    const quint32 selfAddress = self.toIPv4Address(&ipv4);
    for (int i = 0; i < rows.size(); ++i) {
        DryRunRow &row = rows[i];
        const Dev *dev = deviceOf.at(i);
        if (isDecided(row))
            continue;
        if (!dev) {
            row.state = DryRunRow::NotFound;
            continue;
        }
        if (dev->online < 1) {
            row.state = DryRunRow::Offline;
            continue;
        }
        const std::optional<quint32> address = row.dhcp ? std::nullopt : parsed(row.ip);
        const Dev *occupant = address ? onlineAt.value(*address) : nullptr;
        if (address && ipv4 && *address == selfAddress) {
            row.state = DryRunRow::ClashesWithComputer;
        } else if (occupant && occupant != dev && !moving.contains(occupant)) {
            row.state = DryRunRow::ClashesWithDevice;
            row.clashMac = occupant->mac();
        } else if (row.dhcp ? dev->info.ipMode == 0
                            // A line that names no DHCP leaves a device on DHCP that holds
                            // the address as it is: an exported list changes nothing.
                            : parsed(row.ip) == parsed(row.currentIp) && parsed(row.mask) == parsed(row.currentMask)
                                  && parsed(row.gateway) == parsed(row.currentGateway)
                                  && parsed(row.dns) == parsed(dev->dns())
                                  && !(lines.at(i).dhcp.has_value() && dev->info.ipMode == 0)) {
            row.state = DryRunRow::AlreadySo;
        }
    }
    return rows;
}

int DryRun::changes(const QList<DryRunRow> &rows)
{
    return int(std::count_if(rows.cbegin(), rows.cend(), [](const DryRunRow &row) { return row.state == DryRunRow::WillChange; }));
}

QList<NetworkChange> DryRun::networkChanges(const QList<DryRunRow> &rows)
{
    QList<NetworkChange> list;
    for (const DryRunRow &row : rows) {
        if (row.state == DryRunRow::WillChange)
            list.append({row.mac, row.ip, row.mask, row.gateway, row.dns, row.dhcp});
    }
    return list;
}

void DryRun::followUp(QList<DryRunRow> &rows, const QList<Dev *> &devices, bool lastSearch)
{
    const QHash<QString, const Dev *> online = byMac(devices, true);
    for (DryRunRow &row : rows) {
        if (row.state != DryRunRow::WillChange)
            continue;
        const Dev *dev = online.value(SitePlan::macKey(row.mac));
        if (dev && (row.dhcp || parsed(dev->ip()) == parsed(row.ip))) {
            row.state = DryRunRow::Answers;
            row.answeredAt = dev->ip();
        } else if (lastSearch) {
            row.state = DryRunRow::NotAnswered;
        }
    }
}

QString DryRun::plannedIpText(const DryRunRow &row)
{
    return row.dhcp ? QStringLiteral("DHCP") : row.ip;
}

QString DryRun::stateText(const DryRunRow &row)
{
    const QString line = QString::number(row.line);
    const QString lines = QString::number(qMin(row.line, row.otherLine));
    const QString otherLines = QString::number(qMax(row.line, row.otherLine));
    switch (row.state) {
    case DryRunRow::WillChange: return tr("将更改");
    case DryRunRow::AlreadySo: return tr("已是如此");
    case DryRunRow::NotFound: return tr("不在此网络上");
    case DryRunRow::Offline: return tr("离线");
    case DryRunRow::ClashesWithDevice: return tr("与%1冲突（在线于该地址）").arg(row.clashMac);
    case DryRunRow::ClashesWithComputer: return tr("与本机冲突");
    case DryRunRow::SameAddressTwice: return tr("计划中同一地址出现两次（第%1行和第%2行）").arg(lines, otherLines);
    case DryRunRow::SameMacTwice: return tr("计划中同一MAC出现两次（第%1行和第%2行）").arg(lines, otherLines);
    case DryRunRow::InvalidMac: return tr("第%1行的MAC无效").arg(line);
    case DryRunRow::InvalidDhcp: return tr("第%1行的DHCP值无效").arg(line);
    case DryRunRow::InvalidAddress: return tr("第%1行的地址无效").arg(line);
    case DryRunRow::InvalidMask: return tr("第%1行的子网掩码无效").arg(line);
    case DryRunRow::InvalidGateway: return tr("第%1行的网关无效").arg(line);
    case DryRunRow::InvalidDns: return tr("第%1行的DNS无效").arg(line);
    case DryRunRow::NoAddress: return tr("第%1行既没有地址也没有DHCP").arg(line);
    case DryRunRow::Answers: return tr("在%1应答").arg(row.answeredAt);
    case DryRunRow::NotAnswered: return tr("未在%1应答").arg(row.dhcp ? tr("DHCP地址") : row.ip);
    }
    return {};
}

QString DryRun::countsText(const QList<DryRunRow> &rows)
{
    // The states counted together at the top, in the order they are named.
    enum Group { Change, Already, NotFound, Offline, Clash, Twice, Invalid, Answered, Silent, GroupCount };
    const auto groupOf = [](State state) {
        switch (state) {
        case DryRunRow::WillChange: return Change;
        case DryRunRow::AlreadySo: return Already;
        case DryRunRow::NotFound: return NotFound;
        case DryRunRow::Offline: return Offline;
        case DryRunRow::ClashesWithDevice:
        case DryRunRow::ClashesWithComputer: return Clash;
        case DryRunRow::SameAddressTwice:
        case DryRunRow::SameMacTwice: return Twice;
        case DryRunRow::Answers: return Answered;
        case DryRunRow::NotAnswered: return Silent;
        default: return Invalid;
        }
    };
    int counts[GroupCount] = {};
    for (const DryRunRow &row : rows)
        ++counts[groupOf(row.state)];
    static const char *const words[GroupCount] = {
        QT_TR_NOOP("%1台将更改"), QT_TR_NOOP("%1台已是如此"), QT_TR_NOOP("%1台未找到"), QT_TR_NOOP("%1台离线"),
        QT_TR_NOOP("%1行冲突"), QT_TR_NOOP("%1行在计划中重复"), QT_TR_NOOP("%1行无效"), QT_TR_NOOP("%1台已应答"),
        QT_TR_NOOP("%1台未应答"),
    };
    QStringList parts;
    for (int group = 0; group < GroupCount; ++group) {
        if (counts[group] > 0)
            parts << tr(words[group]).arg(counts[group]);
    }
    return parts.join(tr("，"));
}

QString DryRun::summary(const QList<DryRunRow> &rows)
{
    int sent = 0;
    int answered = 0;
    for (const DryRunRow &row : rows) {
        sent += row.state == DryRunRow::WillChange || row.state == DryRunRow::Answers || row.state == DryRunRow::NotAnswered;
        answered += row.state == DryRunRow::Answers;
    }
    return tr("%1台设备中有%2台在计划地址应答").arg(sent).arg(answered);
}
