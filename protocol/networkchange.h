#pragma once

#include <QString>

// New network settings for one device, as the network-settings message
// carries them; the device knows the message is its own by the mac alone.
struct NetworkChange
{
    QString mac;
    QString ip;
    QString mask;
    QString gateway;
    QString dns;
    bool dhcp = false;
};
