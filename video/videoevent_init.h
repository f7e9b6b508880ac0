#pragma once

#include <QEvent>

// Posted by the open task to the decoder object: how the open ended.
class VideoEvent_init final : public QEvent
{
public:
    static constexpr QEvent::Type EventType = QEvent::Type(1001);

    VideoEvent_init(int result, quint64 session)
        : QEvent(EventType), result(result), session(session) {}

    const int result;
    // The stream this answer belongs to; answers of a closed stream are dropped.
    const quint64 session;
};
