#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Hand-made OSC bytes for the tests.
namespace osctest {

inline std::string B(const char* bytes, size_t n) {
    return std::string(bytes, n);
}

inline std::string BE32(uint32_t v) {
    char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    return std::string(b, 4);
}

// "#bundle", the time tag, then each element with its size. extraSize is added to every element's
// size; overrun is added to the size of the last element only (a size that runs past the bundle).
inline std::string Bundle(uint64_t timeTag, const std::vector<std::string>& elements, uint32_t extraSize = 0,
                          uint32_t overrun = 0) {
    std::string out("#bundle\0", 8);
    out += BE32(uint32_t(timeTag >> 32)) + BE32(uint32_t(timeTag));
    for (size_t i = 0; i < elements.size(); ++i) {
        uint32_t size = uint32_t(elements[i].size()) + extraSize + (i + 1 == elements.size() ? overrun : 0);
        out += BE32(size) + elements[i];
    }
    return out;
}

inline std::string Hex(const std::string& s) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
        out += ' ';
    }
    return out;
}

}  // namespace osctest
