// The server on 127.0.0.1 (inside the test's own network namespace) against curl, nc and raw
// sockets.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Orbilume/CSources/Http/FormPostHandlers.h"
#include "tests/Orbilume/CSources/Http/HttpTestServer.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/Orbilume/CSources/Osc/OscRecorder.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/FakeClock.h"
#include "tests/support/TempDir.h"

namespace {

using nettest::kLoopback;

bool HaveProgram(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// A blocking client on 127.0.0.1.
struct Client {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    explicit Client(uint16_t port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(kLoopback);
        connected = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~Client() {
        if (fd >= 0) close(fd);
    }
    void Send(const std::string& s) { (void)!send(fd, s.data(), s.size(), MSG_NOSIGNAL); }
    // What is readable now (waiting up to ms for the first byte); "<eof>" marks a close.
    std::string ReadSome(int ms = 0) {
        std::string out;
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, out.empty() ? ms : 0) != 1) return out;
            char buf[4096];
            ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0) return out + "<eof>";
            out.append(buf, size_t(n));
        }
    }
    bool connected = false;
};

// The test server with the two form handlers, and a password when one is set.
class PeerServer : public httptest::TestServer {
public:
    PeerServer(LAsyncLoop* loop, const std::string& root, OscListener* listener)
        : TestServer(loop), osceq(root, listener, nullptr), cmd(root) {
        AddPostHandler(&osceq);
        AddPostHandler(&cmd);
    }
    bool CheckAccess(HttpConnection& c) override {
        if (password.empty() || c.Request().password == password) return true;
        c.Request().status = HttpRequest::kUnauthorized;
        c.Request().extraHeaders += "WWW-Authenticate: Basic realm=\"Orbilume Operation Panel\"\r\n";
        return false;
    }
    bool Route(const std::string& path, std::unique_ptr<HttpBodySource>* body, std::string& headers,
               HttpConnection& c) override {
        if (!CheckAccess(c)) return false;
        return TestServer::Route(path, body, headers, c);
    }
    std::string password;
    OsceqPostHandler osceq;
    CmdPostHandler cmd;
};

struct HttpPeerTest : ::testing::Test {
    nettest::MainLoop main;
    testsupport::TempDir root;
    osctest::OscRecorder listener;
    PeerServer server{main.Loop(), root.Path(), &listener};
    std::string base;

    void SetUp() override {
        ASSERT_EQ(server.Listen(0, kLoopback), 0);
        ASSERT_GT(server.Port(), 0);
        base = "http://127.0.0.1:" + std::to_string(server.Port());
    }

    // Runs the command on a thread while the main loop serves; its standard output.
    std::string Serve(const std::string& command) {
        std::atomic<bool> done{false};
        std::string out;
        std::thread t([&] {
            out = testsupport::CommandOutput(command);
            done = true;
        });
        EXPECT_TRUE(main.RunUntil([&] { return done.load(); }, 20));
        t.join();
        return out;
    }
    std::string Curl(const std::string& args) {
        return Serve("curl -sv --noproxy '*' --max-time 10 " + args + " 2>&1");
    }
    std::string Nc(const std::string& bytes) {
        return Serve("printf '" + bytes + "' | nc -N -w 5 127.0.0.1 " + std::to_string(server.Port()));
    }
};

#define NEED(program) \
    if (!HaveProgram(program)) GTEST_SKIP() << program " is not installed"

TEST_F(HttpPeerTest, RedirectKeepAliveAndChunkedWithCurl) {
    NEED("curl");
    std::string out = Curl(base + "/");
    EXPECT_NE(out.find("< HTTP/1.1 302 Moved Temporarily."), std::string::npos) << out;
    EXPECT_NE(out.find("< Location: " + base + "/index.html"), std::string::npos) << out;
    EXPECT_NE(out.find("< Content-Length:0"), std::string::npos) << out;

    // Two chunked responses on one connection.
    out = Curl(base + "/unknown " + base + "/unknown");
    EXPECT_NE(out.find("< Transfer-Encoding: chunked"), std::string::npos) << out;
    const std::string body = "0123456789abcdefghij";
    EXPECT_NE(out.find(body, out.find(body) + 1), std::string::npos) << out;
    EXPECT_NE(out.find("Re-using existing connection"), std::string::npos) << out;

    out = Curl("--http1.0 " + base + "/known");
    EXPECT_NE(out.find("< HTTP/1.1 200 OK."), std::string::npos) << out;
    EXPECT_EQ(out.find("Content-Length"), std::string::npos) << out;
    EXPECT_NE(out.find("hello"), std::string::npos) << out;
    EXPECT_NE(out.find("Closing connection"), std::string::npos) << out;

    out = Curl("-X PUT " + base + "/");
    EXPECT_NE(out.find("< HTTP/1.1 501 Not Implemented."), std::string::npos) << out;
    EXPECT_NE(out.find("< Connection: close"), std::string::npos) << out;

    out = Curl("-I " + base + "/known");
    EXPECT_NE(out.find("< Content-Length:5"), std::string::npos) << out;
}

