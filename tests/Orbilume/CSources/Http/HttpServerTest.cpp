#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Orbilume/CSources/Http/HttpServer.h"
#include "tests/Orbilume/CSources/Http/HttpTestServer.h"
#include "tests/support/TempDir.h"

namespace {

using httptest::Drive;
using httptest::TestServer;

// Records the bodies posted to "/post"; answers with a body when asked, or a redirect.
class RecordingHandler : public HttpPostHandler {
public:
    RecordingHandler() : HttpPostHandler("/post") {}
    struct Receiver : HttpBodyReceiver {
        std::string body;
    };
    std::unique_ptr<HttpBodyReceiver> Begin(const std::string& contentType) override {
        types.push_back(contentType);
        if (refuse) return nullptr;
        return std::make_unique<Receiver>();
    }
    void Feed(HttpBodyReceiver& r, const uint8_t* bytes, uint32_t length) override {
        static_cast<Receiver&>(r).body.append(reinterpret_cast<const char*>(bytes), length);
    }
    void Finish(HttpBodyReceiver& r, std::string& target) override {
        bodies.push_back(static_cast<Receiver&>(r).body);
        target = redirect;
    }
    std::unique_ptr<HttpBodySource> ResponseBody(HttpBodyReceiver&) override {
        if (answer.empty()) return nullptr;
        return std::make_unique<HttpMemoryBody>(answer);
    }
    std::vector<std::string> types, bodies;
    std::string redirect, answer;
    bool refuse = false;
};

// Refuses everything with 401 and the challenge header.
class LockedServer : public TestServer {
public:
    using TestServer::TestServer;
    bool CheckAccess(HttpConnection& c) override {
        if (c.Request().password == "a:b:c") return true;
        c.Request().status = HttpRequest::kUnauthorized;
        c.Request().extraHeaders += "WWW-Authenticate: Basic realm=\"x\"\r\n";
        return false;
    }
    bool Route(const std::string& path, std::unique_ptr<HttpBodySource>* body, std::string& headers,
               HttpConnection& c) override {
        if (!CheckAccess(c)) return false;
        return TestServer::Route(path, body, headers, c);
    }
};

struct HttpServerTest : ::testing::Test {
    LAsyncLoop loop;
    TestServer server{&loop};
    RecordingHandler handler;
    void SetUp() override { server.AddPostHandler(&handler); }
};

TEST_F(HttpServerTest, AnswersOfTheRequestLine) {
    struct Case {
        const char* request;
        const char* response;
        bool closed;
    };
    const Case cases[] = {
        {"GET / HTTP/1.1\r\n\r\n",
         "HTTP/1.1 302 Moved Temporarily.\r\nLocation: http://0.0.0.0/index.html\r\nContent-Length:0\r\n\r\n",
         false},
        {"GET /known\r\n", "hello", true},
        {"PUT / HTTP/1.1\r\n\r\n", "HTTP/1.1 501 Not Implemented.\r\nConnection: close\r\n\r\n", true},
        {"GET / HTTP/2.0\r\n\r\n", "HTTP/1.1 500 Internal Server Error.\r\n\r\n", true},
        {"GET /known HTTP/1.0\r\n\r\n", "HTTP/1.1 200 OK.\r\nContent-Type: text/plain\r\n\r\nhello", true},
        {"GET /known HTTP/1.1\r\n\r\n",
         "HTTP/1.1 200 OK.\r\nContent-Type: text/plain\r\nContent-Length:5\r\n\r\nhello", false},
        {"GET /unknown HTTP/1.1\r\n\r\n",
         "HTTP/1.1 200 OK.\r\nTransfer-Encoding: "
         "chunked\r\n\r\n7\r\n0123456\r\n7\r\n789abcd\r\n6\r\nefghij\r\n0\r\n\r\n",
         false},
        {"GET /unknown HTTP/1.1\r\nConnection: close\r\n\r\n",
         "HTTP/1.1 200 OK.\r\nConnection: close\r\n\r\n0123456789abcdefghij", true},
        // No interim response and no request body read for a GET.
        {"GET /known HTTP/1.1\r\nExpect: 100-continue\r\n\r\n",
         "HTTP/1.1 200 OK.\r\nContent-Type: text/plain\r\nContent-Length:5\r\n\r\nhello", false},
        {"GET /missing HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found.\r\nContent-Length:0\r\n\r\n", false},
        {"GET /none HTTP/1.1\r\n\r\n", "HTTP/1.1 503 Service Unavailable.\r\nContent-Length:0\r\n\r\n",
         false},
        {"GET /kn%00own HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found.\r\nContent-Length:0\r\n\r\n", false},
        {"GET /kn%0aown HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found.\r\nContent-Length:0\r\n\r\n", false},
        {"GET /kn%6Fwn?x=1 HTTP/1.1\r\n\r\n",
         "HTTP/1.1 200 OK.\r\nContent-Type: text/plain\r\nContent-Length:5\r\n\r\nhello", false},
        {"GET /kn%6 HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found.\r\nContent-Length:0\r\n\r\n", false},
        {"GET known HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found.\r\nContent-Length:0\r\n\r\n", false},
        {"POST /post HTTP/1.1\r\n\r\n", "HTTP/1.1 400 Bad Request.\r\nConnection: close\r\n\r\n", true},
        {"POST /post HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc",
         "HTTP/1.1 204 No Content.\r\nContent-Length:0\r\n\r\n", false},
        {"POST /other HTTP/1.1\r\nContent-Length: 0\r\n\r\n",
         "HTTP/1.1 404 Not Found.\r\nContent-Length:0\r\n\r\n", false},
        {"GET /known HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n",
         "HTTP/1.1 400 Bad Request.\r\nConnection: close\r\n\r\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request);
        const auto e = Drive(server, c.request);
        EXPECT_EQ(e.output, c.response);
        EXPECT_EQ(e.closed, c.closed);
    }
}

TEST_F(HttpServerTest, HeadGetsTheHeadersOfTheGetAndNoBody) {
    auto e = Drive(server, "HEAD /known HTTP/1.1\r\n\r\n");
    EXPECT_EQ(e.output, "HTTP/1.1 200 OK.\r\nContent-Type: text/plain\r\nContent-Length:5\r\n\r\n");
    EXPECT_FALSE(e.closed);
    e = Drive(server, "HEAD /unknown HTTP/1.1\r\n\r\nGET /known HTTP/1.1\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(e.output,
              "HTTP/1.1 200 OK.\r\nTransfer-Encoding: chunked\r\n\r\n"
              "HTTP/1.1 200 OK.\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\nhello");
}

TEST_F(HttpServerTest, PipelinedRequestsOnOneConnectionInSmallPieces) {
    const std::string two =
        "GET /known HTTP/1.1\r\n\r\nPOST /post HTTP/1.1\r\nContent-Length: 4\r\n\r\nabcd"
        "GET /known HTTP/1.1\r\nConnection: close\r\n\r\n";
    for (size_t chunk : {size_t(1), size_t(3), size_t(16384)}) {
        SCOPED_TRACE(chunk);
        handler.bodies.clear();
        const auto e = Drive(server, two, chunk);
        const std::string ok =
            "HTTP/1.1 200 OK.\r\nContent-Type: text/plain\r\nContent-Length:5\r\n\r\nhello";
        EXPECT_EQ(e.output,
                  ok + "HTTP/1.1 204 No Content.\r\nContent-Length:0\r\n\r\n" +
                      "HTTP/1.1 200 OK.\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\nhello");
        EXPECT_EQ(handler.bodies, std::vector<std::string>{"abcd"});
        EXPECT_TRUE(e.closed);
    }
}

TEST_F(HttpServerTest, InterimResponseIsOneWriteBeforeTheBody) {
    HttpConnection* c = server.OpenDetached();
    const std::string head = "POST /post HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 3\r\n\r\n";
    server.Deliver(*c, reinterpret_cast<const uint8_t*>(head.data()), uint32_t(head.size()));
    ASSERT_TRUE(c->IsWriting());
    EXPECT_EQ(c->Output(), "HTTP/1.1 100 Continue.\r\n\r\n");
    EXPECT_EQ(c->Output().size(), 26u);
    server.WriteDone(*c);
    EXPECT_FALSE(c->IsWriting());
    EXPECT_TRUE(handler.bodies.empty());
    server.Deliver(*c, reinterpret_cast<const uint8_t*>("xyz"), 3);
    ASSERT_TRUE(c->IsWriting());
    EXPECT_EQ(c->Output(), "HTTP/1.1 204 No Content.\r\nContent-Length:0\r\n\r\n");
    EXPECT_EQ(handler.bodies, std::vector<std::string>{"xyz"});
}

TEST_F(HttpServerTest, RefusedBodiesNeverRunAsRequests) {
    // Each refusal leaves a body that reads as a request; the connection closes instead.
    const std::string smuggled = "GET /known HTTP/1.1\r\n\r\n";
    const std::string length = "Content-Length: " + std::to_string(smuggled.size()) + "\r\n";
    handler.refuse = true;
    const std::string requests[] = {
        "POST /post HTTP/1.1\r\n" + length + "\r\n" + smuggled,            // handler refuses
        "POST /other HTTP/1.1\r\n" + length + "\r\n" + smuggled,           // no handler
        "GET /known HTTP/1.1\r\n" + length + "\r\n" + smuggled,            // GET with a body
        "HEAD /missing HTTP/1.1\r\n" + length + "\r\n" + smuggled,         // HEAD with a body
        "POST /post HTTP/1.1\r\nContent-Length: 2000\r\n\r\n" + smuggled,  // over the body limit
    };
    HttpServer::Limits limits;
    limits.maxBody = 1000;
    server.SetLimits(limits);
    for (const auto& r : requests) {
        SCOPED_TRACE(r);
        server.routes = 0;
        const auto e = Drive(server, r);
        EXPECT_TRUE(e.closed);
        EXPECT_LE(server.routes, 1);
        EXPECT_EQ(e.output.find("HTTP/1.1", 1), std::string::npos) << e.output;
        EXPECT_NE(e.output.find("Connection: close"), std::string::npos);
    }
}

TEST_F(HttpServerTest, OverlongRequestLineAndHeadAreRefusedAndClosed) {
    auto e = Drive(server, "GET /" + std::string(9000, 'a') + " HTTP/1.1\r\n\r\n");
    EXPECT_EQ(e.output, "HTTP/1.1 400 Bad Request.\r\n\r\n");
    EXPECT_TRUE(e.closed);
    std::string head = "GET /known HTTP/1.1\r\n";
    while (head.size() < 40000) head += "X-Filler: " + std::string(1000, 'f') + "\r\n";
    e = Drive(server, head + "\r\n", 1000);
    EXPECT_EQ(e.output, "HTTP/1.1 400 Bad Request.\r\nConnection: close\r\n\r\n");
    EXPECT_TRUE(e.closed);
    EXPECT_LT(e.consumed, 34000u);
}

TEST_F(HttpServerTest, PostAnswers) {
    handler.answer = "done";
    auto e = Drive(server, "POST /post HTTP/1.1\r\nContent-Type: a/b\r\nContent-Length: 1\r\n\r\nz");
    EXPECT_EQ(e.output, "HTTP/1.1 200 OK.\r\nContent-Length:4\r\n\r\ndone");
    EXPECT_EQ(handler.types.back(), "a/b");
    handler.answer.clear();
    handler.redirect = "/next.html";
    e = Drive(server, "POST /post HTTP/1.1\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(
        e.output,
        "HTTP/1.1 302 Moved Temporarily.\r\nLocation: http://0.0.0.0/next.html\r\nContent-Length:0\r\n\r\n");
    handler.redirect.clear();
    handler.refuse = true;
    e = Drive(server, "POST /post HTTP/1.1\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(e.output, "HTTP/1.1 500 Internal Server Error.\r\nContent-Length:0\r\n\r\n");
}

TEST(HttpServerAccessTest, CredentialsWithColonsInThePassword) {
    LAsyncLoop loop;
    LockedServer server(&loop);
    // u:a:b:c passes; u:ab (the colons dropped) does not.
    auto e = Drive(server, "GET /known HTTP/1.1\r\nAuthorization: Basic dTphOmI6Yw==\r\n\r\n");
    EXPECT_EQ(e.output.substr(0, 17), "HTTP/1.1 200 OK.\r");
    e = Drive(server, "GET /known HTTP/1.1\r\nAuthorization: Basic dTphYmM=\r\n\r\n");
    EXPECT_EQ(
        e.output,
        "HTTP/1.1 401 Unauthorized.\r\nWWW-Authenticate: Basic realm=\"x\"\r\nContent-Length:0\r\n\r\n");
}

TEST_F(HttpServerTest, FileBodiesAreChunkedInPieces) {
    testsupport::TempDir dir;
    std::string bytes(40000, 'q');
    dir.Write("f.bin", bytes);
    server.filePath = dir.File("f.bin");
    const auto e = Drive(server, "GET /file HTTP/1.1\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(e.output, "HTTP/1.1 200 OK.\r\nConnection: close\r\n\r\n" + bytes);
    const auto chunked = Drive(server, "GET /file HTTP/1.1\r\n\r\n");
    EXPECT_EQ(chunked.output, "HTTP/1.1 200 OK.\r\nTransfer-Encoding: chunked\r\n\r\n4000\r\n" +
                                  bytes.substr(0, 16384) + "\r\n4000\r\n" + bytes.substr(0, 16384) +
                                  "\r\n1C40\r\n" + bytes.substr(0, 7232) + "\r\n0\r\n\r\n");
}

}  // namespace
