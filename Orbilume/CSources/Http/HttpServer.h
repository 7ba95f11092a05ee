#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Orbilume/CSources/Http/HttpBodySource.h"
#include "Orbilume/CSources/Http/HttpConnection.h"
#include "Orbilume/CSources/Http/HttpPostHandler.h"

class CTCPPort;
class LAsyncEvent;
class LAsyncLoop;
class LAsyncTimer;

// A small HTTP/1.1 server on one TCP port: GET, HEAD and POST, persistent connections for 1.1
// clients, chunked responses of unknown length, the interim 100 (Continue) response, Basic
// credentials and "/" redirected to "/index.html". A derived class supplies the bodies (Route),
// the access check and the POST handlers (registered by path, owned by it). Connections are
// bounded in number, in request size and in idle time. Main thread only: port messages, the idle
// timer and the service event all arrive there.
class HttpServer : public LHandler {
public:
    struct Limits {
        uint64_t maxBody = uint64_t(1) << 30;  // largest POST body; more is answered 400 unread
        uint32_t idleMs = 30000;               // a connection waiting this long for request bytes is closed
        uint32_t writeMs = 30000;      // a connection whose write makes no progress this long is closed
        uint32_t maxConnections = 64;  // more are closed at accept
        int backlog = 16;
    };

    explicit HttpServer(LAsyncLoop* loop);
    ~HttpServer() override;

    // The port's result: 0 ok, 2 error, 3 address in use. Binds the wildcard unless a local IPv4
    // address (host order) is given; port 0 lets the kernel choose (see Port()).
    [[nodiscard]] int Listen(uint16_t port, uint32_t localAddress = 0);
    void Stop();
    // The listening port, -1 when not listening.
    int Port() const { return fPort; }

    void SetLimits(const Limits& limits) { fLimits = limits; }
    const Limits& GetLimits() const { return fLimits; }
    // Borrowed: the handler outlives the server's use of it.
    void AddPostHandler(HttpPostHandler* handler) { fHandlers.push_back(handler); }
    // Runs every connection again soon (a body source that answered "not ready" has data now).
    void WakeConnections();
    uint32_t ConnectionCount() const;

    LMessage Handle(const LMessage& msg) override;

    // Driving a connection without a socket (tests, the fuzz target): bytes are delivered into its
    // buffer once the previous ones are read, and each write is completed by hand.
    HttpConnection* OpenDetached();
    // Copies up to the buffer size when nothing is unread and runs the connection; the bytes taken.
    uint32_t Deliver(HttpConnection& connection, const uint8_t* bytes, uint32_t length);
    void WriteDone(HttpConnection& connection);
    void Run(HttpConnection& connection);

    static const char* StatusLine(uint8_t status);

protected:
    // The body for a decoded path of a GET or HEAD (body is never null), extra response headers
    // (each ending in CR LF). False when the path names nothing (404 unless a status was set).
    virtual bool Route(const std::string& path, std::unique_ptr<HttpBodySource>* body, std::string& headers,
                       HttpConnection& connection) = 0;
    // Whether the client may have what it asked for; a refusal sets the status (e.g. 401 with its
    // header). Called by Route implementations and BeginPost. The base allows everything.
    virtual bool CheckAccess(HttpConnection& connection);
    // The access check, then the handler's Begin with the request's content type.
    virtual std::unique_ptr<HttpBodyReceiver> BeginPost(HttpConnection& connection, HttpPostHandler& handler);
    // Answers with a redirect to the target path on this server.
    void Redirect(HttpConnection& connection, const std::string& target);
    void CloseConnection(HttpConnection& connection);

private:
    LMessage Accept(const LMessage& msg);
    HttpConnection* Find(const LHandler* port) const;
    bool NextRequestByte(HttpConnection& c, uint8_t& byte);
    // Bytes into the empty buffer: true when some arrived at once.
    bool Refill(HttpConnection& c);
    void Write(HttpConnection& c);
    void HeadDone(HttpConnection& c);
    void Dispatch(HttpConnection& c);
    void DispatchGet(HttpConnection& c);
    void DispatchPost(HttpConnection& c);
    bool ReadBody(HttpConnection& c);
    void EndBody(HttpConnection& c);
    // The body's readiness before the head: false while it waits; sets the length (HEAD drops the body).
    bool PrepareBody(HttpConnection& c);
    void WriteHead(HttpConnection& c);
    void PumpBody(HttpConnection& c);
    void FinishResponse(HttpConnection& c);
    void Service();
    void CheckIdle();
    void ArmIdleTimer();

    LAsyncLoop* fLoop;
    std::unique_ptr<LAsyncEvent> fServiceEvent;
    std::unique_ptr<LAsyncTimer> fIdleTimer;
    std::unique_ptr<CTCPPort> fListener;
    std::vector<std::unique_ptr<HttpConnection>> fConnections;
    std::vector<HttpPostHandler*> fHandlers;
    Limits fLimits;
    uint32_t fLocalAddress = 0;
    int fPort = -1;
    bool fIdleArmed = false;
};
