#pragma once

#include <complex>
#include <cstdint>

// A radix-2 decimation-in-time FFT of 256 points: twiddle factors (the first half for the forward
// transform, the second half their conjugates for the inverse) and the bit-reversal table.
class CCtlInFft {
public:
    static constexpr uint32_t kLog2Size = 8;
    static constexpr uint32_t kSize = 1u << kLog2Size;
    static constexpr uint32_t kHalf = kSize / 2;

    CCtlInFft();

    // The position input i goes to before the transform.
    uint32_t BitReversed(uint32_t i) const { return fBitRev[i & (kSize - 1)]; }
    // In place, on input already in bit-reversed order.
    void Forward(std::complex<float>* data) const;

private:
    std::complex<float> fTwiddle[kSize];
    uint16_t fBitRev[kSize];
};
