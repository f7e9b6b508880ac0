#pragma once

#include <QHostAddress>
#include <QNetworkInterface>

#include "protocol/connect.h"

// The tool host's two addresses in the lab, for connections to the update
// server, which listens on the presented one only.
namespace LabAddresses {

// Where the update server listens; the devices of a run made up on this host connect from it.
inline QHostAddress presented()
{
    return Connect::instance()->getLocalIp();
}

// The tool host's other address: a stranger's.
inline QHostAddress stranger()
{
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback() && address != presented())
            return address;
    }
    return {};
}

} // namespace LabAddresses
