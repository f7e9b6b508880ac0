#pragma once

#include <QHostAddress>
#include <QList>
#include <QNetworkInterface>
#include <QString>

// What the local-address rule needs to know of one network interface.
struct InterfaceDescription
{
    QString humanReadableName;
    QString name;
    QNetworkInterface::InterfaceType type = QNetworkInterface::Unknown;
    bool up = false;
    bool running = false;
    bool loopBack = false;
    QList<QHostAddress> addresses;
};

// An address the tool can present to the devices; its datagrams leave
// through the interface that holds it.
struct LocalAddress
{
    QHostAddress address;
    QString interfaceName;

    bool isNull() const { return address.isNull(); }
    // "192.168.147.101 (eth0)", as the installer picks it.
    QString label() const;
    bool operator==(const LocalAddress &other) const
    {
        return address == other.address && interfaceName == other.interfaceName;
    }
};

namespace LocalIp {

// The addresses the tool may present, best first. On Windows the wired card
// is "ethernet_N" and lists its IPv6 link-local address first, so its second
// address is the IPv4 one: when that rule finds an interface, it alone is
// the answer. Otherwise every IPv4 address of a wired interface that is up and
// running (Wi-Fi only when no wired one qualifies), leaving out loopback and
// the bridges and tunnels of virtual machines, containers and VPNs; those in
// the devices' subnet 192.168.147.0/24 first. Empty when none qualifies.
QList<LocalAddress> candidates(const QList<InterfaceDescription> &interfaces);

QList<InterfaceDescription> hostInterfaces();

// The length of the address's network prefix on its interface; -1 when the
// interface no longer holds it.
int prefixLength(const LocalAddress &address);

} // namespace LocalIp
