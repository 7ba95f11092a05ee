#pragma once

#include <cstdint>
#include <vector>

// Hand-made LTC for tests: biphase-mark cells of a fixed length, the level flipping at every cell
// boundary and once more in the middle of a one.
namespace ltctest {

struct Frame {
    uint8_t bytes[8] = {};
};

// The BCD fields of a time (other bits 0); fields may be out of range on purpose.
inline Frame MakeFrame(uint32_t h, uint32_t m, uint32_t s, uint32_t f) {
    Frame fr;
    fr.bytes[0] = uint8_t(f % 10);
    fr.bytes[1] = uint8_t(f / 10);
    fr.bytes[2] = uint8_t(s % 10);
    fr.bytes[3] = uint8_t(s / 10);
    fr.bytes[4] = uint8_t(m % 10);
    fr.bytes[5] = uint8_t(m / 10);
    fr.bytes[6] = uint8_t(h % 10);
    fr.bytes[7] = uint8_t(h / 10);
    return fr;
}

class BiphaseWriter {
public:
    // halfCell samples per half cell (12 at 48 kHz and 25 fps).
    explicit BiphaseWriter(int amplitude = 3000, uint32_t halfCell = 12)
        : fLevel(amplitude), fHalf(halfCell) {}

    void Bit(bool one) {
        fLevel = -fLevel;
        Emit();
        if (one) fLevel = -fLevel;
        Emit();
    }
    // 64 data bits, then the sync word 0011111111111101.
    void Write(const Frame& frame) {
        for (uint32_t k = 0; k < 64; ++k) Bit((frame.bytes[k / 8] >> (k % 8)) & 1);
        static const char kSync[] = "0011111111111101";
        for (const char* c = kSync; *c; ++c) Bit(*c == '1');
    }
    std::vector<int16_t> Take() {
        std::vector<int16_t> out;
        out.swap(fOut);
        return out;
    }

private:
    void Emit() {
        for (uint32_t i = 0; i < fHalf; ++i) fOut.push_back(int16_t(fLevel));
    }
    int fLevel;
    uint32_t fHalf;
    std::vector<int16_t> fOut;
};

}  // namespace ltctest
