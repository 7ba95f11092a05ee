#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "Orbilume/CSources/Net/CFramedStream.h"

namespace {

// A memory stream: Recv hands out queued bytes at most `chunk` at a time; Send takes at most
// `room` bytes before it would block.
struct MemoryIO : CStreamIO {
    std::deque<uint8_t> in;
    std::vector<uint8_t> out;
    uint32_t chunk = 1u << 30;
    uint32_t room = 1u << 30;
    bool broken = false;
    int32_t Send(const void* data, uint32_t count) override {
        if (broken) return -1;
        uint32_t n = count < room ? count : room;
        auto* p = static_cast<const uint8_t*>(data);
        out.insert(out.end(), p, p + n);
        room -= n;
        return int32_t(n);
    }
    int32_t Recv(void* buffer, uint32_t size) override {
        if (in.empty()) return broken ? -1 : 0;
        uint32_t n = size;
        if (n > chunk) n = chunk;
        if (n > in.size()) n = uint32_t(in.size());
        for (uint32_t i = 0; i < n; ++i) {
            static_cast<uint8_t*>(buffer)[i] = in.front();
            in.pop_front();
        }
        return int32_t(n);
    }
};

std::vector<uint8_t> Frame(uint32_t ip, uint16_t port, const std::string& payload) {
    std::vector<uint8_t> f = {uint8_t(ip >> 24),
                              uint8_t(ip >> 16),
                              uint8_t(ip >> 8),
                              uint8_t(ip),
                              uint8_t(port >> 8),
                              uint8_t(port),
                              uint8_t(payload.size() >> 8),
                              uint8_t(payload.size())};
    f.insert(f.end(), payload.begin(), payload.end());
    return f;
}

TEST(CFramedStream, SendFrameWritesTheWireFormat) {
    MemoryIO io;
    CFramedStream s(&io);
    EXPECT_EQ(s.SendFrame(CNetAddress::IPv4(0x0A000102, 6454), "abc", 3), 3);
    EXPECT_EQ(io.out, Frame(0x0A000102, 6454, "abc"));
    EXPECT_EQ(s.SendFrame(CNetAddress::IPv4(1, 2), "", 0), 0);
}

TEST(CFramedStream, FramesSplitAnywhereAreReassembled) {
    std::vector<uint8_t> wire = Frame(0x7F000001, 1234, "hello");
    auto second = Frame(0x0A000002, 6454, std::string(600, 'x'));
    wire.insert(wire.end(), second.begin(), second.end());
    for (uint32_t chunk : {1u, 3u, 7u, 8u, 9u, 100u, 10000u}) {
        MemoryIO io;
        io.chunk = chunk;
        CFramedStream s(&io);
        std::vector<std::string> got;
        std::vector<uint8_t> pending = wire;
        // Bytes arrive a few at a time; each arrival is followed by one read attempt.
        for (size_t at = 0; at < pending.size() || !io.in.empty();) {
            for (uint32_t i = 0; i < 5 && at < pending.size(); ++i) io.in.push_back(pending[at++]);
            CNetAddress a;
            uint8_t buf[530];
            int32_t n;
            while ((n = s.Receive(a, buf, sizeof buf)) > 0) got.emplace_back(reinterpret_cast<char*>(buf), n);
            ASSERT_EQ(n, 0) << chunk;
        }
        ASSERT_EQ(got.size(), 2u) << chunk;
        EXPECT_EQ(got[0], "hello");
        // A 600-byte datagram read into 530 bytes gives its first 530.
        EXPECT_EQ(got[1], std::string(530, 'x'));
    }
}

TEST(CFramedStream, LengthZeroIsAProtocolError) {
    MemoryIO io;
    auto bad = Frame(1, 2, "");
    io.in.assign(bad.begin(), bad.end());
    CFramedStream s(&io);
    CNetAddress a;
    const uint8_t* p;
    EXPECT_EQ(s.ReceiveFrame(a, p), CFramedStream::kProtocolError);
    // It stays an error (the stream is dropped by its owner), never "no frame yet".
    EXPECT_EQ(s.ReceiveFrame(a, p), CFramedStream::kProtocolError);
}

TEST(CFramedStream, LargestFrameBoundsTheBuffer) {
    MemoryIO io;
    auto f = Frame(1, 2, std::string(65535, 'y'));
    io.in.assign(f.begin(), f.end());
    io.in.insert(io.in.end(), f.begin(), f.end());
    CFramedStream s(&io);
    CNetAddress a;
    const uint8_t* p;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(s.ReceiveFrame(a, p), 65535);
        s.Consume();
    }
    EXPECT_LE(s.ReceiveCapacity(), 8u + 65535u + 65535u);
    EXPECT_EQ(s.ReceiveFrame(a, p), 0);
    io.broken = true;
    EXPECT_EQ(s.ReceiveFrame(a, p), CFramedStream::kError);
}

TEST(CFramedStream, FullRingDropsWholeDatagrams) {
    MemoryIO io;
    io.room = 0;
    CFramedStream s(&io);
    std::string payload(1000, 'z');
    uint32_t queued = 0;
    while (s.SendFrame(CNetAddress::IPv4(1, 1), payload.data(), 1000) == 1000) ++queued;
    EXPECT_EQ(queued, CFramedStream::kRingSize / 1008);
    EXPECT_EQ(s.Queued(), queued * 1008);
    // Once the peer reads, the ring drains in order, whole frames only.
    io.room = 1u << 30;
    EXPECT_EQ(s.Flush(), int32_t(queued * 1008));
    ASSERT_EQ(io.out.size(), queued * 1008);
    for (uint32_t i = 0; i < queued; ++i) EXPECT_EQ(io.out[i * 1008 + 7], 1000 & 0xFF);
    io.broken = true;
    EXPECT_LT(s.SendFrame(CNetAddress::IPv4(1, 1), "q", 1), 0);
}

}  // namespace
