#pragma once

#include <string>

#include "clip.h"

typedef struct _GstRTSPServer GstRTSPServer;

// The RTSP server of one simulated device: its main stream at /uscast/11 and
// its sub stream at /uscast/12, each a clip looped at 25 frames per second.
// Every client gets its own session that starts on the clip's first key frame.
class StreamServer
{
public:
    enum class Fault {
        None,
        Stall,    // after faultAfter frames a session sends nothing more, its connection stays open
        Exit,     // after faultAfter frames the whole server exits, every connection drops
        Refuse,   // no stream is mounted: every DESCRIBE gets 404
    };

    struct Options
    {
        std::string address = "0.0.0.0";
        std::string port = "554";
        Clip::Codec codec = Clip::Codec::H264;
        std::string mainClip;
        std::string subClip;
        Fault fault = Fault::None;
        long faultAfter = 50;
    };

    explicit StreamServer(const Options &options);
    ~StreamServer();

    StreamServer(const StreamServer &) = delete;
    StreamServer &operator=(const StreamServer &) = delete;

    // Loads the clips and starts listening on the default main context.
    bool start(std::string *error);

private:
    void mount(const char *path, const Clip *clip);

    Options m_options;
    Clip m_main;
    Clip m_sub;
    GstRTSPServer *m_server = nullptr;
};
