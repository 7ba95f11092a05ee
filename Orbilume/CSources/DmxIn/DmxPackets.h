#pragma once

#include <cstddef>
#include <cstdint>

// ArtDmx (Art-Net, UDP 6454) and E1.31 data packets (sACN, UDP 5568): builders and receive checks
// over plain byte spans. No sockets, no state.
namespace dmxpkt {

constexpr uint16_t kArtNetPort = 6454;
constexpr uint16_t kSAcnPort = 5568;

constexpr uint32_t kArtDmxHeader = 18;
constexpr uint32_t kArtDmxSize = kArtDmxHeader + 512;  // 530
constexpr uint32_t kE131Header = 125;
constexpr uint32_t kE131MaxSize = kE131Header + 513;  // 638
constexpr uint32_t kE131SourceNameSize = 64;
constexpr uint32_t kCidSize = 16;

// Fills out[0..530) with an ArtDmx packet for the 15-bit port address: 512 slots from slots[0..512)
// (slots may be null: zeros). Returns 530.
uint32_t BuildArtDmx(uint8_t out[kArtDmxSize], uint32_t universe, const uint8_t* slots);

struct E131Source {
    uint8_t cid[kCidSize] = {};           // the sender's UUID
    char name[kE131SourceNameSize] = {};  // UTF-8, NUL-terminated within 64 bytes
    uint8_t priority = 100;
};

// Fills out[0..p + 125) with an E1.31 data packet; p property values (start code then slots) come
// from values (null: zeros), p is clamped to 1..513. The packet carries universe + 1. Returns its
// length.
uint32_t BuildE131(uint8_t out[kE131MaxSize], uint32_t universe, uint8_t sequence, const uint8_t* values,
                   uint32_t p, const E131Source& source);

// An accepted ArtDmx: the port address (Net << 8 | SubUni) and Length slots at bytes 18...
struct ArtDmxView {
    uint16_t portAddress = 0;
    uint16_t length = 0;
    const uint8_t* slots = nullptr;
};

// Checks an ArtDmx of n received bytes: the "Art-Net\0" id, OpDmx, at least 18 bytes, Length at
// most 512 and 18 + Length within the received bytes.
[[nodiscard]] bool CheckArtDmx(const uint8_t* data, size_t n, ArtDmxView* out = nullptr);

// An E1.31 data packet that passed the layer checks.
struct E131View {
    uint8_t priority = 0;
    uint16_t universe = 0;
    uint16_t count = 0;               // property values, start code included (1..513)
    const uint8_t* values = nullptr;  // count bytes, start code first
};

// The ten layer checks of an E1.31 data packet of n received bytes.
[[nodiscard]] bool CheckE131(const uint8_t* data, size_t n, E131View* out = nullptr);

// What the sACN receiver hands on: a checked packet of the selected universe with a zero start code.
[[nodiscard]] bool AcceptE131(const uint8_t* data, size_t n, int32_t universe, E131View* out);

// What the application offers from Art-Net: a checked ArtDmx of the configured port address.
[[nodiscard]] bool AcceptArtDmx(const uint8_t* data, size_t n, uint16_t portAddress, ArtDmxView* out);

}  // namespace dmxpkt
