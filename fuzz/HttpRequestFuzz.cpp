// Drives one server connection without a socket over arbitrary bytes, delivered in pieces of
// pseudo-random sizes (seeded by the first byte), with a test route and a POST handler. Every
// answer must start with a status line (or be a simple request's body), and nothing may be written
// after the connection closed.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Orbilume/CSources/Http/HttpServer.h"

namespace {

class Sink : public HttpPostHandler {
public:
    Sink() : HttpPostHandler("/post") {}
    struct Receiver : HttpBodyReceiver {
        uint64_t bytes = 0;
    };
    std::unique_ptr<HttpBodyReceiver> Begin(const std::string& type) override {
        if (type == "refuse") return nullptr;
        return std::make_unique<Receiver>();
    }
    void Feed(HttpBodyReceiver& r, const uint8_t*, uint32_t length) override {
        static_cast<Receiver&>(r).bytes += length;
    }
    void Finish(HttpBodyReceiver& r, std::string& redirect) override {
        if (static_cast<Receiver&>(r).bytes == 1) redirect = "/one";
    }
    std::unique_ptr<HttpBodySource> ResponseBody(HttpBodyReceiver& r) override {
        if (static_cast<Receiver&>(r).bytes != 2) return nullptr;
        return std::make_unique<HttpMemoryBody>("two");
    }
};

class Pieces : public HttpBodySource {
public:
    int64_t Length() const override { return -1; }
    int32_t NextChunk(const uint8_t** out) override {
        static const uint8_t bytes[] = "abcdefgh";
        if (fLeft == 0) return 0;
        --fLeft;
        *out = bytes;
        return 8;
    }

private:
    int fLeft = 3;
};

class FuzzServer : public HttpServer {
public:
    explicit FuzzServer(LAsyncLoop* loop) : HttpServer(loop) { AddPostHandler(&fSink); }
    bool Route(const std::string& path, std::unique_ptr<HttpBodySource>* body, std::string& headers,
               HttpConnection& c) override {
        if (path == "/denied") {
            c.Request().status = HttpRequest::kUnauthorized;
            return false;
        }
        if (path == "/known") {
            body->reset(new HttpMemoryBody("hello"));
            headers = "X-A: b\r\n";
            return true;
        }
        if (path == "/pieces") {
            body->reset(new Pieces);
            return true;
        }
        return path == "/empty";
    }

private:
    Sink fSink;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 1 << 17) return 0;
    uint32_t seed = data[0] * 2654435761u + 1;
    ++data;
    --size;
    LAsyncLoop loop;
    FuzzServer server(&loop);
    HttpServer::Limits limits;
    limits.maxBody = 4096;
    server.SetLimits(limits);
    HttpConnection* c = server.OpenDetached();
    std::string output;
    size_t at = 0;
    for (int turns = 0; turns < 1 << 20; ++turns) {
        if (c->IsClosed()) break;
        if (c->IsWriting()) {
            const std::string& out = c->Output();
            const bool simple = c->Request().Has(HttpRequest::kSimple);
            if (out.empty() || (!simple && output.empty() && out.compare(0, 9, "HTTP/1.1 ") != 0))
                std::abort();
            output += out;
            server.WriteDone(*c);
            continue;
        }
        if (c->Unread() == 0 && at < size) {
            seed = seed * 1103515245u + 12345u;
            const size_t piece = 1 + (seed >> 16) % 64;
            at += server.Deliver(*c, data + at, uint32_t(std::min(piece, size - at)));
            continue;
        }
        break;
    }
    if (c->IsClosed() && c->IsWriting()) std::abort();
    // Every answer is bounded by what was asked: no endless output.
    if (output.size() > 1024 + size * 256) std::abort();
    return 0;
}
