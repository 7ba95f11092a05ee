#pragma once

#include <cstdint>
#include <string>

// The body of a response, handed out in pieces by the server's connection on the main thread. A
// source belongs to the connection that asked for it and is deleted when the body is complete or
// the connection ends.
class HttpBodySource {
public:
    enum Readiness : uint8_t { kReady, kWait, kFail };

    virtual ~HttpBodySource() = default;
    // Asked before the response head is written: kWait holds the head back (the owner calls
    // HttpServer::WakeConnections when that changes), kFail answers 503 without a body.
    virtual Readiness Prepare() { return kReady; }
    // Bytes of the whole body, or -1 when unknown (sent chunked to HTTP/1.1 clients).
    virtual int64_t Length() const = 0;
    // The next piece in *out: its length, 0 at the end, below 0 when it is not ready yet (the owner
    // then calls HttpServer::WakeConnections when it is). The piece stays valid until the next call.
    virtual int32_t NextChunk(const uint8_t** out) = 0;
};

// A body held in memory: its length is known and it is handed out as one piece.
class HttpMemoryBody : public HttpBodySource {
public:
    explicit HttpMemoryBody(std::string bytes) : fBytes(std::move(bytes)) {}
    int64_t Length() const override { return int64_t(fBytes.size()); }
    int32_t NextChunk(const uint8_t** out) override;

private:
    std::string fBytes;
    bool fGiven = false;
};

// A file read in pieces of up to kPiece bytes; its length is reported unknown. A read error ends
// the body early.
class HttpFileBody : public HttpBodySource {
public:
    static constexpr uint32_t kPiece = 16384;

    // Null when the path names no regular file that can be opened.
    static HttpFileBody* Open(const std::string& path);
    ~HttpFileBody() override;
    int64_t Length() const override { return -1; }
    int32_t NextChunk(const uint8_t** out) override;

private:
    explicit HttpFileBody(int fd) : fFd(fd) {}
    int fFd;
    uint8_t fPiece[kPiece];
};
