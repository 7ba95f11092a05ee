#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Orbilume/CSources/Http/HttpBodySource.h"

// What a POST handler keeps while one request body is read; the connection owns it and deletes it
// when the request ends, also when the body was cut short (so a receiver cleans up in its
// destructor what Finish did not complete).
class HttpBodyReceiver {
public:
    virtual ~HttpBodyReceiver() = default;
};

// Serves POST requests to one path, compared exactly with the request path. Main thread; the
// server's derived class owns its handlers.
class HttpPostHandler {
public:
    explicit HttpPostHandler(std::string path) : fPath(std::move(path)) {}
    virtual ~HttpPostHandler() = default;
    HttpPostHandler(const HttpPostHandler&) = delete;
    HttpPostHandler& operator=(const HttpPostHandler&) = delete;

    const std::string& Path() const { return fPath; }

    // A new receiver for a body of the content type, or null to refuse the post.
    virtual std::unique_ptr<HttpBodyReceiver> Begin(const std::string& contentType) = 0;
    // The next bytes of the body, in order, as they arrive.
    virtual void Feed(HttpBodyReceiver& receiver, const uint8_t* bytes, uint32_t length) = 0;
    // The whole body was read; a handler may name a redirect target (a path).
    virtual void Finish(HttpBodyReceiver& receiver, std::string& redirect) {
        (void)receiver;
        (void)redirect;
    }
    // The response body, or null for none (answered "204 No Content." or the redirect).
    virtual std::unique_ptr<HttpBodySource> ResponseBody(HttpBodyReceiver& receiver) {
        (void)receiver;
        return nullptr;
    }

private:
    std::string fPath;
};
