#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plat {

// A pixel format, size and rate a capture node offers.
struct V4l2FormatOption {
    uint32_t fourcc = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    double fps = 0;
};

// The formats V4l2FrameConverter turns into BGRA.
bool V4l2CanConvert(uint32_t fourcc);

// The node's current format when it is usable, else the largest (by area) convertible option of at
// most 1920 x 1080 at 25 fps or more, else the largest convertible one within that size at any rate.
// False when nothing fits.
bool ChooseV4l2Format(const V4l2FormatOption* current, const std::vector<V4l2FormatOption>& options,
                      V4l2FormatOption& chosen);

// The bytes a frame of the format needs, for its rows of bytesPerLine; 0 for an unknown format or a
// stride too short for the width. MJPEG frames have no fixed size: 1.
size_t V4l2FrameBytes(uint32_t fourcc, uint32_t width, uint32_t height, uint32_t bytesPerLine);

}  // namespace plat
