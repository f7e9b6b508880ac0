#include "paintclock.h"

#include <QEvent>
#include <QWidget>

PaintClock::PaintClock(QWidget *watched, const QElapsedTimer *clock, std::function<int()> probe, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
    , m_probe(std::move(probe))
{
    watched->installEventFilter(this);
}

qint64 PaintClock::nsWhenReached(int value) const
{
    for (const Paint &paint : m_paints) {
        if (paint.value >= value)
            return paint.ns;
    }
    return -1;
}

bool PaintClock::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint) {
        const int value = m_probe();
        if (m_paints.isEmpty() || m_paints.last().value != value)
            m_paints.append({m_clock->nsecsElapsed(), value});
    }
    return QObject::eventFilter(watched, event);
}
