#pragma once

#include <cstdint>

// A width and height in pixels, with the fitting the media sources and video capture use.
struct USize {
    int32_t width = 0;
    int32_t height = 0;

    bool operator==(const USize&) const = default;

    // Without extend: the size scaled down, keeping its aspect, to fit the box (unchanged when it
    // fits). With extend: when the box is larger both ways, the size with one side lengthened to the
    // box's aspect; otherwise the box. A size or box with a side of 0 or less leaves size unchanged.
    // Products are taken in 64 bits.
    static USize AspectFit(USize size, USize box, bool extend);
};

// The device number of a video-input identifier (".videoinput" followed by decimal digits, 0 when
// none follow); -1 for any other identifier.
int32_t VideoInputIndex(const char* identifier);
