#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include "update/updateclock.h"

// The system's monotonic clock with one timer for the alarm: the clock a run
// goes by in the tool.
class TimerClock final : public QObject, public UpdateClock
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TimerClock)

public:
    explicit TimerClock(QObject *parent = nullptr);

    qint64 now() const override;
    void wakeAt(qint64 when) override;

signals:
    void wakeMsg();

private:
    QElapsedTimer m_clock;
    QTimer m_alarm;
    qint64 m_armedFor = -1;
};
