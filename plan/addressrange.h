#pragma once

#include <QCoreApplication>
#include <QHostAddress>
#include <QList>
#include <QMetaType>
#include <QString>

#include <array>
#include <optional>

#include "protocol/networkchange.h"

struct Dev;

// One device that "Prepare All Update" numbers, and the address it is to get;
// an empty ip when the range has no free address left for it.
struct PlannedAddress
{
    const Dev *dev = nullptr;
    QString ip;
    bool alreadyThere = false;   // address, mask and gateway already so, no DHCP: nothing is sent
};

// An address the numbering passed over, and why, in the installer's words.
struct SkippedAddress
{
    QString ip;
    QString reason;
};

struct AddressPlan
{
    QList<PlannedAddress> assigned;   // in list order
    QList<SkippedAddress> skipped;    // in address order
    int unassigned() const;           // devices that get no address
};


// Where "Prepare All Update" starts numbering and what it tells every device:
// the first address, the mask, the gateway and the DNS server of one subnet.
class AddressRange
{
    Q_DECLARE_TR_FUNCTIONS(AddressRange)

public:
    enum Field { First, Mask, Gateway, Dns, FieldCount };
    using Texts = std::array<QString, FieldCount>;

    quint32 first = 0;
    quint32 mask = 0;
    quint32 gateway = 0;
    quint32 dns = 0;

    // The range offered for the address the tool presents and its prefix length.
    static AddressRange defaultsFor(const QHostAddress &presented, int prefixLength);
    // The range the texts give, or none; reasons holds a reason per field,
    // empty where the field is fine.
    static std::optional<AddressRange> fromTexts(const Texts &texts, Texts &reasons);
    Texts texts() const;

    // Numbers the online devices upward from the first address to the last
    // host of the subnet, in list order. With selectedRows (rows of devices)
    // only those are numbered; the others keep their addresses, which are
    // then taken, as are offline devices' addresses, the gateway, the DNS
    // server and this computer's address.
    AddressPlan plan(const QList<Dev *> &devices, const QList<int> &selectedRows, const QHostAddress &self) const;
    // The settings the plan sends: a static address in this range for each
    // device that gets one and does not hold it already.
    QList<NetworkChange> changes(const AddressPlan &plan) const;

private:
    quint32 lastHost() const { return (first | ~mask) - 1; }
};

Q_DECLARE_METATYPE(AddressPlan)
Q_DECLARE_METATYPE(AddressRange)
