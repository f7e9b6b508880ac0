#pragma once

#include <QElapsedTimer>
#include <QTimer>

// The longest time the event loop kept a fast timer waiting while it ran: how
// long the window would have stood still.
class StallWatch
{
public:
    explicit StallWatch(int intervalMs)
    {
        QObject::connect(&m_ticker, &QTimer::timeout, [this] {
            m_worst = qMax(m_worst, m_clock.elapsed() - m_last);
            m_last = m_clock.elapsed();
        });
        m_clock.start();
        m_ticker.start(intervalMs);
    }

    qint64 worstMs() const { return m_worst; }

private:
    QElapsedTimer m_clock;
    QTimer m_ticker;
    qint64 m_last = 0;
    qint64 m_worst = 0;
};
