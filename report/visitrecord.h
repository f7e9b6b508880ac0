#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <deque>
#include <functional>

struct Dev;

// A device's address settings, as it answered or as they were sent to it.
struct NetSettings
{
    QString ip;
    QString mask;
    QString gateway;
    bool dhcp = false;
};

// One device of the visit: as it first answered in this run beside as it answers now.
struct VisitDevice
{
    QString mac;
    QString label;        // given by a site plan; empty when none gave one
    bool seen = false;    // has answered in this run (a command may name it before)
    NetSettings first;
    NetSettings now;
    QString firstVersion;
    QString version;
    bool online = false;
    QStringList done;     // what was done to it, a few words each, each once, in the order first done
};

// One thing the tool did on the LAN, or what a search saw afterwards.
struct VisitEntry
{
    enum Kind { Network, Reset, LanReset, RepairSearch, Encoding, Update, FollowUp };

    QDateTime time;
    Kind kind = Network;
    QString mac;          // empty for a command to the whole LAN
    QString words;        // as the report shows it
    bool failed = false;  // something to come back for: a failed update, a device gone silent
};

// The record of this run of the tool, kept in memory for the site report: every
// command sent to devices with its outcome, and each device as first seen and
// as seen now. The caller reports each action where it is made.
class VisitRecord final
{
    Q_DECLARE_TR_FUNCTIONS(VisitRecord)

public:
    enum class Source { NetworkConfig, PrepareAllUpdate, SitePlan };
    enum class Encoding { H264, H265 };
    enum class Since { Reset, Change, Update };

    // Past this many entries the oldest go, so a tool left running for weeks stays small.
    static constexpr int MaxEntries = 100000;

    using Clock = std::function<QDateTime()>;

    explicit VisitRecord(Clock clock = &QDateTime::currentDateTime);

    // Each record the registry announces, answered or aged offline.
    void saw(const Dev &dev);
    void setLabel(const QString &mac, const QString &label);

    // A device's settings as its record holds them: the "before" of networkSent.
    static NetSettings settingsOf(const Dev &dev);
    // "V3.2.1 → V3.4.0" where a value changed, else the one value.
    static QString fromTo(const QString &before, const QString &after);
    // planName names the site plan when source is SitePlan.
    void networkSent(const QString &mac, Source source, const NetSettings &before, const NetSettings &after,
                     const QString &planName = QString());
    void resetSent(const QString &mac);
    void lanResetSent();
    void repairSearchSent();
    void encodingSent(const QString &mac, Encoding from, Encoding to);
    // failure: the reason in words, empty when the device installed the package.
    void updateEnded(const QString &mac, const QString &packageName, qint64 size, const QString &md5,
                     const QString &failure);
    // What the follow-up searches after a command saw of a device.
    void answersAt(const QString &mac, const QString &ip);
    void notAnswered(const QString &mac, Since since);

    const std::deque<VisitEntry> &entries() const { return m_entries; }
    // Entries that went to keep the bound.
    qint64 dropped() const { return m_dropped; }
    // In the order they first answered or were named.
    const QVector<VisitDevice> &devices() const { return m_devices; }
    const VisitDevice *device(const QString &mac) const;

    QDateTime started() const { return m_started; }
    QDateTime now() const { return m_clock(); }

    // A device was changed since the last report was saved: closing asks for one.
    bool hasUnsavedChanges() const { return m_unsaved; }
    void markSaved() { m_unsaved = false; }

private:
    VisitDevice &deviceFor(const QString &mac);
    // The entry, and the few words for the device's row.
    void add(VisitEntry::Kind kind, const QString &mac, const QString &words, const QString &done, bool failed = false);

    Clock m_clock;
    QDateTime m_started;
    std::deque<VisitEntry> m_entries;
    qint64 m_dropped = 0;
    QVector<VisitDevice> m_devices;
    QHash<QString, int> m_index;   // mac -> place in m_devices
    bool m_unsaved = false;
};
