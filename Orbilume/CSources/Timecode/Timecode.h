#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A time of day as hours, minutes, seconds and frames at a frame-rate code: 24, 25, 29 (29.97
// drop-frame), 30, 100 (hundredths of a second) or 1 (whole seconds, no frame field). 8 bytes,
// copied by value.
struct Timecode {
    uint32_t code = 30;
    uint8_t hours = 0;
    uint8_t minutes = 0;
    uint8_t seconds = 0;
    uint8_t frames = 0;

    // Frames per second of a code: the code itself for 1, 24, 25 and 100, else 30.
    static uint32_t FramesPerSecond(uint32_t code);
    uint32_t Fps() const { return FramesPerSecond(code); }

    void Init(uint32_t rateCode);
    void Set(uint8_t h, uint8_t m, uint8_t s, uint8_t f);
    bool Equals(const Timecode& other) const;

    // Units since midnight (frames rounded to units; code 29 counts real 29.97 time).
    uint32_t ToCount(uint32_t unitsPerSecond) const;
    // Sets the fields from a count; the code stays. Half a frame is added and the day wraps.
    void FromCount(uint32_t count, uint32_t unitsPerSecond);
    // Converts to another code through milliseconds.
    void SetRate(uint32_t rateCode);

    // "hh:mm:ss:ff" ("hh:mm:ss.ff" at code 100, "hh:mm:ss" at code 1).
    std::string Format() const;
    // Reads "[-]h:m:s:f" (fields may be left out); returns -1 when the text starts with "-", else 1.
    // The fields are set, the code stays. Any bytes are accepted.
    int Parse(std::string_view text);
    // The milliseconds the fields of such a text add up to, not wrapped into the day (each field
    // counts at most 1,000,000); *sign (when given) gets -1 for a leading "-", else 1.
    static uint64_t ParseMilliseconds(std::string_view text, uint32_t rateCode, int* sign = nullptr);
};

static_assert(sizeof(Timecode) == 8);
