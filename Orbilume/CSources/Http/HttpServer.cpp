#include "Orbilume/CSources/Http/HttpServer.h"

#include <algorithm>
#include <cstdio>

#include "Common/Internet/CURLU.h"
#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Orbilume/CSources/Net/CTCPPort.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr uint32_t kIdleCheckMs = 1000;
// A response is assembled up to about this size before it is written, so that a small file goes
// out in one write, its end included.
constexpr size_t kAssembleBytes = 65536;
// Accepted connections get this send buffer, which also turns off the small-segment delay: the
// last piece of a response must not wait for the client's delayed acknowledgement.
constexpr uint32_t kSendBuffer = 256 * 1024;
// Reads done at once in a row before a connection waits for a read completion from the loop, so
// that a fast client cannot hold the main thread.
constexpr uint32_t kReadsInARow = 16;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The path of a request target, query dropped and escapes decoded. False when it does not start
// with '/', an escape is malformed or a control byte (NUL included) results.
bool DecodePath(const std::string& target, std::string& out) {
    out.clear();
    const size_t end = std::min(target.find('?'), target.size());
    if (end == 0 || target[0] != '/') return false;
    for (size_t i = 0; i < end; ++i) {
        uint8_t c = uint8_t(target[i]);
        if (c == '%') {
            if (i + 2 >= end) return false;
            const int hi = HexValue(target[i + 1]), lo = HexValue(target[i + 2]);
            if (hi < 0 || lo < 0) return false;
            c = uint8_t(hi << 4 | lo);
            i += 2;
        }
        if (c < 0x20 || c == 0x7F) return false;
        out.push_back(char(c));
    }
    return true;
}

void AppendHex(std::string& out, uint32_t n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", n);
    out += buf;
}

}  // namespace

HttpServer::HttpServer(LAsyncLoop* loop)
    : LHandler(nullptr),
      fLoop(loop),
      fServiceEvent(new LAsyncEvent(this, loop)),
      fIdleTimer(new LAsyncTimer(this, loop)) {}

HttpServer::~HttpServer() {
    Stop();
    fConnections.clear();
    fListener.reset();
    fIdleTimer->Stop();
}

int HttpServer::Listen(uint16_t port, uint32_t localAddress) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fListener) fListener = std::make_unique<CTCPPort>(this, fLoop);
    const int rc = fListener->Listen(port, fLimits.backlog, 0, localAddress);
    if (rc != CTCPPort::kOk) return rc;
    fPort = fListener->LocalPort();
    fLocalAddress = localAddress;
    return rc;
}

void HttpServer::Stop() {
    PLAT_DCHECK_MAIN_THREAD();
    fPort = -1;
    if (fListener) fListener->Close();
}

void HttpServer::WakeConnections() {
    fServiceEvent->Post();
}

uint32_t HttpServer::ConnectionCount() const {
    uint32_t n = 0;
    for (const auto& c : fConnections) n += !c->fDead;
    return n;
}

const char* HttpServer::StatusLine(uint8_t status) {
    switch (status) {
        case HttpRequest::kOk:
            return "200 OK.";
        case HttpRequest::kNoContent:
            return "204 No Content.";
        case HttpRequest::kFound:
            return "302 Moved Temporarily.";
        case HttpRequest::kBadRequest:
        case HttpRequest::kBadLength:
            return "400 Bad Request.";
        case HttpRequest::kUnauthorized:
            return "401 Unauthorized.";
        case HttpRequest::kForbidden:
            return "403 Forbidden.";
        case HttpRequest::kNotFound:
            return "404 Not Found.";
        case HttpRequest::kNotImplemented:
            return "501 Not Implemented.";
        case HttpRequest::kUnavailable:
            return "503 Service Unavailable.";
        default:
            return "500 Internal Server Error.";
    }
}

bool HttpServer::CheckAccess(HttpConnection& connection) {
    (void)connection;
    return true;
}