TEST_F(HttpPeerTest, HandWrittenRequestsWithNetcat) {
    NEED("nc");
    EXPECT_EQ(Nc("GET /known\\r\\n"), "hello");
    EXPECT_EQ(Nc("GET / HTTP/2.0\\r\\n\\r\\n"), "HTTP/1.1 500 Internal Server Error.\r\n\r\n");
    EXPECT_EQ(Nc("POST /.Osceq HTTP/1.1\\r\\n\\r\\n"),
              "HTTP/1.1 400 Bad Request.\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(Nc("GET /known HTTP/1.0\\r\\n\\r\\n"),
              "HTTP/1.1 200 OK.\r\nContent-Type: text/plain\r\n\r\nhello");
}

TEST_F(HttpPeerTest, FormPostsWithCurl) {
    NEED("curl");
    listener.addresses = {"a", "b", "/img"};
    std::string out = Curl("--data 'a=1&b=x+y%21' " + base + "/.Osceq");
    EXPECT_NE(out.find("< HTTP/1.1 204 No Content."), std::string::npos) << out;
    EXPECT_EQ(listener.messages, (std::vector<std::string>{"a ,s 1", "b ,s x y!"}));

    // The interim response comes as one piece before the body is sent.
    listener.messages.clear();
    out = Curl("-H 'Expect: 100-continue' --data 'a=2' " + base + "/.Osceq");
    EXPECT_NE(out.find("< HTTP/1.1 100 Continue."), std::string::npos) << out;
    EXPECT_NE(out.find("< HTTP/1.1 204 No Content."), std::string::npos) << out;
    EXPECT_EQ(listener.messages, std::vector<std::string>{"a ,s 2"});

    root.Write("x.png", "PNGDATA");
    listener.messages.clear();
    out = Curl("-F '/img=@" + root.File("x.png") + ";filename=../../x.png' " + base + "/.Osceq");
    EXPECT_NE(out.find("< HTTP/1.1 204 No Content."), std::string::npos) << out;
    EXPECT_EQ(root.Read("Upload/x.png"), "PNGDATA");
    EXPECT_EQ(listener.messages, std::vector<std::string>{"/img ,s " + root.Path() + "/Upload/x.png"});
    const std::string parent = root.Path() + "/..";
    EXPECT_NE(access((root.Path() + "/Upload/x.png").c_str(), F_OK), -1);

    out = Curl("--data cmd=delupload " + base + "/.Cmd");
    EXPECT_NE(out.find("< HTTP/1.1 204 No Content."), std::string::npos) << out;
    EXPECT_EQ(access((root.Path() + "/Upload/x.png").c_str(), F_OK), -1);

    out = Curl("-H 'Transfer-Encoding: chunked' --data-binary 'a=3' " + base + "/.Osceq");
    EXPECT_NE(out.find("< HTTP/1.1 400 Bad Request."), std::string::npos) << out;
}

TEST_F(HttpPeerTest, CredentialsWithColonsWithCurl) {
    NEED("curl");
    server.password = "a:b:c";
    std::string out = Curl("-u 'u:a:b:c' " + base + "/known");
    EXPECT_NE(out.find("< HTTP/1.1 200 OK."), std::string::npos) << out;
    out = Curl("-u 'u:abc' " + base + "/known");
    EXPECT_NE(out.find("< HTTP/1.1 401 Unauthorized."), std::string::npos) << out;
    EXPECT_NE(out.find("< WWW-Authenticate: Basic realm=\"Orbilume Operation Panel\""), std::string::npos)
        << out;
}

TEST_F(HttpPeerTest, RefusedKeepAlivePostBodyNeverRunsAsARequest) {
    Client c(uint16_t(server.Port()));
    ASSERT_TRUE(c.connected);
    const std::string smuggled = "GET /known HTTP/1.1\r\n\r\n";
    c.Send("POST /nowhere HTTP/1.1\r\nContent-Length: " + std::to_string(smuggled.size()) + "\r\n\r\n" +
           smuggled);
    std::string got;
    ASSERT_TRUE(main.RunUntil([&] {
        got += c.ReadSome();
        return got.find("<eof>") != std::string::npos;
    }));
    EXPECT_EQ(got, "HTTP/1.1 404 Not Found.\r\nConnection: close\r\n\r\n<eof>");
    EXPECT_EQ(server.routes, 0);
}

TEST_F(HttpPeerTest, The65thConnectionIsClosed) {
    std::vector<std::unique_ptr<Client>> clients;
    // One at a time: the listener offers one pending connection at a time.
    for (uint32_t i = 0; i < 64; ++i) {
        clients.push_back(std::make_unique<Client>(uint16_t(server.Port())));
        ASSERT_TRUE(clients.back()->connected);
        ASSERT_TRUE(main.RunUntil([&] { return server.ConnectionCount() == i + 1; }));
    }
    Client extra(uint16_t(server.Port()));
    ASSERT_TRUE(extra.connected);
    std::string got;
    ASSERT_TRUE(main.RunUntil([&] {
        got += extra.ReadSome();
        return !got.empty();
    }));
    EXPECT_EQ(got, "<eof>");
    EXPECT_EQ(server.ConnectionCount(), 64u);
    // The others are still served.
    clients[0]->Send("GET /known HTTP/1.1\r\n\r\n");
    got.clear();
    ASSERT_TRUE(main.RunUntil([&] {
        got += clients[0]->ReadSome();
        return got.find("hello") != std::string::npos;
    }));
}

