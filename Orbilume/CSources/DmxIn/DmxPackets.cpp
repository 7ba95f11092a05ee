#include "Orbilume/CSources/DmxIn/DmxPackets.h"

#include <cstring>

#include "Platform/Foundation/Bytes.h"

namespace dmxpkt {

namespace {
constexpr uint8_t kArtNetId[8] = {'A', 'r', 't', '-', 'N', 'e', 't', 0};
constexpr uint16_t kOpDmx = 0x5000;
constexpr uint8_t kAcnId[12] = {'A', 'S', 'C', '-', 'E', '1', '.', '1', '7', 0, 0, 0};
}  // namespace

uint32_t BuildArtDmx(uint8_t out[kArtDmxSize], uint32_t universe, const uint8_t* slots) {
    std::memcpy(out, kArtNetId, 8);
    plat::StoreLE16(out + 8, kOpDmx);
    out[10] = 0;
    out[11] = 14;
    out[12] = 0;
    out[13] = 0;
    out[14] = uint8_t(universe & 0xFF);
    out[15] = uint8_t((universe >> 8) & 0x7F);
    plat::StoreBE16(out + 16, 512);
    if (slots)
        std::memcpy(out + kArtDmxHeader, slots, 512);
    else
        std::memset(out + kArtDmxHeader, 0, 512);
    return kArtDmxSize;
}

uint32_t BuildE131(uint8_t out[kE131MaxSize], uint32_t universe, uint8_t sequence, const uint8_t* values,
                   uint32_t p, const E131Source& source) {
    if (p < 1) p = 1;
    if (p > 513) p = 513;
    std::memset(out, 0, kE131Header);
    plat::StoreBE16(out + 0, 0x0010);
    plat::StoreBE16(out + 2, 0x0000);
    std::memcpy(out + 4, kAcnId, 12);
    plat::StoreBE16(out + 16, uint16_t(0x7000 | (p + 109)));
    plat::StoreBE32(out + 18, 4);
    std::memcpy(out + 22, source.cid, kCidSize);
    plat::StoreBE16(out + 38, uint16_t(0x7000 | (p + 87)));
    plat::StoreBE32(out + 40, 2);
    // The name is NUL-terminated inside its 64 bytes.
    size_t nameLen = strnlen(source.name, kE131SourceNameSize - 1);
    std::memcpy(out + 44, source.name, nameLen);
    out[108] = source.priority;
    plat::StoreBE16(out + 109, 0);
    out[111] = sequence;
    out[112] = 0;
    plat::StoreBE16(out + 113, uint16_t(universe + 1));
    plat::StoreBE16(out + 115, uint16_t(0x7000 | (p + 10)));
    out[117] = 0x02;
    out[118] = 0xA1;
    plat::StoreBE16(out + 119, 0);
    plat::StoreBE16(out + 121, 1);
    plat::StoreBE16(out + 123, uint16_t(p));
    if (values)
        std::memcpy(out + kE131Header, values, p);
    else
        std::memset(out + kE131Header, 0, p);
    return kE131Header + p;
}

bool CheckArtDmx(const uint8_t* data, size_t n, ArtDmxView* out) {
    if (n < 10) return false;
    if (std::memcmp(data, kArtNetId, 8) != 0) return false;
    if (plat::LoadLE16(data + 8) != kOpDmx) return false;
    if (n < kArtDmxHeader) return false;
    uint16_t length = plat::LoadBE16(data + 16);
    if (length > 512) return false;
    // Slots past the received bytes would be stale buffer contents.
    if (kArtDmxHeader + size_t(length) > n) return false;
    if (out) {
        out->portAddress = plat::LoadLE16(data + 14) & 0x7FFF;
        out->length = length;
        out->slots = data + kArtDmxHeader;
    }
    return true;
}

bool CheckE131(const uint8_t* data, size_t n, E131View* out) {
    if (n < kE131Header) return false;
    if (plat::LoadBE16(data + 0) != 0x0010) return false;
    if (data[2] != 0 || data[3] != 0) return false;
    if (std::memcmp(data + 4, "ASC-", 4) != 0) return false;
    if (plat::LoadBE32(data + 18) != 4) return false;
    if (plat::LoadBE32(data + 40) != 2) return false;
    if (data[117] != 0x02 || data[118] != 0xA1) return false;
    if (data[119] != 0 || data[120] != 0) return false;
    if (plat::LoadBE16(data + 121) != 1) return false;
    uint16_t count = plat::LoadBE16(data + 123);
    if (count < 1 || count > 513) return false;
    if (kE131Header + size_t(count) > n) return false;
    if (out) {
        out->priority = data[108];
        out->universe = plat::LoadBE16(data + 113);
        out->count = count;
        out->values = data + kE131Header;
    }
    return true;
}

bool AcceptE131(const uint8_t* data, size_t n, int32_t universe, E131View* out) {
    E131View v;
    if (!CheckE131(data, n, &v)) return false;
    if (universe < 0 || v.universe != uint32_t(universe)) return false;
    if (v.count == 0 || v.values[0] != 0) return false;
    if (out) *out = v;
    return true;
}

bool AcceptArtDmx(const uint8_t* data, size_t n, uint16_t portAddress, ArtDmxView* out) {
    ArtDmxView v;
    if (!CheckArtDmx(data, n, &v)) return false;
    if (v.portAddress != (portAddress & 0x7FFF)) return false;
    if (out) *out = v;
    return true;
}

}  // namespace dmxpkt
