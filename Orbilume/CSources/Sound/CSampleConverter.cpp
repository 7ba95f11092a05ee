#include "Orbilume/CSources/Sound/CSampleConverter.h"

#include "Platform/Foundation/Bytes.h"

namespace {

// The two most significant bytes of a sample, as an unsigned 16-bit value.
template <uint32_t B, bool BigEndian>
inline uint32_t Top16(const uint8_t* p) {
    if constexpr (BigEndian) return plat::LoadBE16(p);
    return plat::LoadLE16(p + (B - 2));
}

template <uint32_t B, bool BigEndian, bool Signed>
int ReadOne(const uint8_t* p) {
    if constexpr (B == 1) {
        return Signed ? int(int8_t(p[0])) * 257 : int(p[0]) * 257 - 32896;
    } else {
        uint32_t u = Top16<B, BigEndian>(p);
        return Signed ? int(int16_t(uint16_t(u))) : int(u) - 32768;
    }
}

template <uint32_t B, bool BigEndian, bool Signed>
int ReadMix(const uint8_t* p) {
    if constexpr (B == 1) {
        int a = Signed ? int(int8_t(p[0])) : int(p[0]);
        int b = Signed ? int(int8_t(p[1])) : int(p[1]);
        return (a + b) * 128 - (Signed ? 0 : 32768);
    } else if constexpr (Signed) {
        int a = int16_t(uint16_t(Top16<B, BigEndian>(p)));
        int b = int16_t(uint16_t(Top16<B, BigEndian>(p + B)));
        return (a + b) / 2;
    } else {
        int a = int(Top16<B, BigEndian>(p));
        int b = int(Top16<B, BigEndian>(p + B));
        return (a + b) / 2 - 32768;
    }
}

template <uint32_t B, bool BigEndian, bool Signed>
void WriteOne(uint8_t* p, int v) {
    if constexpr (B == 1) {
        p[0] = uint8_t(v / 256) ^ (Signed ? 0 : 0x80);
    } else {
        uint8_t h = uint8_t(v >> 8) ^ (Signed ? 0 : 0x80);
        uint8_t l = uint8_t(v & 0xFF);
        for (uint32_t i = 0; i < B; ++i) p[i] = 0;
        if constexpr (BigEndian) {
            p[0] = h;
            p[1] = l;
        } else {
            p[B - 1] = h;
            p[B - 2] = l;
        }
    }
}

template <uint32_t B, bool BigEndian, bool Signed>
void WriteMix(uint8_t* p, int v) {
    WriteOne<B, BigEndian, Signed>(p, v);
    WriteOne<B, BigEndian, Signed>(p + B, v);
}

int ReadNothing(const uint8_t*) {
    return 0;
}
void WriteNothing(uint8_t*, int) {}

// Indexed by (B − 1) × 4 + column × 2 + signed, column 0 big-endian and 1 little-endian.
#define SAMPLE_ROW(F, B) F<B, true, false>, F<B, true, true>, F<B, false, false>, F<B, false, true>
#define SAMPLE_TABLE(F) \
    { SAMPLE_ROW(F, 1), SAMPLE_ROW(F, 2), SAMPLE_ROW(F, 3), SAMPLE_ROW(F, 4) }
const CSampleConverter::Reader kReadOne[16] = SAMPLE_TABLE(ReadOne);
const CSampleConverter::Reader kReadMix[16] = SAMPLE_TABLE(ReadMix);
const CSampleConverter::Writer kWriteOne[16] = SAMPLE_TABLE(WriteOne);
const CSampleConverter::Writer kWriteMix[16] = SAMPLE_TABLE(WriteMix);
#undef SAMPLE_TABLE
#undef SAMPLE_ROW

}  // namespace

CSampleConverter::CSampleConverter() {
    Select(kLittleEndian, true, 16, 1, 0);
}

void CSampleConverter::Select(uint32_t column, bool isSigned, uint32_t bits, uint32_t channels,
                              uint32_t channel) {
    fChannel = 0;
    fOffset = 0;
    fStride = kNullStride;
    fReader = ReadNothing;
    fWriter = WriteNothing;
    if (bits < 1 || bits > 32 || column > 1) return;
    const uint32_t bytes = (bits + 7) / 8;
    const uint32_t index = (bytes - 1) * 4 + column * 2 + (isSigned ? 1 : 0);
    if (channel < channels) {
        fChannel = channel;
        fOffset = channel * bytes;
        fStride = channels * bytes;
        fReader = kReadOne[index];
        fWriter = kWriteOne[index];
    } else if (channel == kMix && channels == 1) {
        fStride = bytes;
        fReader = kReadOne[index];
        fWriter = kWriteOne[index];
    } else if (channel == kMix && channels >= 2) {
        fStride = channels * bytes;
        fReader = kReadMix[index];
        fWriter = kWriteMix[index];
    }
}

bool CSampleConverter::IsNull() const {
    return fReader == ReadNothing;
}
