#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Orbilume/CSources/Http/HttpBodySource.h"
#include "Orbilume/CSources/Http/HttpPostHandler.h"
#include "Orbilume/CSources/Http/HttpRequestReader.h"

class CTCPPort;

// One accepted connection of an HttpServer: its port, the 16 KiB receive buffer, the request being
// read and the response being written (one write in flight). The server runs it on the main
// thread; a connection without a port is fed and drained by hand (tests, fuzz target).
class HttpConnection {
public:
    static constexpr uint32_t kBufferSize = 16384;
    enum Phase : uint8_t { kRequestLine, kHeaders, kContinue, kBody, kWriteHead, kWriteBody };

    HttpConnection(std::unique_ptr<CTCPPort> port, uint64_t maxBody);
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    CTCPPort* Port() const { return fPort.get(); }
    const HttpRequest& Request() const { return fReader.Request(); }
    HttpRequest& Request() { return fReader.Request(); }
    uint8_t Phase() const { return fPhase; }
    bool IsClosed() const { return fClosed; }
    // Local and peer IPv4 addresses in host order (0 without a port).
    uint32_t LocalAddress() const;
    uint32_t PeerAddress() const;

    // Unread bytes of the receive buffer.
    uint32_t Unread() const { return fCount - fIndex; }
    // The bytes of the write in flight (a connection without a port keeps them until
    // HttpServer::WriteDone).
    bool IsWriting() const { return fWriting; }
    const std::string& Output() const { return fOut; }

private:
    friend class HttpServer;

    std::unique_ptr<CTCPPort> fPort;
    HttpRequestReader fReader;
    std::unique_ptr<HttpBodySource> fBody;
    std::unique_ptr<HttpBodyReceiver> fReceiver;
    HttpPostHandler* fHandler = nullptr;  // of the receiver
    std::string fOut;                     // the bytes of the write in flight, or being assembled
    int64_t fResponseLength = -1;         // of the response body, -1 unknown
    uint64_t fTransferred = 0;
    uint32_t fCount = 0;
    uint32_t fIndex = 0;
    uint32_t fLastByteMs = 0;  // loop time of the last received bytes
    uint32_t fWriteMs = 0;     // loop time the response last made progress (head due, a write started)
    uint32_t fReadsInARow = 0;
    uint8_t fPhase = kRequestLine;
    bool fBodyDone = false;
    bool fWriting = false;
    bool fClosed = false;  // CloseConnection was called
    bool fDead = false;    // the port ended; deleted by the server's next service pass
    uint8_t fBuffer[kBufferSize];
};
