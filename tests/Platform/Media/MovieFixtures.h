#pragma once

#include <cstdint>
#include <string>

#include "tests/support/BackgroundCommand.h"
#include "tests/support/TempDir.h"

namespace plat {
class PixelBuffer;
}

namespace testsupport {

// Small movies made by the ffmpeg program once per test binary: 128x32, 30 fps, 3 s, the frame
// number written as eight bars of 16 pixels (bit k at x = 16k..16k+15, white = 1).
class MovieFixtures {
public:
    static const MovieFixtures& Get();
    // Empty when ffmpeg is missing or failed.
    const std::string& Problem() const { return fProblem; }
    std::string Path(const std::string& name) const { return fDir.File(name); }

    static constexpr int kFrames = 90;
    static constexpr double kRate = 30;

private:
    MovieFixtures();
    TempDir fDir;
    std::string fProblem;
};

bool Shell(const std::string& command);
// The frame number read from the bars of a 128x32 BGRA buffer, -1 for none.
int BarsNumber(plat::PixelBuffer* buffer);
// The number read from gray pixels of one 128-wide row.
int BarsNumberFromRow(const uint8_t* gray, int strideBytesPerPixel);
// Any size of BGRA picture: the number drawn as eight bars of min(16, width / 8) pixels from the left
// (white = 1, black = 0), full height; the rest of each row a mid grey with a little noise.
void DrawBars(plat::PixelBuffer* buffer, int number);
void DrawBars(uint8_t* bgra, int width, int height, size_t bytesPerRow, int number);
// The number read from the middle row of such a picture (lossy tolerance: green above 128 is 1).
int BarsNumberIn(const uint8_t* bgra, int width, int height, size_t bytesPerRow);

}  // namespace testsupport
