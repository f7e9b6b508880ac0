#pragma once

#include <QEvent>
#include <QString>

#include <cstdint>

// Posted by a decode: its result and, on success, the frame buffer and the
// size of the picture now in it.
class VideoEvent_decode final : public QEvent
{
public:
    static constexpr QEvent::Type EventType = QEvent::Type(1000);

    VideoEvent_decode(int result, uint8_t *data, int width, int height, quint64 session, int problem, const QString &detail)
        : QEvent(EventType), result(result), data(data), width(width), height(height), session(session), problem(problem),
          detail(detail) {}

    const int result;
    uint8_t *const data;   // meaningful only when result is 0
    const int width;
    const int height;
    const quint64 session;
    // Why the picture is not drawn (a Video::Problem), when result is NotAccepted.
    const int problem;
    const QString detail;
};
