#include "tests/Platform/Media/MovieProbe.h"

#include <cstring>
#include <sstream>

#include "tests/Platform/Media/MovieFixtures.h"
#include "tests/support/CommandOutput.h"

namespace testsupport {

namespace {

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::map<std::string, std::string> Fields(const std::string& path, const char* stream) {
    std::map<std::string, std::string> fields;
    std::istringstream in(
        CommandOutput("ffprobe -v error -count_frames -show_streams -of default=nw=1 "
                      "-select_streams " +
                      std::string(stream) + " " + Quote(path)));
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) fields.emplace(line.substr(0, eq), line.substr(eq + 1));
    }
    return fields;
}

std::string Get(const std::map<std::string, std::string>& m, const std::string& key) {
    auto it = m.find(key);
    return it == m.end() ? std::string() : it->second;
}

}  // namespace

MovieProbe::MovieProbe(const std::string& path)
    : fPath(path), fVideo(Fields(path, "v:0")), fAudio(Fields(path, "a:0")) {}

std::string MovieProbe::Video(const std::string& key) const {
    return Get(fVideo, key);
}

std::string MovieProbe::Audio(const std::string& key) const {
    return Get(fAudio, key);
}

std::string MovieProbe::Duration() const {
    std::string out =
        CommandOutput("ffprobe -v error -show_entries format=duration -of csv=p=0 " + Quote(fPath));
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

namespace {

std::vector<bool> KeyFlags(const std::string& path) {
    std::vector<bool> keys;
    std::istringstream in(
        CommandOutput("ffprobe -v error -select_streams v:0 -show_entries packet=flags -of "
                      "csv=p=0 " +
                      Quote(path)));
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) keys.push_back(line[0] == 'K');
    return keys;
}

}  // namespace

int MovieProbe::MaxKeyFrameDistance() const {
    const std::vector<bool> keys = KeyFlags(fPath);
    int last = -1, most = 0;
    for (int i = 0; i < int(keys.size()); ++i)
        if (keys[i]) {
            if (last >= 0) most = std::max(most, i - last);
            last = i;
        }
    if (last < 0) return int(keys.size()) + 1;
    return std::max(most, int(keys.size()) - last);
}

int MovieProbe::KeyPackets() const {
    int n = 0;
    for (bool k : KeyFlags(fPath)) n += k;
    return n;
}

int MovieProbe::Packets() const {
    return int(KeyFlags(fPath).size());
}

int MovieProbe::FrameBars(int n) const {
    const int w = std::atoi(Video("width").c_str());
    const int h = std::atoi(Video("height").c_str());
    if (w <= 0 || h <= 0) return -1;
    const std::string raw =
        CommandOutput("ffmpeg -nostdin -v error -i " + Quote(fPath) + " -vf 'select=eq(n\\," +
                      std::to_string(n) + ")' -vsync 0 -frames:v 1 -f rawvideo -pix_fmt bgra -");
    if (raw.size() != size_t(w) * h * 4) return -1;
    return BarsNumberIn(reinterpret_cast<const uint8_t*>(raw.data()), w, h, size_t(w) * 4);
}

std::vector<int16_t> MovieProbe::DecodedAudio(uint32_t channels) const {
    const std::string raw = CommandOutput("ffmpeg -nostdin -v error -i " + Quote(fPath) + " -map 0:a:0 -ac " +
                                          std::to_string(channels) + " -f s16le -");
    std::vector<int16_t> out(raw.size() / 2);
    std::memcpy(out.data(), raw.data(), out.size() * 2);
    return out;
}

}  // namespace testsupport
