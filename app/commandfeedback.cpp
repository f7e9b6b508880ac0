#include "commandfeedback.h"

#include <QLabel>

#include "protocol/connect.h"
#include "registry/dev.h"
#include "registry/devs.h"

CommandFeedback::CommandFeedback(QLabel *label, QObject *parent)
    : QObject(parent)
    , label(label)
    , engine(Connect::instance())
    , devs(Devs::instance())
{
    timer.setSingleShot(true);
    connect(&timer, SIGNAL(timeout()), this, SLOT(followUp()));
    connect(devs, SIGNAL(loadDevMsg(int)), this, SLOT(answered(int)));
}

void CommandFeedback::setFollowUps(const QList<int> &ms)
{
    followUps = ms;
}

void CommandFeedback::watch(const QString &sentText, const QStringList &macs, Kind commandKind)
{
    kind = commandKind;
    watched = macs;
    answeredAt.clear();
    nextFollowUp = 0;
    elapsedMs = 0;
    label->setText(sentText);
    timer.start(followUps.value(0));
}

void CommandFeedback::followUp()
{
    elapsedMs = followUps.at(nextFollowUp++);
    if (nextFollowUp == followUps.size()) {
        finish();
        return;
    }
    emit followedUpMsg(false);
    engine->search();
    timer.start(followUps.at(nextFollowUp) - elapsedMs);
}

// A record announced while it is online has just answered; answers before the
// first follow-up search may come from before the device acted on the command.
void CommandFeedback::answered(int row)
{
    if (nextFollowUp == 0 || !timer.isActive())
        return;
    const QList<Dev *> list = devs->getDevList();
    const Dev *dev = list.value(row);
    if (!dev || dev->online < 1 || !watched.contains(dev->mac()))
        return;
    answeredAt.insert(dev->mac(), dev->ip());
    if (answeredAt.size() == watched.size())
        finish();
}

void CommandFeedback::finish()
{
    timer.stop();
    if (watched.size() == 1) {
        const QString mac = watched.first();
        if (answeredAt.contains(mac))
            label->setText(tr("%1在%2应答").arg(mac, answeredAt.value(mac)));
        else
            label->setText(kind == Reset ? tr("%1自复位后未应答").arg(mac) : tr("%1自设置后未应答").arg(mac));
    } else if (!watched.isEmpty()) {
        label->setText(tr("%1台设备中有%2台再次应答").arg(watched.size()).arg(answeredAt.size()));
    } else {
        int online = 0;
        for (const Dev *dev : devs->getDevList())
            online += dev->online > 0;
        label->setText(tr("%1台设备在线").arg(online));
    }
    // Said after the strip's own words, so that a listener may put its own in their place.
    for (const QString &mac : qAsConst(watched))
        emit outcomeMsg(mac, answeredAt.value(mac), kind);
    emit followedUpMsg(true);
}
