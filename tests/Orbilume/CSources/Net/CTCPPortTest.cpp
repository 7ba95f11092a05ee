#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "Common/Container/CU32Array.h"
#include "Orbilume/CSources/Net/CSocketSelector.h"
#include "Orbilume/CSources/Net/CTCPPort.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"

namespace {

using nettest::kLoopback;

// A blocking client socket connected to 127.0.0.1.
struct Client {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    explicit Client(uint16_t port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(kLoopback);
        connected = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        socklen_t len = sizeof a;
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        localPort = ntohs(a.sin_port);
    }
    ~Client() {
        if (fd >= 0) close(fd);
    }
    // What the peer sent, until it closed or a second passed; "<eof>" marks a close.
    std::string Read() {
        std::string out;
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 1000) != 1) return out;
            char buf[256];
            ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0) return out + "<eof>";
            out.append(buf, size_t(n));
        }
    }
    bool connected = false;
    uint16_t localPort = 0;
};

struct Command {
    std::atomic<bool> done{false};
    std::string output;
    std::thread thread;
    explicit Command(const std::string& line) {
        thread = std::thread([this, line] {
            if (FILE* p = popen(line.c_str(), "r")) {
                char buf[256];
                size_t n;
                while ((n = fread(buf, 1, sizeof buf, p)) > 0) output.append(buf, n);
                pclose(p);
            }
            done = true;
        });
    }
    ~Command() { thread.join(); }
};

