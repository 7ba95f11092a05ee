#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "Orbilume/CSources/Net/CNamedStream.h"
#include "tests/support/TempDir.h"

namespace {

constexpr const char* kName = "tessaroudpmuxsvran";

template <class F>
bool WaitFor(F done) {
    for (int i = 0; i < 500; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

TEST(CNamedStream, FramesCrossBetweenServerAndClient) {
    testsupport::TempDir dir;
    CNamedStream server(nullptr, nullptr);
    ASSERT_EQ(server.Listen(dir.Path(), kName), CNamedStream::kOk);
    CNamedStream client(nullptr, nullptr);
    ASSERT_NE(client.Connect(dir.Path(), kName), CNamedStream::kFailed);
    std::unique_ptr<CNamedStream> accepted;
    ASSERT_TRUE(WaitFor([&] {
        accepted.reset(server.Accept(nullptr, nullptr));
        return accepted != nullptr;
    }));
    EXPECT_EQ(accepted->State(), CNamedStream::kConnected);

    CFramedStream out(accepted.get());
    CFramedStream in(&client);
    const char payload[] = "Art-Net";
    ASSERT_EQ(out.SendFrame(CNetAddress::IPv4(0x0A630002, 6454), payload, 8), 8);
    uint8_t buf[530];
    CNetAddress from;
    int32_t n = 0;
    ASSERT_TRUE(WaitFor([&] { return (n = in.Receive(from, buf, sizeof buf)) != 0; }));
    ASSERT_EQ(n, 8);
    EXPECT_EQ(std::memcmp(buf, payload, 8), 0);
    EXPECT_EQ(from.IPv4Address(), 0x0A630002u);
    EXPECT_EQ(from.port, 6454);

    // The server going away is an error on the client's next read.
    accepted.reset();
    ASSERT_TRUE(WaitFor([&] { return in.Receive(from, buf, sizeof buf) < 0; }));
}

TEST(CNamedStream, ListenReplacesAStaleSocketAndCloseRemovesIt) {
    testsupport::TempDir dir;
    dir.Write(kName, "stale");
    CNamedStream server(nullptr, nullptr);
    ASSERT_EQ(server.Listen(dir.Path(), kName), CNamedStream::kOk);
    struct stat st;
    ASSERT_EQ(stat(dir.File(kName).c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    server.Close();
    EXPECT_NE(stat(dir.File(kName).c_str(), &st), 0);
    CNamedStream client(nullptr, nullptr);
    EXPECT_EQ(client.Connect(dir.Path(), kName), CNamedStream::kFailed);
}

TEST(CNamedStream, PeerOfAnotherUserIsRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run a peer as another user";
    testsupport::TempDir dir;
    chmod(dir.Path().c_str(), 0755);
    CNamedStream server(nullptr, nullptr);
    ASSERT_EQ(server.Listen(dir.Path(), kName), CNamedStream::kOk);
    chmod(dir.File(kName).c_str(), 0777);
    pid_t child = fork();
    if (child == 0) {
        // The peer: nobody connects and waits to be closed.
        if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) _exit(2);
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::snprintf(a.sun_path, sizeof a.sun_path, "%s", dir.File(kName).c_str());
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) _exit(3);
        char c;
        _exit(read(fd, &c, 1) == 0 ? 0 : 4);
    }
    ASSERT_GT(child, 0);
    ASSERT_TRUE(WaitFor([&] {
        std::unique_ptr<CNamedStream> s(server.Accept(nullptr, nullptr));
        EXPECT_EQ(s, nullptr);
        return server.RefusedPeers() == 1;
    }));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the peer was not closed";
}

TEST(CNamedStream, DefaultFolderIsTheUsersOwn) {
    std::string folder = CNamedStream::DefaultFolder();
    ASSERT_FALSE(folder.empty());
    struct stat st;
    ASSERT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, geteuid());
    EXPECT_EQ(st.st_mode & 022, 0u);
}

}  // namespace
