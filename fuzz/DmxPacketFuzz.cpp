// Datagrams of any bytes through the ArtDmx and E1.31 checks and the receivers' filters, as they arrive:
// copied into the receivers' fixed buffers (530 and 638 bytes, longer datagrams cut). Every accepted
// slot span must lie inside the received bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Orbilume/CSources/DmxIn/DmxPackets.h"

namespace {
void Require(bool ok) {
    if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint8_t art[dmxpkt::kArtDmxSize];
    size_t an = size < sizeof art ? size : sizeof art;
    if (an) std::memcpy(art, data, an);
    dmxpkt::ArtDmxView a;
    if (dmxpkt::CheckArtDmx(art, an, &a)) {
        Require(a.slots == art + dmxpkt::kArtDmxHeader && dmxpkt::kArtDmxHeader + a.length <= an);
        Require(a.length <= 512);
    }
    uint16_t port = size >= 2 ? uint16_t(data[size - 1] | data[size - 2] << 8) : 0;
    if (dmxpkt::AcceptArtDmx(art, an, port, &a))
        Require(a.portAddress == (port & 0x7FFF) && dmxpkt::kArtDmxHeader + a.length <= an);

    uint8_t sacn[dmxpkt::kE131MaxSize];
    size_t sn = size < sizeof sacn ? size : sizeof sacn;
    if (sn) std::memcpy(sacn, data, sn);
    dmxpkt::E131View e;
    if (dmxpkt::CheckE131(sacn, sn, &e)) {
        Require(e.values == sacn + dmxpkt::kE131Header && dmxpkt::kE131Header + e.count <= sn);
        Require(e.count >= 1 && e.count <= 513);
    }
    int32_t universe = sn > 114 ? int32_t(sacn[113] << 8 | sacn[114]) : -1;
    if (dmxpkt::AcceptE131(sacn, sn, universe, &e)) {
        Require(e.universe == uint32_t(universe) && e.values[0] == 0);
        Require(dmxpkt::kE131Header + e.count <= sn);
    }
    return 0;
}