std::unique_ptr<HttpBodyReceiver> HttpServer::BeginPost(HttpConnection& connection,
                                                        HttpPostHandler& handler) {
    if (!CheckAccess(connection)) {
        if (connection.Request().status == HttpRequest::kOk)
            connection.Request().status = HttpRequest::kForbidden;
        return nullptr;
    }
    return handler.Begin(connection.Request().contentType);
}

void HttpServer::Redirect(HttpConnection& connection, const std::string& target) {
    HttpRequest& r = connection.Request();
    r.path = "http://";
    r.path += CURLU::AddrToStr(connection.LocalAddress()).CStr();
    if (fPort >= 0 && fPort != 80) r.path += ":" + std::to_string(fPort);
    r.path += target;
    r.status = HttpRequest::kFound;
}

void HttpServer::CloseConnection(HttpConnection& connection) {
    connection.fClosed = true;
    if (connection.fPort) connection.fPort->Disconnect();
}

HttpConnection* HttpServer::OpenDetached() {
    fConnections.push_back(std::make_unique<HttpConnection>(nullptr, fLimits.maxBody));
    return fConnections.back().get();
}

uint32_t HttpServer::Deliver(HttpConnection& c, const uint8_t* bytes, uint32_t length) {
    if (c.Unread() > 0 || c.fClosed) return 0;
    length = std::min(length, HttpConnection::kBufferSize);
    std::copy(bytes, bytes + length, c.fBuffer);
    c.fCount = length;
    c.fIndex = 0;
    Run(c);
    return length;
}

void HttpServer::WriteDone(HttpConnection& c) {
    c.fWriting = false;
    c.fOut.clear();
    Run(c);
}

HttpConnection* HttpServer::Find(const LHandler* port) const {
    for (const auto& c : fConnections)
        if (c && c->fPort.get() == port) return c.get();
    return nullptr;
}

LMessage HttpServer::Handle(const LMessage& msg) {
    if (msg.Is(LHandler_Destructing)) return LMessage();  // our own ports and timers going
    if (fListener && msg.sender == fListener.get()) {
        if (msg.Is(CTCPPort_Request)) return Accept(msg);
        if (msg.Is(CTCPPort_Close) && fPort >= 0)
            (void)fListener->Listen(uint16_t(fPort), fLimits.backlog, 0, fLocalAddress);
        return LMessage();
    }
    if (msg.Is(LAsyncEvent_Note) && msg.sender == fServiceEvent.get()) {
        Service();
        return LMessage();
    }
    if (msg.Is(LAsyncTimer_Expire) && msg.sender == fIdleTimer.get()) {
        fIdleArmed = false;
        CheckIdle();
        return LMessage();
    }
    if (msg.sender) {
        if (HttpConnection* c = Find(msg.sender)) {
            if (c->fDead) return LMessage();
            if (msg.Is(CTCPPort_Read)) {
                c->fCount = c->fPort->ReceivedLength();
                c->fIndex = 0;
                if (c->fCount > 0) c->fLastByteMs = fLoop->Now();
                Run(*c);
            } else if (msg.Is(CTCPPort_RcvA)) {
                c->fReadsInARow = 0;
                Run(*c);
            } else if (msg.Is(CTCPPort_Sent)) {
                WriteDone(*c);
            } else if (msg.Is(CTCPPort_Close)) {
                // Deleted from the service pass, outside the port's own delivery.
                c->fDead = true;
                c->fClosed = true;
                fServiceEvent->Post();
            }
            return LMessage();
        }
    }
    return LHandler::Handle(msg);
}

LMessage HttpServer::Accept(const LMessage& msg) {
    if (ConnectionCount() >= fLimits.maxConnections) {
        fListener->Accept(this, nullptr, 0);  // closes it
        return LMessage();
    }
    CTCPPort* port = nullptr;
    if (fListener->Accept(this, &port, kSendBuffer) != 0 || !port) return LHandler::Handle(msg);
    fConnections.push_back(
        std::make_unique<HttpConnection>(std::unique_ptr<CTCPPort>(port), fLimits.maxBody));
    HttpConnection& c = *fConnections.back();
    c.fLastByteMs = fLoop->Now();
    ArmIdleTimer();
    Run(c);
    return LMessage();
}

