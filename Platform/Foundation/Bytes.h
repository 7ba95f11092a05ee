#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Byte-order loads and stores of unaligned memory, and four-character codes. Every reader and
// writer of a wire or file format uses these instead of shifting bytes by hand.
namespace plat {

inline uint16_t LoadBE16(const void* p) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return uint16_t((uint16_t(b[0]) << 8) | b[1]);
}
inline uint32_t LoadBE32(const void* p) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
}
inline uint64_t LoadBE64(const void* p) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return (uint64_t(LoadBE32(b)) << 32) | LoadBE32(b + 4);
}
// A big-endian unsigned number of n bytes (n at most 8), as variable-width binary formats store them.
inline uint64_t LoadBE(const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v = (v << 8) | b[i];
    return v;
}
inline uint16_t LoadLE16(const void* p) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return uint16_t(b[0] | (uint16_t(b[1]) << 8));
}
inline uint32_t LoadLE32(const void* p) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return b[0] | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}
inline uint64_t LoadLE64(const void* p) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return LoadLE32(b) | (uint64_t(LoadLE32(b + 4)) << 32);
}

inline void StoreBE16(void* p, uint16_t v) {
    uint8_t* b = static_cast<uint8_t*>(p);
    b[0] = uint8_t(v >> 8);
    b[1] = uint8_t(v);
}
inline void StoreBE32(void* p, uint32_t v) {
    uint8_t* b = static_cast<uint8_t*>(p);
    b[0] = uint8_t(v >> 24);
    b[1] = uint8_t(v >> 16);
    b[2] = uint8_t(v >> 8);
    b[3] = uint8_t(v);
}
inline void StoreBE64(void* p, uint64_t v) {
    uint8_t* b = static_cast<uint8_t*>(p);
    StoreBE32(b, uint32_t(v >> 32));
    StoreBE32(b + 4, uint32_t(v));
}
inline void StoreLE16(void* p, uint16_t v) {
    uint8_t* b = static_cast<uint8_t*>(p);
    b[0] = uint8_t(v);
    b[1] = uint8_t(v >> 8);
}
inline void StoreLE32(void* p, uint32_t v) {
    uint8_t* b = static_cast<uint8_t*>(p);
    b[0] = uint8_t(v);
    b[1] = uint8_t(v >> 8);
    b[2] = uint8_t(v >> 16);
    b[3] = uint8_t(v >> 24);
}
inline void StoreLE64(void* p, uint64_t v) {
    uint8_t* b = static_cast<uint8_t*>(p);
    StoreLE32(b, uint32_t(v));
    StoreLE32(b + 4, uint32_t(v >> 32));
}

// Four-character codes are stored big-endian: 'TPNG' is the bytes "TPNG".
// The code of a four-character literal, usable in constant expressions: FourCC("TPNG").
constexpr uint32_t FourCC(const char (&text)[5]) {
    return (uint32_t(uint8_t(text[0])) << 24) | (uint32_t(uint8_t(text[1])) << 16) |
           (uint32_t(uint8_t(text[2])) << 8) | uint32_t(uint8_t(text[3]));
}
inline uint32_t LoadFourCC(const void* p) { return LoadBE32(p); }
inline void StoreFourCC(void* p, uint32_t code) { StoreBE32(p, code); }
// The code of a four-byte text ("TPNG" -> 'TPNG'); text shorter than four bytes is padded with blanks.
inline uint32_t FourCCFromText(const char* text) {
    char b[4] = {' ', ' ', ' ', ' '};
    for (int i = 0; i < 4 && text && text[i]; ++i) b[i] = text[i];
    return LoadBE32(b);
}
// Writes the four characters and a NUL into out.
inline void FourCCToText(uint32_t code, char out[5]) {
    StoreBE32(out, code);
    out[4] = 0;
}

}  // namespace plat
