#pragma once

#include <QEvent>

#include "video/video.h"

struct AVPacket;

// Posted by a packet read: its result and, for a video packet, the packet.
// The event owns the packet until the decoder object takes it, so a packet
// that nobody takes (the stream closed meanwhile) is released with the event.
class VideoEvent_getVideo final : public QEvent
{
public:
    static constexpr QEvent::Type EventType = QEvent::Type(1003);

    VideoEvent_getVideo(int result, AVPacket *packet, quint64 session)
        : QEvent(EventType), result(result), session(session), m_packet(packet) {}
    ~VideoEvent_getVideo() override { Video::releasePacket(m_packet); }

    Q_DISABLE_COPY_MOVE(VideoEvent_getVideo)

    AVPacket *takePacket()
    {
        AVPacket *packet = m_packet;
        m_packet = nullptr;
        return packet;
    }

    const int result;
    const quint64 session;

private:
    AVPacket *m_packet;
};
