#include "Orbilume/CSources/Engine/CCtlInFft.h"

#include <cmath>

CCtlInFft::CCtlInFft() {
    const double step = 2 * 3.14159265358979323846 / kSize;
    for (uint32_t k = 0; k < kHalf; ++k) {
        const float c = static_cast<float>(std::cos(step * k));
        const float s = static_cast<float>(std::sin(step * k));
        fTwiddle[k] = {c, -s};
        fTwiddle[kHalf + k] = {c, s};
    }
    for (uint32_t i = 0; i < kSize; ++i) {
        uint32_t r = 0;
        for (uint32_t b = 0; b < kLog2Size; ++b)
            if (i & (1u << b)) r |= 1u << (kLog2Size - 1 - b);
        fBitRev[i] = static_cast<uint16_t>(r);
    }
}

void CCtlInFft::Forward(std::complex<float>* x) const {
    for (uint32_t span = 1, stride = kHalf; span < kSize; span <<= 1, stride >>= 1) {
        for (uint32_t start = 0; start < kSize; start += span << 1) {
            for (uint32_t j = 0; j < span; ++j) {
                const uint32_t a = start + j, b = a + span;
                const std::complex<float> t = fTwiddle[j * stride] * x[b];
                x[b] = x[a] - t;
                x[a] = x[a] + t;
            }
        }
    }
}
