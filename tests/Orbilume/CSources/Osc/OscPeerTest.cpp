#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/CoreData/LVariBufferBase.h"
#include "Orbilume/CSources/Osc/COSCSender.h"
#include "Orbilume/CSources/Osc/OscServer.h"
#include "Orbilume/CSources/Osc/OscWriter.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/Orbilume/CSources/Osc/OscBytes.h"
#include "tests/Orbilume/CSources/Osc/OscRecorder.h"
#include "tests/support/CommandOutput.h"

// Checks against liblo's command-line tools, on loopback inside the test's own namespace.
namespace {

using nettest::kLoopback;
using testsupport::CommandOutput;

bool HaveTool(const char* name) {
    return !CommandOutput(std::string("command -v ") + name + " 2>/dev/null").empty();
}

#define REQUIRE_TOOL(name) \
    if (!HaveTool(name)) GTEST_SKIP() << name << " is not installed (Debian liblo-tools)"

std::string Written(const char* address, const std::vector<OscArg>& args) {
    LVariBuffer<uint8_t> buffer;
    CMemStream s(buffer);
    OscWriter w;
    w.WriteMessage(s, address, args.data(), uint32_t(args.size()));
    return std::string(reinterpret_cast<const char*>(s.Data()), s.End());
}

TEST(OscPeer, WriterBytesEqualOscsendOutput) {
    REQUIRE_TOOL("oscsend");
    struct Case {
        const char* command;  // arguments of `oscsend - ADDRESS TYPES ...`
        const char* address;
        std::vector<OscArg> args;
    } cases[] = {
        {"/a i 1", "/a", {OscArg::Int(1)}},
        {"/neg i -7", "/neg", {OscArg::Int(-7)}},
        {"/layer/1/opacity f 0.5", "/layer/1/opacity", {OscArg::Float(0.5f)}},
        {"/text s abcd", "/text", {OscArg::Text("abcd")}},
        {"/flags TFNI",
         "/flags",
         {OscArg::Flag('T'), OscArg::Flag('F'), OscArg::Flag('N'), OscArg::Flag('I')}},
        {"/mix ifsT 3 -2.25 hello",
         "/mix",
         {OscArg::Int(3), OscArg::Float(-2.25f), OscArg::Text("hello"), OscArg::Flag('T')}},
    };
    for (const auto& c : cases) {
        std::string out = CommandOutput(std::string("oscsend - ") + c.command);
        EXPECT_EQ(osctest::Hex(Written(c.address, c.args)), osctest::Hex(out)) << c.command;
    }
}

struct OscPeerLoop : ::testing::Test {
    nettest::MainLoop main;
};

TEST_F(OscPeerLoop, OscsendReachesTheListener) {
    REQUIRE_TOOL("oscsend");
    osctest::OscRecorder listener;
    listener.addresses = {"/layer/1/opacity", "/fader1"};
    OscServer server(&listener);
    ASSERT_EQ(server.Open(0, kLoopback), 0);
    std::string port = std::to_string(server.LocalPort());
    ASSERT_EQ(std::system(("oscsend 127.0.0.1 " + port + " /layer/1/opacity f 0.75").c_str()), 0);
    ASSERT_EQ(std::system(("oscsend 127.0.0.1 " + port + " '/fader[0-9]' isT 4 12abc").c_str()), 0);
    ASSERT_TRUE(main.RunUntil([&] { return listener.messages.size() == 2; }));
    EXPECT_EQ(listener.messages[0], "/layer/1/opacity ,f 0.75");
    EXPECT_EQ(listener.messages[1], "/fader1 ,isT 4 12abc 1");
    EXPECT_EQ(listener.argsOfLast[1].AsInt(), 12);
}

TEST_F(OscPeerLoop, SenderMessagesReachOscdumpInOrder) {
    REQUIRE_TOOL("oscdump");
    uint16_t port = nettest::FreeTcpPort();  // a free number; UDP on it is very likely free too
    std::string file = ::testing::TempDir() + "oscdump-" + std::to_string(getpid()) + ".txt";
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        FILE* out = std::freopen(file.c_str(), "w", stdout);
        (void)out;
        execlp("oscdump", "oscdump", "-L", std::to_string(port).c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    usleep(300000);  // let it bind
    nettest::Recorder owner;
    COSCSender sender(&owner, main.Loop());
    ASSERT_EQ(sender.Open(kLoopback), 0);
    CNetAddress to = CNetAddress::IPv4(kLoopback, port);
    for (int i = 1; i <= 3; ++i) {
        OscArg args[2] = {OscArg::Int(i), OscArg::Text("scene")};
        sender.SendMessage(to, "/scene/select", args, 2);
    }
    ASSERT_TRUE(main.RunUntil([&] { return owner.Count(COSCSender_UDP_SentA) == 3; }));
    std::string dump;
    for (int tries = 0; tries < 50; ++tries) {
        dump = CommandOutput("cat " + file);
        if (std::count(dump.begin(), dump.end(), '\n') >= 3) break;
        usleep(20000);
    }
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    unlink(file.c_str());
    // Each line starts with the arrival time.
    std::string lines;
    for (size_t at = 0; at < dump.size();) {
        size_t nl = dump.find('\n', at);
        if (nl == std::string::npos) nl = dump.size();
        std::string line = dump.substr(at, nl - at);
        size_t space = line.find(' ');
        lines += (space == std::string::npos ? line : line.substr(space + 1)) + "\n";
        at = nl + 1;
    }
    dump = lines;
    EXPECT_EQ(dump,
              "/scene/select is 1 \"scene\"\n"
              "/scene/select is 2 \"scene\"\n"
              "/scene/select is 3 \"scene\"\n");
}

}  // namespace
