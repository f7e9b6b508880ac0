// rtspsim: the RTSP server of a simulated device (devsim starts one per device
// with streams), and the maker of the clips it serves.
//
//   rtspsim serve --address A --port P --codec h264|h265 --main CLIP --sub CLIP
//                 [--fault none|stall|exit|refuse] [--fault-after FRAMES]
//   rtspsim make-clip --codec h264|h265 --size WxH --frames N --out CLIP
//
// It listens on the given address only, so run it inside the lab.

#include <gst/gst.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <sys/prctl.h>
#include <csignal>

#include "clip.h"
#include "streamserver.h"

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: rtspsim serve --address A --port P --codec h264|h265 --main CLIP --sub CLIP"
                 " [--fault none|stall|exit|refuse] [--fault-after FRAMES]\n"
                 "       rtspsim make-clip --codec h264|h265 --size WxH --frames N --out CLIP\n");
    return 2;
}

bool parseCodec(const std::string &text, Clip::Codec *codec)
{
    if (text == "h264")
        *codec = Clip::Codec::H264;
    else if (text == "h265")
        *codec = Clip::Codec::H265;
    else
        return false;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    gst_init(&argc, &argv);
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    std::map<std::string, std::string> args;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strncmp(argv[i], "--", 2) != 0)
            return usage();
        args[argv[i] + 2] = argv[i + 1];
    }
    std::string error;
    Clip::Codec codec = Clip::Codec::H264;
    if (!parseCodec(args["codec"], &codec))
        return usage();

    if (command == "make-clip") {
        int width = 0;
        int height = 0;
        if (std::sscanf(args["size"].c_str(), "%dx%d", &width, &height) != 2 || args["out"].empty())
            return usage();
        const int frames = std::atoi(args["frames"].c_str());
        if (frames < 1 || !Clip::make(args["out"], codec, width, height, frames, &error)) {
            std::fprintf(stderr, "rtspsim: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    if (command != "serve")
        return usage();

    StreamServer::Options options;
    options.codec = codec;
    if (args.count("address"))
        options.address = args["address"];
    if (args.count("port"))
        options.port = args["port"];
    options.mainClip = args["main"];
    options.subClip = args["sub"];
    const std::string fault = args.count("fault") ? args["fault"] : "none";
    static const std::map<std::string, StreamServer::Fault> faults = {
        {"none", StreamServer::Fault::None}, {"stall", StreamServer::Fault::Stall},
        {"exit", StreamServer::Fault::Exit}, {"refuse", StreamServer::Fault::Refuse}};
    if (!faults.count(fault))
        return usage();
    options.fault = faults.at(fault);
    if (args.count("fault-after"))
        options.faultAfter = std::atol(args["fault-after"].c_str());

    // A server left behind by a devsim that was killed would hold the address's port.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    StreamServer server(options);
    if (!server.start(&error)) {
        std::fprintf(stderr, "rtspsim: %s\n", error.c_str());
        return 1;
    }
    std::printf("listening rtsp://%s:%s\n", options.address.c_str(), options.port.c_str());
    std::fflush(stdout);
    GMainLoop *loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(loop);
    g_main_loop_unref(loop);
    return 0;
}
