#include "timerclock.h"

TimerClock::TimerClock(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
    m_alarm.setSingleShot(true);
    m_alarm.setTimerType(Qt::PreciseTimer);   // packets are due 5 ms apart
    connect(&m_alarm, &QTimer::timeout, this, [this] {
        m_armedFor = -1;
        emit wakeMsg();
    });
}

qint64 TimerClock::now() const
{
    return m_clock.elapsed();
}

void TimerClock::wakeAt(qint64 when)
{
    // A run asks after every event; restarting the timer for the same time would only cost.
    if (when == m_armedFor && m_alarm.isActive())
        return;
    m_armedFor = when;
    if (when < 0)
        m_alarm.stop();
    else
        m_alarm.start(int(qBound<qint64>(0, when - now(), INT_MAX)));
}
