#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

// What ffprobe and ffmpeg read from a movie file: the first video and audio stream's fields
// (-show_streams with -count_frames), the key flags of the video packets, a decoded frame's bars
// and the decoded audio.
class MovieProbe {
public:
    explicit MovieProbe(const std::string& path);
    bool Ok() const { return !fVideo.empty() || !fAudio.empty(); }
    // A stream field ("codec_name", "time_base", "nb_read_frames", ...); "" when absent.
    std::string Video(const std::string& key) const;
    std::string Audio(const std::string& key) const;
    // The container's duration in seconds, as text ("" when there is none).
    std::string Duration() const;
    // The largest distance between key packets (and from the last one to the end), in packets.
    int MaxKeyFrameDistance() const;
    int KeyPackets() const;
    int Packets() const;
    // The number the bars of decoded frame n show (DrawBars), -1 when it cannot be read.
    int FrameBars(int n) const;
    // The first audio stream decoded to interleaved signed 16-bit.
    std::vector<int16_t> DecodedAudio(uint32_t channels) const;

private:
    std::string fPath;
    std::map<std::string, std::string> fVideo;
    std::map<std::string, std::string> fAudio;
};

}  // namespace testsupport
