#pragma once

#include <QEvent>
#include <QString>

// Posted by the open task to the decoder object: how the open ended.
class VideoEvent_init final : public QEvent
{
public:
    static constexpr QEvent::Type EventType = QEvent::Type(1001);

    VideoEvent_init(int result, quint64 session, int problem, const QString &detail)
        : QEvent(EventType), result(result), session(session), problem(problem), detail(detail) {}

    const int result;
    // The stream this answer belongs to; answers of a closed stream are dropped.
    const quint64 session;
    // Why the open failed (a Video::Problem), when result is negative.
    const int problem;
    const QString detail;
};
