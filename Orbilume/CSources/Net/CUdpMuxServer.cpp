#include "Orbilume/CSources/Net/CUdpMuxServer.h"

#include <unistd.h>

CUdpMuxServer::CUdpMuxServer() : fUdp(this, &Wake), fListener(this, &Wake) {
    // One step above the creator: relaying keeps up with the loops that read the frames.
    (void)fThread.Start(&Body, this, 1);
}

CUdpMuxServer::~CUdpMuxServer() {
    Stop();
    fStop.store(true);
    fWake.Set();
    fThread.Join();
}

void CUdpMuxServer::Wake(void* self, int) {
    static_cast<CUdpMuxServer*>(self)->fWake.Set();
}

bool CUdpMuxServer::Start(uint16_t port, const std::string& folder, const char* name, uint32_t bindAddress) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt) usleep(10000);
        CPsxMutex::Locker lock(fMutex);
        if (fUdp.IsOpen() && fListener.IsOpen()) return true;
        CNetAddress local = CNetAddress::IPv4(bindAddress, 0);
        if (fUdp.Open(port, CUdpSocket::kFamilyIPv4, 0, 0, bindAddress ? &local : nullptr) != 0) continue;
        if (fListener.Listen(folder, name) != CNamedStream::kOk) {
            fUdp.Close();
            continue;
        }
        fWake.Set();
        return true;
    }
    return false;
}

void CUdpMuxServer::Stop() {
    CPsxMutex::Locker lock(fMutex);
    fListener.Close();
    while (!fClients.empty()) RemoveClient(fClients.size() - 1);
    fUdp.Close();
}

bool CUdpMuxServer::IsServing() {
    CPsxMutex::Locker lock(fMutex);
    return fUdp.IsOpen();
}

uint32_t CUdpMuxServer::ClientCount() {
    CPsxMutex::Locker lock(fMutex);
    return uint32_t(fClients.size());
}

void CUdpMuxServer::RemoveClient(size_t index) {
    Client* c = fClients[index];
    fClients.erase(fClients.begin() + long(index));
    delete c->stream;
    delete c;
}

void CUdpMuxServer::Run() {
    while (!fStop.load()) {
        {
            CPsxMutex::Locker lock(fMutex);
            Turn();
        }
        // A turn that hit its datagram limit comes back at once; otherwise readiness wakes it.
        (void)fWake.WaitFor(100);
    }
}

void CUdpMuxServer::Turn() {
    if (!fUdp.IsOpen()) return;
    // New clients, up to the limit; those over it are closed at once.
    while (CNamedStream* s = fListener.Accept(this, &Wake)) {
        if (fClients.size() >= kMaxClients) {
            delete s;
            continue;
        }
        fClients.push_back(new Client(this, s));
    }
    // Network to clients, a bounded number per turn so that clients and new connections get their
    // share under a flood.
    uint32_t relayed = 0;
    for (; relayed < kMaxDatagramsPerTurn; ++relayed) {
        CNetAddress from;
        int32_t n = fUdp.RecvFrom(from, fDatagram, sizeof fDatagram);
        for (size_t i = fClients.size(); i-- > 0;) {
            if (fClients[i]->framed.SendFrame(from, fDatagram, n > 0 ? uint32_t(n) : 0) < 0) RemoveClient(i);
        }
        if (n <= 0) break;
    }
    if (relayed == kMaxDatagramsPerTurn) fWake.Set();
    // Clients to network, round robin.
    size_t count = fClients.size();
    if (fNext >= count) fNext = 0;
    for (size_t k = 0; k < count && !fClients.empty(); ++k) {
        size_t i = fNext % fClients.size();
        Client* c = fClients[i];
        bool broken = false;
        for (;;) {
            CNetAddress to;
            const uint8_t* payload;
            int32_t n = c->framed.ReceiveFrame(to, payload);
            if (n < 0) {
                broken = true;  // an error, the end, or a bad frame
                break;
            }
            if (n == 0) break;
            int32_t sent = fUdp.SendTo(to, payload, uint32_t(n));
            if (sent == 0) break;  // would block: the frame stays
            c->framed.Consume();
        }
        if (broken) {
            RemoveClient(i);
            if (!fClients.empty()) fNext = uint32_t(i % fClients.size());
            continue;
        }
        fNext = uint32_t((i + 1) % fClients.size());
    }
}
