#include "tests/Platform/Media/MovieFixtures.h"

#include <algorithm>
#include <cstdlib>

extern "C" {
#include <libavutil/log.h>
}

#include "Platform/Video/PixelBuffer.h"

namespace testsupport {

namespace {

const char* const kBars =
    "-f lavfi -i "
    "\"nullsrc=s=128x32:r=30,geq=lum='235*mod(floor(N/pow(2\\,floor(X/16)))\\,2)+16':cb=128:cr=128\"";
const char* const kTone = "-f lavfi -i sine=frequency=1000:sample_rate=48000";

}  // namespace

bool Shell(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

const MovieFixtures& MovieFixtures::Get() {
    static const MovieFixtures* fixtures = new MovieFixtures();
    return *fixtures;
}

MovieFixtures::MovieFixtures() {
    av_log_set_level(AV_LOG_QUIET);  // damaged fixtures are expected to complain
    if (!HaveProgram("ffmpeg") || !HaveProgram("ffprobe")) {
        fProblem = "ffmpeg or ffprobe is not installed";
        return;
    }
    const std::string ff = "ffmpeg -nostdin -v error -y ";
    const std::string bars = std::string(kBars) + " -t 3 ";
    struct Make {
        const char* name;
        std::string options;
    } makes[] = {
        {"bars.mp4",
         bars + kTone + " -t 3 -c:v libx264 -g 30 -bf 2 -pix_fmt yuv420p -c:a aac -map 0:v -map 1:a"},
        {"bars.mov", bars + "-c:v libx264 -g 30 -bf 2 -pix_fmt yuv420p"},
        {"faststart.mp4", bars + "-c:v libx264 -g 30 -bf 2 -pix_fmt yuv420p -movflags +faststart"},
        {"mjpeg.avi", bars + "-c:v mjpeg -q:v 2 -pix_fmt yuvj420p"},
        {"intra.mp4", bars + "-c:v libx264 -g 1 -pix_fmt yuv420p"},
        {"still.png", std::string(kBars) + " -frames:v 1"},
        {"still.jpg", std::string(kBars) + " -frames:v 1 -q:v 2"},
    };
    for (const Make& m : makes) {
        if (!Shell(ff + m.options + " " + Path(m.name))) {
            fProblem = std::string("ffmpeg could not make ") + m.name;
            return;
        }
    }
}

int BarsNumberFromRow(const uint8_t* gray, int step) {
    int n = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (gray[(bit * 16 + 8) * step] > 128) n |= 1 << bit;
    return n;
}

int BarsNumber(plat::PixelBuffer* buffer) {
    if (!buffer || buffer->Width() != 128 || buffer->Height() != 32) return -1;
    if (!buffer->Lock(plat::kPixelBufferLockReadOnly)) return -1;
    // Green of the middle row.
    int n = BarsNumberFromRow(buffer->BaseAddress() + 16 * buffer->BytesPerRow() + 1, 4);
    buffer->Unlock(plat::kPixelBufferLockReadOnly);
    return n;
}

void DrawBars(uint8_t* bgra, int width, int height, size_t bytesPerRow, int number) {
    const int bar = std::min(16, width / 8);
    uint32_t noise = 0x12345678u + uint32_t(number) * 2654435761u;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bgra + size_t(y) * bytesPerRow;
        for (int x = 0; x < width; ++x) {
            uint8_t v;
            if (bar > 0 && x < 8 * bar) {
                v = (number >> (x / bar)) & 1 ? 255 : 0;
            } else {
                noise = noise * 1664525u + 1013904223u;
                v = uint8_t(112 + (noise >> 28));
            }
            row[x * 4] = row[x * 4 + 1] = row[x * 4 + 2] = v;
            row[x * 4 + 3] = 255;
        }
    }
}

void DrawBars(plat::PixelBuffer* buffer, int number) {
    if (!buffer || !buffer->Lock(0)) return;
    DrawBars(buffer->BaseAddress(), buffer->Width(), buffer->Height(), buffer->BytesPerRow(), number);
    buffer->Unlock(0);
}

int BarsNumberIn(const uint8_t* bgra, int width, int height, size_t bytesPerRow) {
    const int bar = std::min(16, width / 8);
    if (bar < 2 || height < 1) return -1;
    const uint8_t* row = bgra + size_t(height / 2) * bytesPerRow;
    int n = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (row[(bit * bar + bar / 2) * 4 + 1] > 128) n |= 1 << bit;
    return n;
}

}  // namespace testsupport
