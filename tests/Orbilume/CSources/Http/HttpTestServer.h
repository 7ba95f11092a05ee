#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Orbilume/CSources/Http/HttpServer.h"

namespace httptest {

// A body of unknown length handed out in pieces of the given size.
class PiecesBody : public HttpBodySource {
public:
    PiecesBody(std::string bytes, size_t piece) : fBytes(std::move(bytes)), fPiece(piece) {}
    int64_t Length() const override { return -1; }
    int32_t NextChunk(const uint8_t** out) override {
        const size_t n = std::min(fPiece, fBytes.size() - fAt);
        *out = reinterpret_cast<const uint8_t*>(fBytes.data() + fAt);
        fAt += n;
        return int32_t(n);
    }

private:
    std::string fBytes;
    size_t fPiece;
    size_t fAt = 0;
};

// A body that never becomes ready.
class StalledBody : public HttpBodySource {
public:
    int64_t Length() const override { return -1; }
    int32_t NextChunk(const uint8_t** out) override {
        (void)out;
        return -1;
    }
};

// Routes: "/known" a memory body, "/unknown" a body of unknown length in pieces, "/file" the file
// at filePath, "/stall" a body never ready, "/none" a route without a body; everything else is not found.
// Counts the routes asked and remembers the last path.
class TestServer : public HttpServer {
public:
    explicit TestServer(LAsyncLoop* loop) : HttpServer(loop) {}

    std::string known = "hello";
    std::string unknown = "0123456789abcdefghij";
    std::string filePath;
    std::string lastPath;
    int routes = 0;

    bool Route(const std::string& path, std::unique_ptr<HttpBodySource>* body, std::string& headers,
               HttpConnection& connection) override {
        (void)connection;
        ++routes;
        lastPath = path;
        if (path == "/known") {
            body->reset(new HttpMemoryBody(known));
            headers = "Content-Type: text/plain\r\n";
            return true;
        }
        if (path == "/unknown") {
            body->reset(new PiecesBody(unknown, 7));
            return true;
        }
        if (path == "/file") {
            body->reset(HttpFileBody::Open(filePath));
            return bool(*body);
        }
        if (path == "/stall") {
            body->reset(new StalledBody);
            return true;
        }
        return path == "/none";
    }
};

// Runs a connection without a socket over the input, in pieces of at most chunk bytes; completes
// each write at once.
struct Exchange {
    std::string output;
    bool closed = false;
    size_t consumed = 0;
};

inline Exchange Drive(HttpServer& server, const std::string& input, size_t chunk = 16384) {
    Exchange e;
    HttpConnection* c = server.OpenDetached();
    const auto* bytes = reinterpret_cast<const uint8_t*>(input.data());
    for (;;) {
        if (c->IsClosed()) break;
        if (c->IsWriting()) {
            e.output += c->Output();
            server.WriteDone(*c);
            continue;
        }
        if (c->Unread() == 0 && e.consumed < input.size()) {
            const size_t n = std::min(chunk, input.size() - e.consumed);
            e.consumed += server.Deliver(*c, bytes + e.consumed, uint32_t(n));
            continue;
        }
        break;
    }
    e.closed = c->IsClosed();
    return e;
}

}  // namespace httptest
