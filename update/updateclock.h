#pragma once

#include <QtGlobal>

// The time a run goes by, and its alarm: the run says when it next needs a
// look (a packet due, a watchdog running out) and is woken then; with nothing
// to do it sets no alarm, so an idle tool rests. A test steps it by hand.
class UpdateClock
{
public:
    virtual ~UpdateClock() = default;

    // Milliseconds on a clock that never goes back.
    virtual qint64 now() const = 0;
    // Replaces the alarm; a negative time sets none.
    virtual void wakeAt(qint64 when) = 0;
};
