#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// One line of a site plan: what the installer wants one device to be told.
// A fault of the line alone is carried with it, for the dry run to show.
struct PlanLine
{
    enum Problem { NoProblem, BadMac, BadDhcp, BadAddress, BadMask, BadGateway, BadDns, NoAddress };

    int line = 0;   // where the line starts in the file, the header being line 1
    QString mac;    // as written, also when it is no MAC
    QString ip;     // ip, mask, gateway and dns as written; empty where not given
    QString mask;
    QString gateway;
    QString dns;
    std::optional<bool> dhcp;   // none where not given
    QString label;
    Problem problem = NoProblem;   // the first one found
};

// A site plan read from a spreadsheet's CSV file: a header row naming the
// columns, then one line per device. Either lines or one refusal of the file.
class SitePlan
{
    Q_DECLARE_TR_FUNCTIONS(SitePlan)

public:
    static constexpr int MaxLines = 65536;
    // The caller reads at most MaxBytes + 1 bytes of a file, so that a larger
    // one is refused without being read whole.
    static constexpr qint64 MaxBytes = 16 * 1024 * 1024;
    // A plan line is a MAC, four addresses and a label; a longer one is no plan.
    static constexpr int MaxLineChars = 4096;

    QList<PlanLine> lines;
    int refusedLine = 0;   // 0 where the refusal is of the file as a whole
    QString refusal;       // empty when the file is a plan

    static SitePlan read(const QByteArray &bytes);
    bool isRefused() const { return !refusal.isEmpty(); }
    // The labels the plan gives, by the MAC as its line writes it.
    QHash<QString, QString> labels() const;
    // The refusal as shown: "Line 7: …".
    QString refusalText() const;
    // The twelve hex digits of a MAC in capitals, whatever separates them;
    // empty when mac is no MAC.
    static QString macKey(const QString &mac);

private:
    static SitePlan refused(int line, const QString &reason);
};
