#pragma once

#include <QDateTime>
#include <QString>

#include <utility>

#include "registry/dev.h"
#include "report/visitrecord.h"

// A commissioning visit as an installer makes one, for the long reports of the
// tests and the benchmark: devices found at their factory addresses, a site
// plan that moves them into 10.20.x.x and labels every other one, an update of
// all of them of which every 17th fails, a device reset, an encoding switch,
// and the follow-up searches' findings.
namespace SampleVisit {

inline const QDateTime Start(QDate(2026, 12, 8), QTime(9, 0, 0));

// Each reading of the clock is a few seconds after the last.
inline VisitRecord::Clock steppingClock()
{
    return [at = Start]() mutable { return std::exchange(at, at.addSecs(3)); };
}

inline Dev device(const QString &mac, const QString &ip, const QString &gateway, const QString &version, bool online)
{
    Dev dev;
    dev.online = online ? 1 : 0;
    dev.info.ipMode = 1;   // a static address
    Wire::writeText(dev.info.mac, mac);
    Wire::writeText(dev.info.ip, ip);
    Wire::writeText(dev.info.mask, QStringLiteral("255.255.255.0"));
    Wire::writeText(dev.info.gateway, gateway);
    Wire::writeText(dev.info.version, version);
    return dev;
}

inline QString macOf(int i)
{
    return QStringLiteral("00:1A:2B:3C:%1:%2").arg(i / 256, 2, 16, QLatin1Char('0')).arg(i % 256, 2, 16, QLatin1Char('0')).toUpper();
}

// The plan puts 200 devices in each subnet.
inline QString plannedIp(int i) { return QStringLiteral("10.20.%1.%2").arg(5 + i / 200).arg(10 + i % 200); }
inline QString plannedGateway(int i) { return QStringLiteral("10.20.%1.1").arg(5 + i / 200); }

inline void fill(VisitRecord &record, int devices)
{
    record.repairSearchSent();
    for (int i = 0; i < devices; ++i) {
        const QString old = QStringLiteral("192.168.1.%1").arg(20 + i % 200);
        record.saw(device(macOf(i), old, QStringLiteral("192.168.1.1"), QStringLiteral("V3.2.1"), true));
        if (i % 2 == 0)
            record.setLabel(macOf(i), i % 4 ? QStringLiteral("Car park %1").arg(i) : QStringLiteral("大门 Gate %1").arg(i));
    }
    for (int i = 0; i < devices; ++i) {
        const NetSettings before = record.device(macOf(i))->now;
        record.networkSent(macOf(i), VisitRecord::Source::SitePlan, before,
                           {plannedIp(i), QStringLiteral("255.255.255.0"), plannedGateway(i), false},
                           QStringLiteral("site-plan.csv"));
        record.saw(device(macOf(i), plannedIp(i), plannedGateway(i), QStringLiteral("V3.2.1"), true));
        record.answersAt(macOf(i), plannedIp(i));
    }
    for (int i = 0; i < devices; ++i) {
        const bool fails = i % 17 == 5;
        record.updateEnded(macOf(i), QStringLiteral("fw-3.4.0.bin"), 24117248, QStringLiteral("9e107d9d372bb6826bd81d3542a419d6"),
                           fails ? QStringLiteral("did not connect back within 120 s") : QString());
        record.saw(device(macOf(i), plannedIp(i), plannedGateway(i),
                          fails ? QStringLiteral("V3.2.1") : QStringLiteral("V3.4.0"), !fails));
        if (fails)
            record.notAnswered(macOf(i), VisitRecord::Since::Update);
    }
    record.resetSent(macOf(1));
    record.encodingSent(macOf(3), VisitRecord::Encoding::H264, VisitRecord::Encoding::H265);
}

} // namespace SampleVisit