bool HaveProgram(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

struct CTCPPortTest : ::testing::Test {
    nettest::MainLoop main;
    nettest::Recorder owner;
    std::unique_ptr<CTCPPort> listener = std::make_unique<CTCPPort>(&owner, main.Loop());
    uint16_t port = 0;

    void SetUp() override {
        ASSERT_EQ(listener->Listen(0, 8, 0, kLoopback), CTCPPort::kOk);
        port = listener->LocalPort();
        ASSERT_NE(port, 0);
    }
};

// Answers one HTTP request on each accepted connection and closes it.
struct TinyServer {
    nettest::Recorder connOwner;
    std::unique_ptr<CTCPPort> conn;
    char buf[1024];
    std::string request;
    std::string response = "HTTP/1.0 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello";
    int served = 0;

    void Attach(nettest::Recorder& owner, CTCPPort* listener) {
        owner.hook = [this, listener](const LMessage& m) {
            if (!m.Is(CTCPPort_Request)) return true;
            CTCPPort* out = nullptr;
            conn.reset();
            if (listener->Accept(&connOwner, &out, 65536) == 0) {
                conn.reset(out);
                request.clear();
                conn->Receive(buf, sizeof buf);
            }
            return true;
        };
        connOwner.hook = [this](const LMessage& m) {
            if (m.Is(CTCPPort_Read)) {
                request.append(buf, conn->ReceivedLength());
                if (request.find("\r\n\r\n") != std::string::npos)
                    conn->Send(response.data(), uint32_t(response.size()));
                else
                    conn->Receive(buf, sizeof buf);
            } else if (m.Is(CTCPPort_Sent)) {
                ++served;
                conn->Disconnect();
            }
            return true;
        };
    }
};

TEST_F(CTCPPortTest, CurlReachesTheListener) {
    if (!HaveProgram("curl")) GTEST_SKIP() << "curl is not installed";
    TinyServer server;
    server.Attach(owner, listener.get());
    Command curl("curl -s --noproxy '*' --max-time 10 http://127.0.0.1:" + std::to_string(port) + "/panel");
    ASSERT_TRUE(main.RunUntil([&] { return curl.done.load(); }, 15));
    EXPECT_EQ(curl.output, "hello");
    EXPECT_EQ(server.request.rfind("GET /panel HTTP/1.1\r\n", 0), 0u) << server.request;
    EXPECT_EQ(server.served, 1);
}

TEST_F(CTCPPortTest, NetcatSendsAndThePeerCloseEndsTheConnection) {
    if (!HaveProgram("nc")) GTEST_SKIP() << "nc is not installed";
    nettest::Recorder connOwner;
    std::unique_ptr<CTCPPort> conn;
    char buf[64];
    std::string got;
    owner.hook = [&](const LMessage& m) {
        if (m.Is(CTCPPort_Request)) {
            CTCPPort* out = nullptr;
            EXPECT_EQ(listener->Accept(&connOwner, &out, 0), 0);
            conn.reset(out);
            conn->Receive(buf, sizeof buf);
        }
        return true;
    };
    connOwner.hook = [&](const LMessage& m) {
        if (m.Is(CTCPPort_Read)) {
            got.append(buf, conn->ReceivedLength());
            conn->Receive(buf, sizeof buf);
        }
        return true;
    };
    Command nc("printf 'from nc' | nc -N 127.0.0.1 " + std::to_string(port));
    ASSERT_TRUE(main.RunUntil([&] { return connOwner.Count(CTCPPort_Close) == 1; }, 10));
    EXPECT_EQ(got, "from nc");
    EXPECT_FALSE(conn->IsOpen());
    EXPECT_EQ(conn->State(), CTCPPort::kIdle);
    main.RunUntil([&] { return nc.done.load(); });
}

TEST_F(CTCPPortTest, SocatPeerGetsWhatWeSend) {
    if (!HaveProgram("socat")) GTEST_SKIP() << "socat is not installed";
    TinyServer server;
    server.response = "over socat";
    server.Attach(owner, listener.get());
    Command socat("printf 'X\\r\\n\\r\\n' | socat -t 5 - TCP:127.0.0.1:" + std::to_string(port));
    ASSERT_TRUE(main.RunUntil([&] { return socat.done.load(); }, 10));
    EXPECT_EQ(socat.output, "over socat");
}

TEST_F(CTCPPortTest, QueuedClientsAreOfferedInOrder) {
    Client first(port), second(port);
    ASSERT_TRUE(first.connected && second.connected);
    std::vector<uint16_t> offered;
    std::vector<std::unique_ptr<CTCPPort>> conns;
    nettest::Recorder connOwner;
    owner.hook = [&](const LMessage& m) {
        if (m.Is(CTCPPort_Request)) {
            CTCPPort* out = nullptr;
            EXPECT_EQ(listener->Accept(&connOwner, &out, 0), 0);
            conns.emplace_back(out);
            offered.push_back(out->PeerAddr().port);
            EXPECT_EQ(out->PeerAddr().IPv4Address(), kLoopback);
            EXPECT_EQ(out->LocalPort(), port);
            EXPECT_EQ(out->State(), CTCPPort::kConnected);
        }
        return true;
    };
    ASSERT_TRUE(main.RunUntil([&] { return offered.size() == 2; }));
    EXPECT_EQ(offered[0], first.localPort);
    EXPECT_EQ(offered[1], second.localPort);
    // No third offer, and Accept without a pending connection gives 1.
    CTCPPort* none = reinterpret_cast<CTCPPort*>(1);
    EXPECT_EQ(listener->Accept(&connOwner, &none, 0), 1);
    EXPECT_EQ(none, nullptr);
}

TEST_F(CTCPPortTest, SecondClientWaitsUntilTheFirstIsTaken) {
    Client first(port), second(port);
    int requests = 0;
    owner.hook = [&](const LMessage& m) {
        if (m.Is(CTCPPort_Request)) ++requests;
        return true;  // consumed but not accepted: the connection stays pending
    };
    ASSERT_TRUE(main.RunUntil([&] { return requests == 1; }));
    main.Spin(0.05);
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(listener->Accept(&owner, nullptr, 0), 1);  // refused: closed
    EXPECT_EQ(first.Read(), "<eof>");
    ASSERT_TRUE(main.RunUntil([&] { return requests == 2; }));
}

TEST_F(CTCPPortTest, UnconsumedRequestClosesThatConnection) {
    int requests = 0;
    owner.hook = [&](const LMessage& m) {
        if (m.Is(CTCPPort_Request)) ++requests;
        return false;  // passed on: comes back to the port
    };
    Client first(port);
    ASSERT_TRUE(main.RunUntil([&] { return requests == 1; }));
    EXPECT_EQ(first.Read(), "<eof>");
    Client second(port);
    ASSERT_TRUE(main.RunUntil([&] { return requests == 2; }));
}

TEST_F(CTCPPortTest, HeldPortGivesAddressInUse) {
    CTCPPort other(&owner, main.Loop());
    EXPECT_EQ(other.Listen(port, 8, 0, kLoopback), CTCPPort::kAddressInUse);
    EXPECT_EQ(other.Listen(0, 8, 0, 0x0a0a0a0a), CTCPPort::kAddressInUse);
    EXPECT_FALSE(other.IsOpen());
    EXPECT_EQ(listener->Listen(1, 8, 0, kLoopback), CTCPPort::kOk);  // already open: unchanged
    EXPECT_EQ(listener->LocalPort(), port);
}

TEST_F(CTCPPortTest, ListenerWithClosedConnectionsInTimeWaitListensAgainAtOnce) {
    TinyServer server;
    server.Attach(owner, listener.get());
    {
        Client c(port);
        send(c.fd, "GET / HTTP/1.0\r\n\r\n", 18, MSG_NOSIGNAL);
        ASSERT_TRUE(main.RunUntil([&] { return server.served == 1; }));
        EXPECT_EQ(c.Read().substr(0, 8), "HTTP/1.0");
    }
    main.Spin(0.02);
    // We closed first: the connection sits in TIME_WAIT on our side.
    listener.reset();
    owner.hook = nullptr;
    CTCPPort again(&owner, main.Loop());
    EXPECT_EQ(again.Listen(port, 8, 0, kLoopback), CTCPPort::kOk);
}

TEST_F(CTCPPortTest, ConnectAndExchange) {
    nettest::Recorder clientOwner, connOwner;
    std::unique_ptr<CTCPPort> conn;
    owner.hook = [&](const LMessage& m) {
        if (m.Is(CTCPPort_Request)) {
            CTCPPort* out = nullptr;
            listener->Accept(&connOwner, &out, 0);
            conn.reset(out);
        }
        return true;
    };
    CTCPPort client(&clientOwner, main.Loop());
    ASSERT_EQ(client.Listen(0, 0, 4096, kLoopback), CTCPPort::kOk);  // bound only
    client.Connect(CNetAddress::IPv4(kLoopback, port));
    ASSERT_TRUE(main.RunUntil([&] { return clientOwner.Count(CTCPPort_Connected) == 1 && conn; }));
    EXPECT_EQ(client.State(), CTCPPort::kConnected);
    EXPECT_FALSE(client.TakeConnectFailed());
    EXPECT_EQ(client.LocalAddr().port, client.LocalPort());
    EXPECT_EQ(client.PeerAddr(), CNetAddress::IPv4(kLoopback, port));

    const char data[] = "0123456789";
    EXPECT_TRUE(client.Send(data, 10));
    EXPECT_EQ(clientOwner.Count(CTCPPort_Sent), 0);
    ASSERT_TRUE(main.RunUntil([&] { return clientOwner.Count(CTCPPort_Sent) == 1; }));
    char buf[32];
    uint32_t n = 0;
    ASSERT_TRUE(main.RunUntil([&] { return (n = conn->ReceiveNow(buf, sizeof buf)) != 0; }));
    EXPECT_EQ(std::string(buf, n), "0123456789");
    EXPECT_EQ(conn->ReceiveNow(buf, sizeof buf), 0u);  // nothing more: read watch armed
    ASSERT_TRUE(main.RunUntil([&] { return connOwner.Count(CTCPPort_RcvA) == 0 || true; }));

    client.Disconnect();
    ASSERT_TRUE(main.RunUntil([&] { return clientOwner.Count(CTCPPort_Close) == 1; }));
    EXPECT_TRUE(main.RunUntil([&] { return connOwner.Count(CTCPPort_RcvA) >= 1; }));
    EXPECT_EQ(conn->ReceiveNow(buf, sizeof buf), 0u);  // the peer closed
    ASSERT_TRUE(main.RunUntil([&] { return connOwner.Count(CTCPPort_Close) == 1; }));
}

TEST_F(CTCPPortTest, RefusedConnectSetsTheFlagAndCloses) {
    nettest::Recorder clientOwner;
    CTCPPort client(&clientOwner, main.Loop());
    ASSERT_EQ(client.Listen(0, 0, 0, kLoopback), CTCPPort::kOk);
    client.Connect(CNetAddress::IPv4(kLoopback, nettest::FreeTcpPort()));
    ASSERT_TRUE(main.RunUntil([&] { return clientOwner.Count(CTCPPort_Close) == 1; }));
    EXPECT_TRUE(client.TakeConnectFailed());
    EXPECT_FALSE(client.TakeConnectFailed());
    EXPECT_FALSE(client.IsOpen());
    EXPECT_EQ(clientOwner.Count(CTCPPort_Connected), 0);
}

TEST_F(CTCPPortTest, BacklogZeroOnlyBinds) {
    nettest::Recorder o;
    CTCPPort bound(&o, main.Loop());
    ASSERT_EQ(bound.Listen(0, 0, 0, kLoopback), CTCPPort::kOk);
    Client c(bound.LocalPort());
    EXPECT_FALSE(c.connected);
    main.Spin(0.02);
    EXPECT_EQ(o.Count(CTCPPort_Request), 0);
}

TEST_F(CTCPPortTest, PeerThatNeverReadsLeavesOneSendInFlightAndResetGivesCloseWithoutSigpipe) {
    struct sigaction old {};
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &dfl, &old);  // a SIGPIPE would end the test process
    auto c = std::make_unique<Client>(port);
    nettest::Recorder connOwner;
    std::unique_ptr<CTCPPort> conn;
    owner.hook = [&](const LMessage& m) {
        if (m.Is(CTCPPort_Request)) {
            CTCPPort* out = nullptr;
            listener->Accept(&connOwner, &out, 4096);
            conn.reset(out);
        }
        return true;
    };
    ASSERT_TRUE(main.RunUntil([&] { return conn != nullptr; }));
    std::vector<char> big(8 << 20, 'x');
    EXPECT_FALSE(conn->Send(big.data(), uint32_t(big.size())));
    main.Spin(0.1);
    EXPECT_EQ(connOwner.Count(CTCPPort_Sent), 0);
    EXPECT_FALSE(conn->CanSend());
    EXPECT_GT(conn->PendingSendBytes(), 0u);
    // The peer goes away with data unread: a reset.
    linger l{1, 0};
    setsockopt(c->fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    c.reset();
    ASSERT_TRUE(main.RunUntil([&] { return connOwner.Count(CTCPPort_Close) == 1; }));
    EXPECT_EQ(connOwner.Count(CTCPPort_Sent), 0);
    EXPECT_EQ(conn->PendingSendBytes(), 0u);
    sigaction(SIGPIPE, &old, nullptr);
}

TEST_F(CTCPPortTest, LocalAddressesComeFromTheInterfaces) {
    CU32Array addrs;
    listener->LocalAddresses(addrs);
    bool loopback = false;
    for (uint32_t i = 0; i < addrs.Count(); ++i) loopback |= addrs[i] == kLoopback;
    EXPECT_TRUE(loopback);
    CTCPPort closed(&owner, main.Loop());
    CU32Array none;
    closed.LocalAddresses(none);
    EXPECT_EQ(none.Count(), 0u);
}

TEST(CTCPPortLife, NoServiceThreadIsLeftAfterTheLastPort) {
    nettest::MainLoop main;
    nettest::Recorder owner;
    int before = nettest::ThreadCount();
    {
        CTCPPort a(&owner, main.Loop());
        ASSERT_EQ(a.Listen(0, 4, 0, kLoopback), CTCPPort::kOk);
        EXPECT_TRUE(CSocketSelector::IsRunning());
    }
    EXPECT_FALSE(CSocketSelector::IsRunning());
    EXPECT_EQ(nettest::ThreadCount(), before);
}

}  // namespace
