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
};
