#pragma once

#include <QCoreApplication>
#include <QHostAddress>
#include <QList>
#include <QString>

#include "protocol/networkchange.h"

struct Dev;
struct PlanLine;

// One plan line in the dry run: the device as it answered, what Apply would
// tell it, and what would come of it; after Apply, whether it came back.
struct DryRunRow
{
    enum State {
        WillChange, AlreadySo, NotFound, Offline, ClashesWithDevice, ClashesWithComputer, SameAddressTwice,
        SameMacTwice, InvalidMac, InvalidDhcp, InvalidAddress, InvalidMask, InvalidGateway, InvalidDns, NoAddress,
        Answers, NotAnswered,
    };

    int line = 0;
    QString label;
    QString mac;              // the device's own text where one answered, else the plan's
    QString currentIp;        // current ones empty where no device answered with that MAC
    QString currentMask;
    QString currentGateway;
    QString ip;               // what Apply sends: the plan's values, the device's where the plan gives none
    QString mask;
    QString gateway;
    QString dns;
    bool dhcp = false;
    State state = WillChange;
    QString clashMac;         // the device online at the planned address
    int otherLine = 0;        // the plan's other line with the same address or MAC
    QString answeredAt;       // where the device answered after Apply
};

// What a site plan would do on this network, line by line, before anything
// is sent; and, after Apply, which devices came back at their planned address.
class DryRun
{
    Q_DECLARE_TR_FUNCTIONS(DryRun)

public:
    // devices are the registry's, read only; self is this computer's address.
    static QList<DryRunRow> rows(const QList<PlanLine> &lines, const QList<Dev *> &devices, const QHostAddress &self);
    // Rows that will change: what Apply sends, in plan order.
    static int changes(const QList<DryRunRow> &rows);
    // What Apply sends: the settings of each row that will change, in plan order.
    static QList<NetworkChange> networkChanges(const QList<DryRunRow> &rows);
    // Moves the rows that will change on to "answers at" where the device
    // answered the last search at its planned address (with DHCP: anywhere),
    // and, after the last follow-up search, the others to "has not answered at".
    static void followUp(QList<DryRunRow> &rows, const QList<Dev *> &devices, bool lastSearch);

    static QString stateText(const DryRunRow &row);
    static QString plannedIpText(const DryRunRow &row);   // "DHCP" for a row that turns DHCP on
    // "9 will change, 2 already so, 1 not found"
    static QString countsText(const QList<DryRunRow> &rows);
    // "8 of 9 devices answer at their planned address"
    static QString summary(const QList<DryRunRow> &rows);
};
