#pragma once

#include <QString>

#include <optional>

// What the network dialog accepts as an address typed by an installer, before
// it reaches a device that would take a typo and drop off the network.
namespace Ipv4Input {

// Four decimal parts 0 to 255, dots between, nothing else: no spaces, no signs,
// no leading zeros (which some devices read as octal).
std::optional<quint32> parse(const QString &text);

// Ones from the top, then zeros; neither all zeros nor all ones.
bool isNetmask(quint32 mask);

// An address a device can take in the subnet of mask: not in 0/8, 127/8 or
// 224/3, and neither the subnet's own address nor its broadcast address.
bool isHostAddress(quint32 address, quint32 mask);

bool sameSubnet(quint32 a, quint32 b, quint32 mask);

} // namespace Ipv4Input
