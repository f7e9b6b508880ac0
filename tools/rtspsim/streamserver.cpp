#include "streamserver.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int FramesPerSecond = 25;

struct Session
{
    const Clip *clip;
    StreamServer::Fault fault;
    long faultAfter;
    guint64 next = 0;
};

struct Mount
{
    const Clip *clip;
    const StreamServer::Options *options;
};

// appsrc asks for the next access unit; it is stamped with its place on a
// 25 fps clock, and the server's sinks send it out when that time comes.
void needData(GstElement *source, guint, gpointer data)
{
    auto *session = static_cast<Session *>(data);
    if (session->faultAfter >= 0 && session->next >= guint64(session->faultAfter)) {
        if (session->fault == StreamServer::Fault::Stall)
            return;
        if (session->fault == StreamServer::Fault::Exit) {
            std::printf("exit after %ld frames\n", session->faultAfter);
            std::fflush(stdout);
            _exit(3);
        }
    }
    const auto &units = session->clip->units();
    const std::vector<uint8_t> &unit = units[session->next % units.size()];
    // The clip outlives every session, so its bytes are lent, not copied.
    GstBuffer *buffer = gst_buffer_new_wrapped_full(GST_MEMORY_FLAG_READONLY, const_cast<uint8_t *>(unit.data()),
                                                    unit.size(), 0, unit.size(), nullptr, nullptr);
    GST_BUFFER_PTS(buffer) = session->next * GST_SECOND / FramesPerSecond;
    GST_BUFFER_DURATION(buffer) = GST_SECOND / FramesPerSecond;
    ++session->next;
    GstFlowReturn ignored;
    g_signal_emit_by_name(source, "push-buffer", buffer, &ignored);
    gst_buffer_unref(buffer);
}

void configureMedia(GstRTSPMediaFactory *, GstRTSPMedia *media, gpointer data)
{
    const auto *mount = static_cast<const Mount *>(data);
    GstElement *element = gst_rtsp_media_get_element(media);
    GstElement *source = gst_bin_get_by_name_recurse_up(GST_BIN(element), "src");
    const bool h264 = mount->options->codec == Clip::Codec::H264;
    GstCaps *caps = gst_caps_new_simple(h264 ? "video/x-h264" : "video/x-h265", "stream-format", G_TYPE_STRING,
                                        "byte-stream", "alignment", G_TYPE_STRING, "au", "framerate",
                                        GST_TYPE_FRACTION, FramesPerSecond, 1, nullptr);
    gst_util_set_object_arg(G_OBJECT(source), "format", "time");
    g_object_set(source, "caps", caps, nullptr);
    gst_caps_unref(caps);
    auto *session = new Session{mount->clip, mount->options->fault, mount->options->faultAfter};
    g_object_set_data_full(G_OBJECT(media), "rtspsim-session", session,
                           [](gpointer p) { delete static_cast<Session *>(p); });
    g_signal_connect(source, "need-data", G_CALLBACK(needData), session);
    gst_object_unref(source);
    gst_object_unref(element);
}

void clientConnected(GstRTSPServer *, GstRTSPClient *, gpointer)
{
    std::printf("client\n");
    std::fflush(stdout);
}

} // namespace

StreamServer::StreamServer(const Options &options)
    : m_options(options)
{
}

StreamServer::~StreamServer()
{
    if (m_server)
        g_object_unref(m_server);
}

void StreamServer::mount(const char *path, const Clip *clip)
{
    const bool h264 = m_options.codec == Clip::Codec::H264;
    GstRTSPMediaFactory *factory = gst_rtsp_media_factory_new();
    gst_rtsp_media_factory_set_launch(factory, h264
        ? "( appsrc name=src ! h264parse ! rtph264pay name=pay0 pt=96 )"
        : "( appsrc name=src ! h265parse ! rtph265pay name=pay0 pt=96 )");
    // Every key frame of a clip carries its parameter sets already, so the
    // payloader adds none. Each client its own pipeline, starting at the clip's first key frame.
    gst_rtsp_media_factory_set_shared(factory, FALSE);
    auto *data = new Mount{clip, &m_options};
    g_signal_connect_data(factory, "media-configure", G_CALLBACK(configureMedia), data,
                          [](gpointer p, GClosure *) { delete static_cast<Mount *>(p); }, GConnectFlags(0));
    GstRTSPMountPoints *mounts = gst_rtsp_server_get_mount_points(m_server);
    gst_rtsp_mount_points_add_factory(mounts, path, factory);
    g_object_unref(mounts);
}

bool StreamServer::start(std::string *error)
{
    if (!m_main.load(m_options.mainClip, error) || !m_sub.load(m_options.subClip, error))
        return false;
    m_server = gst_rtsp_server_new();
    gst_rtsp_server_set_address(m_server, m_options.address.c_str());
    gst_rtsp_server_set_service(m_server, m_options.port.c_str());
    if (m_options.fault != Fault::Refuse) {
        mount("/uscast/11", &m_main);
        mount("/uscast/12", &m_sub);
    }
    g_signal_connect(m_server, "client-connected", G_CALLBACK(clientConnected), nullptr);
    if (gst_rtsp_server_attach(m_server, nullptr) == 0) {
        *error = "cannot listen on " + m_options.address + ":" + m_options.port;
        return false;
    }
    return true;
}
