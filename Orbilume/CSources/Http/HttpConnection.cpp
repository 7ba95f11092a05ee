#include "Orbilume/CSources/Http/HttpConnection.h"

#include "Orbilume/CSources/Net/CTCPPort.h"

HttpConnection::HttpConnection(std::unique_ptr<CTCPPort> port, uint64_t maxBody)
    : fPort(std::move(port)), fReader(maxBody) {}

// The receiver goes before the port and the body: its clean-up may still read the request.
HttpConnection::~HttpConnection() {
    fReceiver.reset();
}

uint32_t HttpConnection::LocalAddress() const {
    return fPort ? fPort->LocalAddr().IPv4Address() : 0;
}

uint32_t HttpConnection::PeerAddress() const {
    return fPort ? fPort->PeerAddr().IPv4Address() : 0;
}
