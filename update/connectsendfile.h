#pragma once

#include <QEvent>

// Posted to the update run after each send step, so that progress reaches
// the dialog from the event loop after the step that caused it.
class Connect_sendFile final : public QEvent
{
public:
    static constexpr QEvent::Type EventType = QEvent::Type(QEvent::User + 2);

    Connect_sendFile(bool isFinish, int descriptor)
        : QEvent(EventType)
        , isFinish(isFinish)
        , descriptor(descriptor)
    {
    }

    bool isFinish;
    int descriptor;
};

static_assert(Connect_sendFile::EventType == 1002);
