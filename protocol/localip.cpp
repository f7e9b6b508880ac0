#include "localip.h"

#include <QNetworkInterface>

namespace LocalIp {

namespace {

bool isVirtualAdapter(const QString &humanReadableName)
{
    return humanReadableName.contains(QLatin1String("VMware"))
        || humanReadableName.contains(QLatin1String("Loopback"))
        || humanReadableName.contains(QLatin1String("VirtualBox"));
}

} // namespace

QHostAddress choose(const QList<InterfaceDescription> &interfaces)
{
    for (const InterfaceDescription &iface : interfaces) {
        if (isVirtualAdapter(iface.humanReadableName))
            continue;
        if (!iface.up && !iface.running)
            continue;
        if (iface.addresses.size() < 2 || iface.addresses.at(1).protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        if (iface.name.contains(QLatin1String("ethernet")) || iface.name.contains(QLatin1String("en0")))
            return iface.addresses.at(1);
    }
    return QHostAddress(QHostAddress::LocalHost);
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
        description.up = iface.flags().testFlag(QNetworkInterface::IsUp);
        description.running = iface.flags().testFlag(QNetworkInterface::IsRunning);
        const QList<QNetworkAddressEntry> entries = iface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries)
            description.addresses.append(entry.ip());
        result.append(description);
    }
    return result;
}

} // namespace LocalIp
