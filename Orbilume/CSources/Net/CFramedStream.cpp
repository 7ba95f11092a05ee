#include "Orbilume/CSources/Net/CFramedStream.h"

#include <cstring>

#include "Platform/Foundation/Bytes.h"

CFramedStream::CFramedStream(CStreamIO* io) : fIo(io) {
    fIn.reserve(2048);
    fIn.resize(kHeader);
}

CFramedStream::~CFramedStream() = default;

void CFramedStream::Reset() {
    fHave = 0;
    fRead = fWrite = 0;
}

int32_t CFramedStream::Flush() {
    int32_t total = 0;
    while (fWrite != fRead) {
        uint32_t at = fRead & (kRingSize - 1);
        uint32_t used = fWrite - fRead;
        uint32_t run = kRingSize - at < used ? kRingSize - at : used;
        int32_t sent = fIo->Send(fRing.get() + at, run);
        if (sent < 0) return kError;
        if (sent == 0) break;
        fRead += uint32_t(sent);
        total += sent;
    }
    return total;
}

int32_t CFramedStream::SendFrame(const CNetAddress& address, const void* data, uint32_t n) {
    if (Flush() < 0) return kError;
    if (n == 0 || n > 65535) return 0;
    if (kRingSize - (fWrite - fRead) < kHeader + n) return 0;
    // The ring is made with the first frame sent: reading streams never need it.
    if (!fRing) fRing.reset(new uint8_t[kRingSize]);
    uint8_t header[kHeader];
    plat::StoreBE32(header, address.IPv4Address());
    plat::StoreBE16(header + 4, address.port);
    plat::StoreBE16(header + 6, uint16_t(n));
    auto put = [this](const uint8_t* p, uint32_t count) {
        while (count) {
            uint32_t at = fWrite & (kRingSize - 1);
            uint32_t run = kRingSize - at < count ? kRingSize - at : count;
            std::memcpy(fRing.get() + at, p, run);
            fWrite += run;
            p += run;
            count -= run;
        }
    };
    put(header, kHeader);
    put(static_cast<const uint8_t*>(data), n);
    if (Flush() < 0) return kError;
    return int32_t(n);
}

int32_t CFramedStream::ReceiveFrame(CNetAddress& address, const uint8_t*& payload) {
    while (fHave < kHeader) {
        int32_t got = fIo->Recv(fIn.data() + fHave, kHeader - fHave);
        if (got < 0) return kError;
        if (got == 0) return 0;
        fHave += uint32_t(got);
    }
    uint32_t n = plat::LoadBE16(fIn.data() + 6);
    if (n == 0) return kProtocolError;
    if (fIn.size() < kHeader + n) fIn.resize(kHeader + n);
    while (fHave < kHeader + n) {
        int32_t got = fIo->Recv(fIn.data() + fHave, kHeader + n - fHave);
        if (got < 0) return kError;
        if (got == 0) return 0;
        fHave += uint32_t(got);
    }
    address = CNetAddress::IPv4(plat::LoadBE32(fIn.data()), plat::LoadBE16(fIn.data() + 4));
    payload = fIn.data() + kHeader;
    return int32_t(n);
}

int32_t CFramedStream::Receive(CNetAddress& address, void* buffer, uint32_t size) {
    const uint8_t* payload = nullptr;
    int32_t n = ReceiveFrame(address, payload);
    if (n <= 0) return n;
    uint32_t copy = uint32_t(n) < size ? uint32_t(n) : size;
    std::memcpy(buffer, payload, copy);
    Consume();
    return int32_t(copy);
}
