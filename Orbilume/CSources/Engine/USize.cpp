#include "Orbilume/CSources/Engine/USize.h"

#include <cstring>

namespace {

int32_t Narrow(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

}  // namespace

USize USize::AspectFit(USize size, USize box, bool extend) {
    if (size.width <= 0 || size.height <= 0 || box.width <= 0 || box.height <= 0) return size;
    const int64_t sw = size.width, sh = size.height, bw = box.width, bh = box.height;
    if (!extend) {
        if (sw <= bw && sh <= bh) return size;
        if (bw * sh < bh * sw) return {box.width, Narrow((sw / 2 + bw * sh) / sw)};
        return {Narrow((sh / 2 + bh * sw) / sh), box.height};
    }
    if (bw > sw && bh > sh) {
        if (bw * sh >= bh * sw) return {Narrow((bh / 2 + bw * sh) / bh), size.height};
        return {size.width, Narrow((bw / 2 + bh * sw) / bw)};
    }
    return box;
}

int32_t VideoInputIndex(const char* identifier) {
    static constexpr char kPrefix[] = ".videoinput";
    constexpr size_t kLength = sizeof kPrefix - 1;
    if (!identifier || std::strncmp(identifier, kPrefix, kLength) != 0) return -1;
    int64_t n = 0;
    for (const char* p = identifier + kLength; *p >= '0' && *p <= '9'; ++p) {
        n = n * 10 + (*p - '0');
        if (n > INT32_MAX) return INT32_MAX;
    }
    return static_cast<int32_t>(n);
}
