#pragma once

#include <QByteArray>
#include <QHostAddress>

#include "registry/dev.h"

// A device that the current run updates: only its connections are served the
// package, and only its own signs of life keep its watchdog from failing it.
struct RunDevice
{
    enum State { Queued, Requested, Connected, Sending, Installing, Installed, Failed };
    // Why a device failed, for its row; the numbers that go with each are in updateFailMsg.
    enum Failure { NoConnection, StoppedTaking, DisconnectedAt, NoInstall, PackageUnreadable };

    Dev dev;                // the registry's record as the run began: its request is built from it
    QHostAddress ip;        // the address in its record
    QByteArray mac;
    State state = Queued;
    bool begun = false;     // its answer to the request has been shown
    int descriptor = -1;    // its connection, once it has connected back
    qint64 lastSign = 0;    // on the run's clock, ms

    bool answersAt(const QHostAddress &address) const
    {
        return address.isEqual(ip, QHostAddress::TolerantConversion)
               || address.isEqual(dev.addr, QHostAddress::TolerantConversion);
    }
    bool inFlight() const { return state > Queued && state < Installed; }
};
