#include "localip.h"

#include <algorithm>

QString LocalAddress::label() const
{
    return address.toString() + QStringLiteral(" (") + interfaceName + QLatin1Char(')');
}

namespace LocalIp {

namespace {

bool isVirtualAdapter(const QString &humanReadableName)
{
    return humanReadableName.contains(QLatin1String("VMware"))
        || humanReadableName.contains(QLatin1String("Loopback"))
        || humanReadableName.contains(QLatin1String("VirtualBox"));
}

// Bridges and tunnels that look wired but lead to no device.
bool isVirtualName(const QString &name)
{
    static const char *const prefixes[] = {"docker", "br-", "virbr", "veth", "vmnet", "vboxnet", "tun", "tap", "wg"};
    for (const char *prefix : prefixes) {
        if (name.startsWith(QLatin1String(prefix)))
            return true;
    }
    return false;
}

bool isWireless(const InterfaceDescription &iface)
{
    return iface.type == QNetworkInterface::Wifi || iface.type == QNetworkInterface::Ieee80211
           || iface.name.startsWith(QLatin1String("wl"));
}

bool isWired(const InterfaceDescription &iface)
{
    return !isWireless(iface)
           && (iface.type == QNetworkInterface::Ethernet || iface.name.startsWith(QLatin1String("eth"))
               || iface.name.startsWith(QLatin1String("en")));
}

LocalAddress addressOn(const InterfaceDescription &iface, const QHostAddress &address)
{
    return LocalAddress{address, iface.name};
}

// The rule that is right on Windows: the second address of the first
// "ethernet"/"en0" interface that is up or running, when it is IPv4.
LocalAddress secondAddressRule(const QList<InterfaceDescription> &interfaces)
{
    for (const InterfaceDescription &iface : interfaces) {
        if (isVirtualAdapter(iface.humanReadableName) || isWireless(iface))
            continue;   // a Mac's en0 is its Wi-Fi
        if (!iface.up && !iface.running)
            continue;
        if (iface.addresses.size() < 2 || iface.addresses.at(1).protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        if (iface.name.contains(QLatin1String("ethernet")) || iface.name.contains(QLatin1String("en0")))
            return addressOn(iface, iface.addresses.at(1));
    }
    return LocalAddress();
}

QList<LocalAddress> addressesOf(const QList<InterfaceDescription> &interfaces, bool (*kind)(const InterfaceDescription &))
{
    QList<LocalAddress> found;
    for (const InterfaceDescription &iface : interfaces) {
        if (!kind(iface) || !iface.up || !iface.running || iface.loopBack || isVirtualName(iface.name))
            continue;
        for (const QHostAddress &address : iface.addresses) {
            if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
                found.append(addressOn(iface, address));
        }
    }
    return found;
}

} // namespace

QList<LocalAddress> candidates(const QList<InterfaceDescription> &interfaces)
{
    const LocalAddress windows = secondAddressRule(interfaces);
    if (!windows.isNull())
        return {windows};
    QList<LocalAddress> found = addressesOf(interfaces, isWired);
    if (found.isEmpty())
        found = addressesOf(interfaces, isWireless);
    const QPair<QHostAddress, int> devicesSubnet(QHostAddress(QStringLiteral("192.168.147.0")), 24);
    std::stable_sort(found.begin(), found.end(), [&](const LocalAddress &a, const LocalAddress &b) {
        return a.address.isInSubnet(devicesSubnet) && !b.address.isInSubnet(devicesSubnet);
    });
    return found;
}

QList<InterfaceDescription> hostInterfaces()
{
    QList<InterfaceDescription> result;
    const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    result.reserve(all.size());
    for (const QNetworkInterface &iface : all) {
        InterfaceDescription description;
        description.humanReadableName = iface.humanReadableName();
        description.name = iface.name();
        description.type = iface.type();
        description.up = iface.flags().testFlag(QNetworkInterface::IsUp);
        description.running = iface.flags().testFlag(QNetworkInterface::IsRunning);
        description.loopBack = iface.flags().testFlag(QNetworkInterface::IsLoopBack);
        const QList<QNetworkAddressEntry> entries = iface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries)
            description.addresses.append(entry.ip());
        result.append(description);
    }
    return result;
}

int prefixLength(const LocalAddress &address)
{
    const QList<QNetworkAddressEntry> entries = QNetworkInterface::interfaceFromName(address.interfaceName).addressEntries();
    for (const QNetworkAddressEntry &entry : entries) {
        if (entry.ip() == address.address)
            return entry.prefixLength();
    }
    return -1;
}

} // namespace LocalIp
