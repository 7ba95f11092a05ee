#include "tests/Orbilume/CSources/Sound/LtcGenerator.h"

#ifndef ORBILUME_NO_LIBLTC
#include <ltc.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace ltcpeer {

bool Generate(const Time& start, uint32_t frames, uint32_t rate, double dbfs, std::vector<int16_t>& samples,
              std::vector<Time>& times) {
#ifdef ORBILUME_NO_LIBLTC
    (void)start, (void)frames, (void)rate, (void)dbfs, (void)samples, (void)times;
    return false;
#else
    LTCEncoder* e = ltc_encoder_create(rate, 25, LTC_TV_625_50, 0);
    if (!e) return false;
    ltc_encoder_set_volume(e, dbfs);
    SMPTETimecode tc{};
    std::snprintf(tc.timezone, sizeof tc.timezone, "+0000");
    tc.hours = uint8_t(start.h);
    tc.mins = uint8_t(start.m);
    tc.secs = uint8_t(start.s);
    tc.frame = uint8_t(start.f);
    ltc_encoder_set_timecode(e, &tc);
    std::vector<ltcsnd_sample_t> buffer(ltc_encoder_get_buffersize(e));
    for (uint32_t i = 0; i < frames; ++i) {
        ltc_encoder_get_timecode(e, &tc);
        times.push_back({tc.hours, tc.mins, tc.secs, tc.frame});
        ltc_encoder_encode_frame(e);
        int n = ltc_encoder_copy_buffer(e, buffer.data());
        // Unsigned 8-bit around 128 to signed 16-bit.
        for (int k = 0; k < n; ++k) samples.push_back(int16_t((int(buffer[size_t(k)]) - 128) * 256));
        ltc_encoder_inc_timecode(e);
    }
    ltc_encoder_free(e);
    return true;
#endif
}

bool WriteWav(const std::string& path, const std::vector<int16_t>& samples, uint32_t rate) {
    std::ofstream f(path, std::ios::binary);
    auto u32 = [&](uint32_t v) {
        char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
        f.write(b, 4);
    };
    auto u16 = [&](uint16_t v) {
        char b[2] = {char(v), char(v >> 8)};
        f.write(b, 2);
    };
    const uint32_t data = uint32_t(samples.size() * 2);
    f.write("RIFF", 4);
    u32(36 + data);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    f.write("data", 4);
    u32(data);
    for (int16_t s : samples) u16(uint16_t(s));
    return bool(f);
}

bool ReadThroughSox(const std::string& path, std::vector<int16_t>& samples) {
    const std::string raw = path + ".raw";
    const std::string cmd = "sox '" + path + "' -t raw -e signed -b 16 -c 1 -L '" + raw + "'";
    if (std::system(cmd.c_str()) != 0) return false;
    std::ifstream f(raw, std::ios::binary);
    char b[2];
    while (f.read(b, 2)) samples.push_back(int16_t(uint8_t(b[0]) | (uint8_t(b[1]) << 8)));
    return true;
}

}  // namespace ltcpeer
