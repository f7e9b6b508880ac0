#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

class Connect;
class Devs;
class QLabel;

// What became of a command that devices never acknowledge (a reset, new
// network settings, new addresses for all): the status strip says what went
// out, the tool searches a few times on its own over the next minute, and the
// strip then says which devices answer again, and at which address.
class CommandFeedback final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CommandFeedback)

public:
    enum Kind { Reset, Settings };

    CommandFeedback(QLabel *label, QObject *parent = nullptr);

    // Shows sentText now and follows the devices with these macs (none: only
    // the searches, and how many devices answer at the end).
    void watch(const QString &sentText, const QStringList &macs, Kind kind);
    // When the tool searches by itself after a command, in ms from the command.
    void setFollowUps(const QList<int> &ms);

signals:
    // A follow-up search is due (last: the follow-ups are over).
    void followedUpMsg(bool last);
    // At the end, for each device followed: where it answers, or an empty ip.
    void outcomeMsg(const QString &mac, const QString &ip, CommandFeedback::Kind kind);

private slots:
    void answered(int row);
    void followUp();

private:
    void finish();

    QLabel *label;
    Connect *engine;
    Devs *devs;
    QTimer timer;
    QList<int> followUps{5000, 15000, 30000, 60000};
    int nextFollowUp = 0;
    int elapsedMs = 0;
    Kind kind = Reset;
    QStringList watched;
    QHash<QString, QString> answeredAt;   // mac -> ip, answers after the first follow-up search
};
