#include "clip.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <cstdio>
#include <fstream>

namespace {

const char Magic[] = "RTSPCLIP1\n";

std::string encoderPipeline(Clip::Codec codec, int width, int height, int frames)
{
    // Key frames every second and no B-frames: each loop starts on an IDR, and
    // a client that joins at any frame needs at most one second to its first picture.
    // Without scenecut=0 the encoder takes the sliding bars of a 1080p picture
    // for scene cuts and sends every other frame as a key frame.
    const std::string source = "videotestsrc pattern=smpte horizontal-speed=6 num-buffers=" + std::to_string(frames)
                               + " ! video/x-raw,format=I420,width=" + std::to_string(width) + ",height="
                               + std::to_string(height) + ",framerate=25/1 ! ";
    const std::string encoder = codec == Clip::Codec::H264
        ? "x264enc speed-preset=veryfast tune=zerolatency sliced-threads=false key-int-max=25 bframes=0 bitrate=4000 option-string=scenecut=0 "
          "! h264parse config-interval=-1 ! video/x-h264,stream-format=byte-stream,alignment=au"
        : "x265enc speed-preset=ultrafast tune=zerolatency key-int-max=25 bitrate=4000 option-string=scenecut=0 "
          "! h265parse config-interval=-1 ! video/x-h265,stream-format=byte-stream,alignment=au";
    return source + encoder + " ! appsink name=sink sync=false";
}

} // namespace

bool Clip::make(const std::string &path, Codec codec, int width, int height, int frames, std::string *error)
{
    GError *gerror = nullptr;
    GstElement *pipeline = gst_parse_launch(encoderPipeline(codec, width, height, frames).c_str(), &gerror);
    if (!pipeline) {
        *error = gerror ? gerror->message : "cannot build the encoder pipeline";
        g_clear_error(&gerror);
        return false;
    }
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    std::ofstream out(path + ".part", std::ios::binary | std::ios::trunc);
    out.write(Magic, sizeof Magic - 1);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    int written = 0;
    while (GstSample *sample = gst_app_sink_pull_sample(GST_APP_SINK(sink))) {
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            const uint32_t size = uint32_t(map.size);
            const unsigned char length[4] = {uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), uint8_t(size >> 24)};
            out.write(reinterpret_cast<const char *>(length), 4);
            out.write(reinterpret_cast<const char *>(map.data), std::streamsize(map.size));
            gst_buffer_unmap(buffer, &map);
            ++written;
        }
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    out.close();
    if (written != frames || !out) {
        *error = "encoder gave " + std::to_string(written) + " of " + std::to_string(frames) + " frames";
        std::remove((path + ".part").c_str());
        return false;
    }
    return std::rename((path + ".part").c_str(), path.c_str()) == 0;
}

bool Clip::load(const std::string &path, std::string *error)
{
    std::ifstream in(path, std::ios::binary);
    char magic[sizeof Magic - 1];
    if (!in.read(magic, sizeof magic) || std::string(magic, sizeof magic) != std::string(Magic, sizeof Magic - 1)) {
        *error = path + ": not a clip";
        return false;
    }
    m_units.clear();
    unsigned char length[4];
    while (in.read(reinterpret_cast<char *>(length), 4)) {
        const uint32_t size = uint32_t(length[0]) | uint32_t(length[1]) << 8 | uint32_t(length[2]) << 16 | uint32_t(length[3]) << 24;
        if (size == 0 || size > 64u * 1024 * 1024) {
            *error = path + ": bad unit length";
            return false;
        }
        std::vector<uint8_t> unit(size);
        if (!in.read(reinterpret_cast<char *>(unit.data()), std::streamsize(size))) {
            *error = path + ": cut short";
            return false;
        }
        m_units.push_back(std::move(unit));
    }
    if (m_units.empty()) {
        *error = path + ": no frames";
        return false;
    }
    return true;
}
