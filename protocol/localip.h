#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

// What the local-address rule needs to know of one network interface.
struct InterfaceDescription
{
    QString humanReadableName;
    QString name;
    bool up = false;
    bool running = false;
    QList<QHostAddress> addresses;
};

namespace LocalIp {

// The address the tool presents to the devices, chosen from the interfaces in
// the order the system lists them: the second address of the first wired
// ("ethernet"/"en0") interface that is up or running, else 127.0.0.1.
QHostAddress choose(const QList<InterfaceDescription> &interfaces);

QList<InterfaceDescription> hostInterfaces();

} // namespace LocalIp
