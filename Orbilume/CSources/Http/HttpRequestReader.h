#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Common/Internet/CHeaderLineParser.h"

// The request line and headers of one HTTP request, and what they set.
struct HttpRequest {
    enum Method : uint8_t { kNone = 0, kGet = 1, kHead = 2, kPost = 3 };
    enum Flags : uint8_t {
        kSimple = 1,     // no version: the answer is the body alone
        kHttp11 = 2,     // the connection may persist
        kClose = 4,      // close after the response
        kExpect100 = 8,  // "Expect: 100-..." seen
        kChunked = 32,   // the response is sent chunked
    };
    // Status codes and their lines are in HttpServer.
    enum Status : uint8_t {
        kOk = 0,
        kNoContent = 1,
        kFound = 2,
        kBadRequest = 3,
        kBadLength = 4,
        kUnauthorized = 5,
        kForbidden = 6,
        kNotFound = 7,
        kServerError = 8,
        kNotImplemented = 9,
        kUnavailable = 10,
        kBadVersion = 11,
    };

    uint8_t method = kNone;
    uint8_t flags = 0;
    uint8_t status = kOk;
    std::string path;  // as sent (percent-encoded); the location of a redirect later
    std::string contentType;
    std::string extraHeaders;  // response headers, each ending in CR LF
    std::string user;
    std::string password;
    int64_t contentLength = -1;

    bool Has(uint8_t flag) const { return (flags & flag) != 0; }
    void Set(uint8_t flag) { flags = uint8_t(flags | flag); }
    void Fail(uint8_t code) {
        status = code;
        Set(kClose);
    }
};

// Reads the request line and the header block of one request from bytes fed one at a time, with
// no socket. Lines are bounded: the request line by kMaxLine, the header block by kMaxHead bytes
// and kMaxLines lines, one field by CHeaderLineParser::kMaxField; beyond, "400" and close.
class HttpRequestReader {
public:
    static constexpr uint32_t kMaxLine = 8 * 1024;
    static constexpr uint32_t kMaxHead = 32 * 1024;
    static constexpr uint32_t kMaxLines = 100;

    enum Result : int {
        kMore = 0,
        // The head is complete (or was cut off by an error): the request's status says which.
        kHeadDone = 1,
    };

    // Largest Content-Length accepted; more is answered 400.
    explicit HttpRequestReader(uint64_t maxBody = uint64_t(1) << 30) : fMaxBody(maxBody) {}

    // Starts the next request: fields emptied, the request line expected.
    void Reset();
    int Feed(uint8_t byte);

    HttpRequest& Request() { return fRequest; }
    const HttpRequest& Request() const { return fRequest; }
    // 0 request line, 1 headers.
    uint8_t Phase() const { return fPhase; }
    // True once a byte of the current request arrived.
    bool Started() const { return fPhase == 1 || !fLine.empty(); }

private:
    int EndRequestLine();
    int FeedHeader(uint8_t byte);
    void OnHeader(const std::string& name, const std::string& value);
    void ReadContentLength(const std::string& value);
    void ReadAuthorization(const std::string& value);

    HttpRequest fRequest;
    std::string fLine;
    std::optional<CHeaderLineParser> fHeaders;
    uint64_t fMaxBody;
    uint32_t fHeadBytes = 0;
    uint32_t fHeadLines = 0;
    uint8_t fPhase = 0;
};
