#pragma once

#include <cstdint>
#include <string>
#include <vector>

// LTC made by libltc's encoder (the peer of LtcDecoder).
namespace ltcpeer {

struct Time {
    int h, m, s, f;
    friend bool operator==(const Time&, const Time&) = default;
};

// `frames` frames at 25 fps from `start`, as 16-bit mono samples at `rate`, at `dbfs` volume.
// Returns false without libltc.
bool Generate(const Time& start, uint32_t frames, uint32_t rate, double dbfs, std::vector<int16_t>& samples,
              std::vector<Time>& times);
// Writes 16-bit mono PCM as a WAV file.
bool WriteWav(const std::string& path, const std::vector<int16_t>& samples, uint32_t rate);
// Reads a WAV file through sox as 16-bit mono at its own rate.
bool ReadThroughSox(const std::string& path, std::vector<int16_t>& samples);

}  // namespace ltcpeer
