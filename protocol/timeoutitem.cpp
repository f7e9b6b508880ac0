#include "timeoutitem.h"

#include <QTimer>

#include "protocol/connect.h"

TimeoutItem::TimeoutItem(int cmd, int count, Callback callback, QObject *parent)
    : QObject(parent)
    , cmd(cmd)
    , count(count)
    , callback(callback)
    , timer(new QTimer)
{
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);   // a coarse timer may fire 5 % early on each of the eleven rounds
    connect(timer, SIGNAL(timeout()), this, SLOT(updateTimeOut()));
}

TimeoutItem::~TimeoutItem()
{
    timer->stop();
    delete timer;
}

void TimeoutItem::start(int ms)
{
    timer->start(ms);
}

void TimeoutItem::updateTimeOut()
{
    if (!callback)
        return;
    if (count > 0) {
        --count;
        (Connect::instance()->*callback)();
        return;
    }
    timer->stop();
    callback = nullptr;
    emit timeoutMsg(this);
}
