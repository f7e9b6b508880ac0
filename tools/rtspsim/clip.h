#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A short encoded clip kept as its access units in order, so that it can be
// served in a loop at its frame rate without encoding anything live.
// On disk: "RTSPCLIP1\n", then per access unit a 4-byte little-endian length
// and the Annex-B bytes.
class Clip
{
public:
    enum class Codec { H264, H265 };

    // Encodes frames of a moving test picture with GStreamer into path.
    static bool make(const std::string &path, Codec codec, int width, int height, int frames, std::string *error);

    bool load(const std::string &path, std::string *error);

    const std::vector<std::vector<uint8_t>> &units() const { return m_units; }
    bool empty() const { return m_units.empty(); }

private:
    std::vector<std::vector<uint8_t>> m_units;
};
