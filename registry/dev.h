#pragma once

#include <QHostAddress>

#include "protocol/wire.h"

// The registry's record of one device, as of its last search answer.
struct Dev
{
    int online = 0;   // online while 1 or more; lowered by every search sent
    int port = 0;
    msg_broadcast_t info = Wire::emptyRecord();
    QHostAddress addr;

    // The record's texts, read out of their fixed-width fields, so that no
    // widget needs to know the wire layout.
    QString ip() const { return Wire::readText(info.ip); }
    QString mac() const { return Wire::readText(info.mac); }
    QString version() const { return Wire::readText(info.version); }
    QString mask() const { return Wire::readText(info.mask); }
    QString gateway() const { return Wire::readText(info.gateway); }
    QString dns() const { return Wire::readText(info.dns); }
};
