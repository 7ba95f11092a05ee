#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Common/File/Crc32.h"

// Builds small PNG images chunk by chunk.
class PngBuilder {
public:
    PngBuilder() { fBytes.assign("\x89PNG\r\n\x1a\n", 8); }

    PngBuilder& Chunk(const char* type, const std::string& data) {
        Put32(static_cast<uint32_t>(data.size()));
        const std::string body = std::string(type, 4) + data;
        fBytes += body;
        Crc32 crc;
        crc.Update(body.data(), body.size());
        Put32(~crc.Value());
        return *this;
    }

    // A w×h 8-bit grey image: IHDR, the extra chunks, the data split over two IDATs, IEND.
    static std::string Grey(uint32_t w, uint32_t h,
                            const std::vector<std::pair<const char*, std::string>>& extra) {
        PngBuilder b;
        std::string ihdr;
        b.Be32(ihdr, w);
        b.Be32(ihdr, h);
        ihdr += std::string("\x08\x00\x00\x00\x00", 5);
        b.Chunk("IHDR", ihdr);
        for (const auto& [type, data] : extra) b.Chunk(type, data);
        std::string raw;
        for (uint32_t y = 0; y < h; ++y) {
            raw.push_back(0);
            for (uint32_t x = 0; x < w; ++x) raw.push_back(static_cast<char>(x * y));
        }
        std::vector<unsigned char> z(compressBound(raw.size()));
        uLongf zlen = z.size();
        compress(z.data(), &zlen, reinterpret_cast<const Bytef*>(raw.data()), raw.size());
        const std::string zs(reinterpret_cast<char*>(z.data()), zlen);
        b.Chunk("IDAT", zs.substr(0, zlen / 2)).Chunk("IDAT", zs.substr(zlen / 2)).Chunk("IEND", "");
        return b.fBytes;
    }

    static void Be32(std::string& s, uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) s.push_back(static_cast<char>(v >> shift));
    }

private:
    void Put32(uint32_t v) { Be32(fBytes, v); }
    std::string fBytes;
};
