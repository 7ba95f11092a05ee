#include "Orbilume/CSources/Led/UDimNaming.h"

#include <algorithm>

namespace {

bool Kept(unsigned char c) {
    return c >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == ' ' || c == '(' || c == ')' || c == '-' || c == '_';
}

}  // namespace

std::string UDimNaming::Clean(std::string_view typed) {
    std::string out;
    out.reserve(std::min(typed.size(), kMaxBytes));
    for (char c : typed) out.push_back(Kept(static_cast<unsigned char>(c)) ? c : '_');
    if (out.size() <= kMaxBytes) return out;
    // A cut inside a multi-byte character drops the whole character.
    size_t end = kMaxBytes;
    while (end > 0 && (static_cast<unsigned char>(out[end]) & 0xC0) == 0x80) --end;
    out.resize(end);
    return out;
}