void HttpServer::Service() {
    // Out of the list first: a port's destructor sends a message here.
    std::vector<std::unique_ptr<HttpConnection>> dead;
    for (auto& c : fConnections)
        if (c->fDead) dead.push_back(std::move(c));
    fConnections.erase(std::remove(fConnections.begin(), fConnections.end(), nullptr), fConnections.end());
    dead.clear();
    // Running may close connections, never add or remove them.
    for (size_t i = 0; i < fConnections.size(); ++i) Run(*fConnections[i]);
}

void HttpServer::ArmIdleTimer() {
    if (fIdleArmed) return;
    fIdleArmed = true;
    fIdleTimer->Start(kIdleCheckMs);
}

void HttpServer::CheckIdle() {
    const uint32_t now = fLoop->Now();
    bool any = false;
    for (const auto& c : fConnections) {
        if (c->fDead || c->fClosed || !c->fPort) continue;
        any = true;
        const bool waitsForClient = c->fPhase <= HttpConnection::kBody && !c->fWriting;
        if (waitsForClient && now - c->fLastByteMs >= fLimits.idleMs) CloseConnection(*c);
        // A response that makes no progress: a client that stops reading never takes the write in
        // flight, a body source may never become ready.
        else if (c->fPhase >= HttpConnection::kWriteHead && now - c->fWriteMs >= fLimits.writeMs)
            CloseConnection(*c);
    }
    if (any) ArmIdleTimer();
}

bool HttpServer::NextRequestByte(HttpConnection& c, uint8_t& byte) {
    if (c.fIndex >= c.fCount && !Refill(c)) return false;
    byte = c.fBuffer[c.fIndex++];
    return true;
}

bool HttpServer::Refill(HttpConnection& c) {
    if (!c.fPort) return false;
    bool got = false;
    fLoop->Lock();
    if (c.fPort->CanReceive()) {
        c.fCount = 0;
        c.fIndex = 0;
        if (c.fReadsInARow < kReadsInARow) {
            ++c.fReadsInARow;
            // Nothing waiting: the port arms its read watch and "CTCPPort_RcvA" follows.
            c.fCount = c.fPort->ReceiveNow(c.fBuffer, HttpConnection::kBufferSize);
            got = c.fCount > 0;
            if (got) c.fLastByteMs = fLoop->Now();
        } else {
            c.fReadsInARow = 0;
            c.fPort->Receive(c.fBuffer, HttpConnection::kBufferSize);
        }
    }
    fLoop->Unlock();
    return got;
}

void HttpServer::Write(HttpConnection& c) {
    c.fWriting = true;
    if (!c.fPort) return;
    c.fWriteMs = fLoop->Now();
    fLoop->Lock();
    if (c.fPort->CanSend()) c.fPort->Send(c.fOut.data(), uint32_t(c.fOut.size()));
    fLoop->Unlock();
}

void HttpServer::Run(HttpConnection& c) {
    while (!c.fClosed) {
        switch (c.fPhase) {
            case HttpConnection::kRequestLine:
            case HttpConnection::kHeaders: {
                uint8_t byte;
                if (!NextRequestByte(c, byte)) return;
                if (c.fReader.Feed(byte) == HttpRequestReader::kHeadDone)
                    HeadDone(c);
                else
                    c.fPhase = c.fReader.Phase();
                break;
            }
            case HttpConnection::kContinue:
                if (c.fWriting) return;
                c.fPhase = HttpConnection::kBody;
                c.fOut = "HTTP/1.1 100 Continue.\r\n\r\n";  // one write: only one may be in flight
                Write(c);
                break;
            case HttpConnection::kBody:
                if (!ReadBody(c)) return;
                c.fPhase = HttpConnection::kWriteHead;
                c.fWriteMs = fLoop->Now();
                EndBody(c);
                break;
            case HttpConnection::kWriteHead:
                if (c.fWriting) return;
                if (!PrepareBody(c)) return;
                c.fOut.clear();
                WriteHead(c);
                c.fPhase = HttpConnection::kWriteBody;
                c.fTransferred = 0;
                c.fBodyDone = !c.fBody;
                break;
            case HttpConnection::kWriteBody:
                if (c.fWriting) return;
                if (!c.fBodyDone) PumpBody(c);
                if (!c.fOut.empty()) {
                    Write(c);
                    break;
                }
                if (!c.fBodyDone) return;  // the source is not ready
                FinishResponse(c);
                break;
        }
    }
}

