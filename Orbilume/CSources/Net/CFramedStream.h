#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Orbilume/CSources/Net/CNetAddress.h"

// The byte stream a framed stream reads and writes (a Unix-domain stream socket; tests use memory).
// Send and Recv return bytes moved (> 0), 0 when the call would block, -1 on error or end of stream.
class CStreamIO {
public:
    virtual ~CStreamIO() = default;
    virtual int32_t Send(const void* data, uint32_t count) = 0;
    virtual int32_t Recv(void* buffer, uint32_t size) = 0;
};

// Datagrams framed on a stream, one frame each: [IPv4 BE 4][port BE 2][length BE 2, 1..65535]
// [payload]. Outgoing frames wait in a 512 KiB ring, each whole or not at all. Used from one thread
// at a time.
class CFramedStream {
public:
    enum : int32_t { kError = -1, kProtocolError = -2 };
    static constexpr uint32_t kHeader = 8;
    static constexpr uint32_t kRingSize = 1u << 19;

    explicit CFramedStream(CStreamIO* io);
    ~CFramedStream();
    CFramedStream(const CFramedStream&) = delete;
    CFramedStream& operator=(const CFramedStream&) = delete;

    // Flushes, queues the frame when n > 0 and it fits whole, flushes again. Negative when a flush
    // failed, n when queued, 0 when not (no room, or n == 0).
    int32_t SendFrame(const CNetAddress& address, const void* data, uint32_t n);
    // Sends what the ring holds until a send would block; the total sent, or negative on error.
    int32_t Flush();
    uint32_t Queued() const { return fWrite - fRead; }

    // The payload length of a complete frame (payload valid until Consume), 0 while the frame is
    // incomplete (what was read is kept), kError at an error or the end of the stream, and
    // kProtocolError for a header with length 0 (the stream cannot be resynchronised).
    int32_t ReceiveFrame(CNetAddress& address, const uint8_t*& payload);
    void Consume() { fHave = 0; }
    // ReceiveFrame, then copies at most size bytes and consumes the frame.
    int32_t Receive(CNetAddress& address, void* buffer, uint32_t size);

    // Forgets a partial frame and the queued bytes.
    void Reset();

    // Capacity of the receive buffer (bounded by the largest frame, 8 + 65535).
    size_t ReceiveCapacity() const { return fIn.capacity(); }

private:
    CStreamIO* fIo;
    std::vector<uint8_t> fIn;
    uint32_t fHave = 0;
    std::unique_ptr<uint8_t[]> fRing;
    uint32_t fRead = 0;
    uint32_t fWrite = 0;
};