TEST_F(HttpPeerTest, IdleConnectionClosesAfterItsTimeOut) {
    testsupport::FakeClock clock;
    // Fake time runs ten times faster than real time, so that the loop keeps turning.
    std::atomic<bool> stop{false};
    std::thread ticker([&] {
        while (!stop) {
            clock.AdvanceMs(10);
            usleep(1000);
        }
    });
    Client c(uint16_t(server.Port()));
    ASSERT_TRUE(c.connected);
    c.Send("GET /known HT");
    EXPECT_TRUE(main.RunUntil([&] { return server.ConnectionCount() == 1; }));
    main.Spin(0.05);
    const double start = clock.Now();
    std::string got;
    EXPECT_TRUE(main.RunUntil(
        [&] {
            got += c.ReadSome();
            return !got.empty();
        },
        20));
    const double closedAfter = clock.Now() - start;
    EXPECT_TRUE(main.RunUntil([&] { return server.ConnectionCount() == 0; }));
    stop = true;
    ticker.join();
    EXPECT_EQ(got, "<eof>");
    EXPECT_GE(closedAfter, 29.0);
    EXPECT_LT(closedAfter, 33.0);
}

TEST_F(HttpPeerTest, ClientThatStopsReadingIsClosedAfterTheWriteTimeOut) {
    // A body far larger than both socket buffers: the server's write stalls once they are full.
    server.filePath = root.Path() + "/big.bin";
    {
        FILE* f = std::fopen(server.filePath.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        const std::string block(1 << 20, 'x');
        for (int i = 0; i < 32; ++i) std::fwrite(block.data(), 1, block.size(), f);
        std::fclose(f);
    }
    testsupport::FakeClock clock;
    std::atomic<bool> stop{false};
    std::thread ticker([&] {
        while (!stop) {
            clock.AdvanceMs(10);
            usleep(1000);
        }
    });
    Client c(uint16_t(server.Port()));
    ASSERT_TRUE(c.connected);
    const int small = 4096;
    (void)setsockopt(c.fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    c.Send("GET /file HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(main.RunUntil([&] { return server.ConnectionCount() == 1; }));
    const double start = clock.Now();
    // The client never reads; the server gives the connection up.
    EXPECT_TRUE(main.RunUntil([&] { return server.ConnectionCount() == 0; }, 20));
    const double closedAfter = clock.Now() - start;
    stop = true;
    ticker.join();
    EXPECT_GE(closedAfter, 29.0);
    EXPECT_LT(closedAfter, 33.0);
}

TEST_F(HttpPeerTest, ResponseWhoseBodyNeverComesIsClosedAfterTheWriteTimeOut) {
    testsupport::FakeClock clock;
    std::atomic<bool> stop{false};
    std::thread ticker([&] {
        while (!stop) {
            clock.AdvanceMs(10);
            usleep(1000);
        }
    });
    Client c(uint16_t(server.Port()));
    ASSERT_TRUE(c.connected);
    c.Send("GET /stall HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(main.RunUntil([&] { return server.ConnectionCount() == 1; }));
    main.Spin(0.05);
    const double start = clock.Now();
    std::string got;
    EXPECT_TRUE(main.RunUntil(
        [&] {
            got += c.ReadSome();
            return got.find("<eof>") != std::string::npos;
        },
        20));
    const double closedAfter = clock.Now() - start;
    stop = true;
    ticker.join();
    // The head went out; the body never did.
    EXPECT_EQ(got.rfind("HTTP/1.1 200 OK.", 0), 0u) << got;
    EXPECT_GE(closedAfter, 29.0);
    EXPECT_LT(closedAfter, 33.0);
}

TEST(HttpPeerPort80Test, RedirectOnPort80HasNoPort) {
    if (!HaveProgram("curl")) GTEST_SKIP() << "curl is not installed";
    nettest::MainLoop main;
    LAsyncLoop* loop = main.Loop();
    httptest::TestServer server(loop);
    // Port 80 inside the test's own namespace; refused without the privilege.
    if (server.Listen(80, kLoopback) != 0) GTEST_SKIP() << "cannot bind port 80 here";
    std::atomic<bool> done{false};
    std::string out;
    std::thread t([&] {
        out = testsupport::CommandOutput("curl -sv --noproxy '*' --max-time 10 http://127.0.0.1/ 2>&1");
        done = true;
    });
    EXPECT_TRUE(main.RunUntil([&] { return done.load(); }, 20));
    t.join();
    EXPECT_NE(out.find("< Location: http://127.0.0.1/index.html"), std::string::npos) << out;
}

}  // namespace