void HttpServer::HeadDone(HttpConnection& c) {
    HttpRequest& r = c.Request();
    if (r.status == HttpRequest::kOk) Dispatch(c);
    if (r.status == HttpRequest::kOk && r.method == HttpRequest::kPost) {
        const bool expect = r.Has(HttpRequest::kHttp11) && r.Has(HttpRequest::kExpect100);
        c.fPhase = expect ? HttpConnection::kContinue : HttpConnection::kBody;
        return;
    }
    c.fPhase = HttpConnection::kWriteHead;
    c.fWriteMs = fLoop->Now();
    // A body left in the stream would be read as the next request.
    if (r.contentLength > 0) r.Set(HttpRequest::kClose);
}

void HttpServer::Dispatch(HttpConnection& c) {
    if (c.Request().method == HttpRequest::kPost)
        DispatchPost(c);
    else
        DispatchGet(c);
}

void HttpServer::DispatchGet(HttpConnection& c) {
    HttpRequest& r = c.Request();
    std::string path;
    if (!DecodePath(r.path, path)) {
        r.status = HttpRequest::kNotFound;
        return;
    }
    if (path == "/") {
        Redirect(c, "/index.html");
        return;
    }
    std::unique_ptr<HttpBodySource> body;
    std::string headers;
    if (!Route(path, &body, headers, c)) {
        if (r.status == HttpRequest::kOk) r.status = HttpRequest::kNotFound;
        return;
    }
    r.extraHeaders += headers;
    if (r.status != HttpRequest::kOk) return;
    if (!body) {
        r.status = HttpRequest::kUnavailable;
        return;
    }
    c.fBody = std::move(body);
}

void HttpServer::DispatchPost(HttpConnection& c) {
    HttpRequest& r = c.Request();
    if (r.contentLength < 0) {
        r.Fail(HttpRequest::kBadLength);
        return;
    }
    HttpPostHandler* handler = nullptr;
    for (HttpPostHandler* h : fHandlers)
        if (h->Path() == r.path) handler = h;
    if (!handler) {
        r.status = HttpRequest::kNotFound;
        return;
    }
    c.fReceiver = BeginPost(c, *handler);
    if (c.fReceiver)
        c.fHandler = handler;
    else if (r.status == HttpRequest::kOk)
        r.status = HttpRequest::kServerError;
}

bool HttpServer::ReadBody(HttpConnection& c) {
    const uint64_t length = uint64_t(c.Request().contentLength);
    while (c.fTransferred < length) {
        if (c.fIndex >= c.fCount && !Refill(c)) return false;
        const uint32_t n = uint32_t(std::min<uint64_t>(c.fCount - c.fIndex, length - c.fTransferred));
        if (c.fReceiver) c.fHandler->Feed(*c.fReceiver, c.fBuffer + c.fIndex, n);
        c.fIndex += n;
        c.fTransferred += n;
    }
    return true;
}

void HttpServer::EndBody(HttpConnection& c) {
    HttpRequest& r = c.Request();
    std::string redirect;
    std::unique_ptr<HttpBodySource> body;
    if (c.fReceiver) {
        c.fHandler->Finish(*c.fReceiver, redirect);
        body = c.fHandler->ResponseBody(*c.fReceiver);
        c.fReceiver.reset();
    }
    if (r.status != HttpRequest::kOk) return;
    if (body) {
        c.fResponseLength = body->Length();
        c.fBody = std::move(body);
    } else if (!redirect.empty()) {
        Redirect(c, redirect);
    } else {
        r.status = HttpRequest::kNoContent;
    }
}

