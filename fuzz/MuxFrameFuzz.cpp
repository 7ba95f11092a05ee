// Multiplexer stream bytes in random chunks through the frame reader: the first byte seeds the chunk
// sizes. Frames must lie inside the buffer and length 0 must stop the stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "Orbilume/CSources/Net/CFramedStream.h"

namespace {
struct ChunkedIO : CStreamIO {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint32_t seed;
    int32_t Send(const void*, uint32_t count) override { return int32_t(count); }
    int32_t Recv(void* buffer, uint32_t n) override {
        if (at >= size) return 0;
        seed = seed * 1103515245u + 12345u;
        uint32_t chunk = 1 + (seed >> 16) % 97;
        if (chunk > n) chunk = n;
        if (chunk > size - at) chunk = uint32_t(size - at);
        for (uint32_t i = 0; i < chunk; ++i) static_cast<uint8_t*>(buffer)[i] = data[at + i];
        at += chunk;
        return int32_t(chunk);
    }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    ChunkedIO io;
    io.seed = data[0];
    io.data = data + 1;
    io.size = size - 1;
    CFramedStream s(&io);
    uint8_t out[530];
    for (int i = 0; i < 100000; ++i) {
        CNetAddress a;
        const uint8_t* p = nullptr;
        int32_t n = s.ReceiveFrame(a, p);
        if (n < 0) break;
        if (n == 0) {
            if (io.at >= io.size) break;
            continue;
        }
        if (n > 65535 || !p) std::abort();
        s.Consume();
        (void)out;
    }
    if (s.ReceiveCapacity() > 8 + 65535 + 2048) std::abort();
    return 0;
}