bool HttpServer::PrepareBody(HttpConnection& c) {
    if (!c.fBody || c.fResponseLength >= 0) return true;
    HttpRequest& r = c.Request();
    switch (c.fBody->Prepare()) {
        case HttpBodySource::kWait:
            return false;
        case HttpBodySource::kFail:
            c.fBody.reset();
            r.status = HttpRequest::kUnavailable;
            return true;
        case HttpBodySource::kReady:
            break;
    }
    c.fResponseLength = c.fBody->Length();
    // HEAD gets the GET's headers and no body.
    if (r.method == HttpRequest::kHead) c.fBody.reset();
    return true;
}

void HttpServer::WriteHead(HttpConnection& c) {
    HttpRequest& r = c.Request();
    if (r.Has(HttpRequest::kSimple)) return;
    std::string& out = c.fOut;
    out += "HTTP/1.1 ";
    out += StatusLine(r.status);
    if (r.status == HttpRequest::kFound && !r.path.empty()) {
        out += "\r\nLocation: ";
        out += r.path;
    }
    out += "\r\n";
    out += r.extraHeaders;
    r.extraHeaders.clear();
    if (r.Has(HttpRequest::kHttp11)) {
        if (r.Has(HttpRequest::kClose)) {
            out += "Connection: close\r\n";
        } else if (r.status == HttpRequest::kOk && c.fResponseLength < 0) {
            out += "Transfer-Encoding: chunked\r\n";
            r.Set(HttpRequest::kChunked);
        } else {
            out += "Content-Length:";
            out += std::to_string(r.status == HttpRequest::kOk ? c.fResponseLength : 0);
            out += "\r\n";
        }
    }
    out += "\r\n";
}

void HttpServer::PumpBody(HttpConnection& c) {
    HttpRequest& r = c.Request();
    const bool chunked = r.Has(HttpRequest::kChunked);
    while (!c.fBodyDone && c.fOut.size() < kAssembleBytes) {
        const uint8_t* piece = nullptr;
        int32_t n = c.fBody->NextChunk(&piece);
        if (n < 0) return;
        // A source longer than the length it announced is cut there.
        if (n > 0 && c.fResponseLength >= 0)
            n = int32_t(std::min<uint64_t>(uint64_t(n), uint64_t(c.fResponseLength) - c.fTransferred));
        if (n == 0) {
            c.fBody.reset();
            c.fBodyDone = true;
            if (chunked) c.fOut += c.fTransferred > 0 ? "\r\n0\r\n\r\n" : "0\r\n\r\n";
            // Fewer bytes than announced: only a close tells the client.
            if (c.fResponseLength >= 0 && c.fTransferred != uint64_t(c.fResponseLength))
                r.Set(HttpRequest::kClose);
            return;
        }
        if (chunked) {
            if (c.fTransferred > 0) c.fOut += "\r\n";
            AppendHex(c.fOut, uint32_t(n));
            c.fOut += "\r\n";
        }
        c.fOut.append(reinterpret_cast<const char*>(piece), size_t(n));
        c.fTransferred += uint32_t(n);
    }
}

void HttpServer::FinishResponse(HttpConnection& c) {
    const HttpRequest& r = c.Request();
    const bool keep = r.Has(HttpRequest::kHttp11) && !r.Has(HttpRequest::kClose);
    c.fBody.reset();
    c.fReceiver.reset();
    c.fHandler = nullptr;
    if (!keep) {
        CloseConnection(c);
        return;
    }
    c.fReader.Reset();
    c.fPhase = HttpConnection::kRequestLine;
    c.fLastByteMs = fLoop->Now();  // the next request is awaited from now on
    c.fResponseLength = -1;
    c.fTransferred = 0;
    c.fBodyDone = false;
}
