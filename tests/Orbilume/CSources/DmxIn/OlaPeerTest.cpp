// OLA's olad as the peer: it runs as the olad user in the far namespace of the veth pair
// (netns-run --veth) with only its Art-Net and E1.31 plugins, on 10.99.0.2. Its Art-Net broadcast
// and E1.31 multicast reach our receivers on orbv0, and ola_recorder records what our builders
// send it; nothing leaves these namespaces.
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Orbilume/CSources/DmxIn/CArtNetIn.h"
#include "Orbilume/CSources/DmxIn/CDmxInMerge.h"
#include "Orbilume/CSources/DmxIn/CSAcnIn.h"
#include "tests/Orbilume/CSources/DmxIn/ChildProcess.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/TempDir.h"

namespace {

using testsupport::NetNamespace;
constexpr uint32_t kOlaAddress = 0x0A630002;  // 10.99.0.2

struct Sink {
    int calls = 0;
    DmxInSource source;
    std::vector<uint8_t> data;
    static void Deliver(void* self, const DmxInSource& s, const uint8_t* d, uint32_t n) {
        auto* k = static_cast<Sink*>(self);
        ++k->calls;
        k->source = s;
        k->data.assign(d, d + n);
    }
};

// What the application's Art-Net receiver does for port address 1 (OLA's universe 1).
void ArtNetFrame(void* self, const CNetAddress& from, uint32_t length, const uint8_t* datagram) {
    dmxpkt::ArtDmxView v;
    if (!dmxpkt::AcceptArtDmx(datagram, length, 1, &v)) return;
    DmxInSource s;
    s.kind = DmxInSource::kArtNet;
    s.priority = 100;
    s.address = from;
    static_cast<CDmxInMerge*>(self)->Offer(s, v.length, v.slots);
}

// What the application's sACN receiver does: the frame goes to the merge.
void SAcnFrame(void* self, const CNetAddress& from, uint8_t priority, uint32_t count, const uint8_t* values) {
    DmxInSource s;
    s.kind = DmxInSource::kSAcn;
    s.priority = priority;
    s.address = from;
    static_cast<CDmxInMerge*>(self)->Offer(s, count - 1, values + 1);
}

std::string Peer() {
    const char* p = std::getenv("ORBILUME_NETNS_PEER_PID");
    return p ? p : "";
}

// A command line run in the far namespace; true on exit status 0.
bool InFar(const std::string& command) {
    return std::system(("nsenter -t " + Peer() + " -n " + command + " >/dev/null 2>&1").c_str()) == 0;
}

struct OlaPeerTest : ::testing::Test {
    nettest::MainLoop main;
    LHandler root{nullptr};
    testsupport::TempDir config;
    testsupport::Child olad;
    Sink sink;
    CDmxInMerge merge{&sink, &Sink::Deliver};

    void SetUp() override {
        if (NetNamespace::Veth().empty() || Peer().empty()) GTEST_SKIP() << "needs netns-run --veth";
        if (access("/usr/bin/olad", X_OK) != 0) GTEST_SKIP() << "OLA is not installed (scripts/setup)";
        passwd* user = getpwnam("olad");
        if (!user) GTEST_SKIP() << "no olad user";
        // Only Art-Net and E1.31, on the far end of the veth; Art-Net output broadcasts.
        const char* off[] = {
            "dummy",   "espnet", "kinet",   "opendmx", "osc",       "pathport",   "sandnet",
            "shownet", "spi",    "usbpro",  "usbdmx",  "ftdidmx",   "stageprofi", "uartdmx",
            "gpio",    "karate", "milinst", "renard",  "dmx4linux", "nanoleaf",   "openpixelcontrol"};
        for (const char* p : off)
            std::ofstream(config.File(std::string("ola-") + p + ".conf")) << "enabled = false\n";
        std::ofstream(config.File("ola-artnet.conf"))
            << "enabled = true\nip = 10.99.0.2\nalways_broadcast = true\n";
        std::ofstream(config.File("ola-e131.conf")) << "enabled = true\nip = 10.99.0.2\n";
        ASSERT_EQ(chmod(config.Path().c_str(), 0755), 0);
        ASSERT_EQ(std::system(("chown -R olad '" + config.Path() + "'").c_str()), 0);
        // olad refuses root: it runs as its own user. Stopped by its pid (nsenter and setpriv exec it).
        ASSERT_TRUE(olad.Spawn(
            {"nsenter", "-t", Peer(), "-n", "setpriv", "--reuid=olad",
             "--regid=" + std::to_string(user->pw_gid), "--clear-groups", "env", "HOME=" + config.Path(),
             "olad", "-c", config.Path(), "--no-http", "--no-register-with-dns-sd", "-l", "2"},
            true));
        auto t0 = testsupport::Clock::now();
        bool up = false;
        while (!up && testsupport::Since(t0) < 10) {
            up = InFar("sh -c 'ola_dev_info | grep -q \"^Device 2: E1.31\"'");
            if (!up) usleep(100000);
        }
        if (!up) GTEST_SKIP() << "olad did not come up in time";
        ASSERT_TRUE(InFar("ola_patch -d 1 -p 0 -u 1"));
        ASSERT_TRUE(InFar("ola_patch -d 2 -p 0 -u 1"));
    }

    // Sets slots on an OLA universe until the sink sees them.
    bool SendUntil(const std::vector<uint8_t>& want, int universe = 1, const char* slots = "10,20,30") {
        auto t0 = testsupport::Clock::now();
        const std::string command = "ola_set_dmx -u " + std::to_string(universe) + " -d " + slots;
        while (testsupport::Since(t0) < 10) {
            if (!InFar(command)) return false;
            if (main.RunUntil([&] { return sink.data == want; }, 0.3)) return true;
        }
        return false;
    }
};

// Lines of an ola_recorder show file for one universe: "<universe> <v1>,<v2>,...".
std::vector<std::string> ShowFrames(const std::string& show, int universe) {
    std::vector<std::string> frames;
    std::istringstream in(show);
    std::string line;
    const std::string prefix = std::to_string(universe) + " ";
    while (std::getline(in, line))
        if (line.compare(0, prefix.size(), prefix) == 0) frames.push_back(line.substr(prefix.size()));
    return frames;
}

TEST_F(OlaPeerTest, ArtNetBroadcastThroughTheMultiplexer) {
    CUdpMuxLink::Config c;
    c.folder = config.Path();
    CArtNetIn in(&root, main.Loop(), &merge, &ArtNetFrame, c);
    (void)in.Start();
    ASSERT_TRUE(main.RunUntil([&] { return in.IsConnected(); }, 5));
    // OLA pads ArtDmx to an even Length: three slots travel as four.
    EXPECT_TRUE(SendUntil({0, 10, 20, 30, 0})) << sink.data.size() << " bytes, " << sink.calls << " calls";
    EXPECT_EQ(sink.source.kind, uint32_t(DmxInSource::kArtNet));
    EXPECT_EQ(sink.source.address.IPv4Address(), kOlaAddress);
    EXPECT_EQ(sink.source.priority, 100u);
    in.Stop();
}

TEST_F(OlaPeerTest, OlaRecordsOurArtDmxAndE131) {
    // Input ports: Art-Net port address 2 into OLA universe 2, E1.31 universe 3 into OLA universe 3.
    ASSERT_TRUE(InFar("ola_patch -i -d 1 -p 0 -u 2"));
    ASSERT_TRUE(InFar("ola_patch -i -d 2 -p 0 -u 3"));
    const std::string show = config.File("show");
    testsupport::Child recorder;
    // nsenter execs the recorder, so its pid is the recorder's; it saves the show on SIGTERM.
    ASSERT_TRUE(recorder.Spawn({"nsenter", "-t", Peer(), "-n", "ola_recorder", "-r", show, "-u", "2,3"}, true));
    ASSERT_TRUE(recorder.WaitFor("Recording, hit Control-C to end", 5)) << recorder.output;

    CUdpSocket udp(nullptr, nullptr);
    ASSERT_EQ(udp.Open(0, CUdpSocket::kFamilyIPv4, 0, 0, nullptr), 0);
    uint8_t slots[512] = {};
    for (int i = 0; i < 512; ++i) slots[i] = uint8_t(i * 7);
    uint8_t art[dmxpkt::kArtDmxSize];
    const uint32_t artLength = dmxpkt::BuildArtDmx(art, 2, slots);
    const uint8_t values[4] = {0, 7, 8, 9};
    dmxpkt::E131Source source;
    std::snprintf(source.name, sizeof source.name, "orbilume test");
    for (int i = 0; i < 5; ++i) {
        uint8_t e131[dmxpkt::kE131MaxSize];
        const uint32_t e131Length = dmxpkt::BuildE131(e131, 2, uint8_t(i), values, 4, source);
        EXPECT_GT(udp.SendTo(CNetAddress::IPv4(kOlaAddress, dmxpkt::kArtNetPort), art, artLength), 0);
        EXPECT_GT(udp.SendTo(CNetAddress::IPv4(kOlaAddress, dmxpkt::kSAcnPort), e131, e131Length), 0);
        usleep(200000);
    }
    ASSERT_EQ(kill(recorder.pid, SIGTERM), 0);
    ASSERT_TRUE(recorder.WaitForExit(10)) << recorder.output;
    std::ifstream file(show);
    std::stringstream text;
    text << file.rdbuf();
    std::string artSlots;
    for (int i = 0; i < 512; ++i) artSlots += (i ? "," : "") + std::to_string(slots[i]);
    const std::vector<std::string> artFrames = ShowFrames(text.str(), 2);
    const std::vector<std::string> e131Frames = ShowFrames(text.str(), 3);
    ASSERT_FALSE(artFrames.empty()) << text.str();
    ASSERT_FALSE(e131Frames.empty()) << text.str();
    EXPECT_EQ(artFrames.back(), artSlots);
    EXPECT_EQ(e131Frames.back(), "7,8,9");
}

TEST_F(OlaPeerTest, SAcnFromTheUniverseGroup) {
    // The groups of 239.255/16 are joined on the veth, not on loopback.
    ASSERT_TRUE(NetNamespace::Ip("route add 239.255.0.0/16 dev " + NetNamespace::Veth()));
    CSAcnIn in(&root, main.Loop(), &merge, &SAcnFrame);
    ASSERT_TRUE(in.Open());
    ASSERT_TRUE(in.SetUniverse(1));
    bool got = SendUntil({0, 10, 20, 30});
    (void)NetNamespace::Ip("route del 239.255.0.0/16 dev " + NetNamespace::Veth());
    EXPECT_TRUE(got) << sink.data.size() << " bytes, " << sink.calls << " calls";
    EXPECT_EQ(sink.source.kind, uint32_t(DmxInSource::kSAcn));
    EXPECT_EQ(sink.source.address.IPv4Address(), kOlaAddress);
    EXPECT_EQ(sink.source.priority, 100u);
}

TEST_F(OlaPeerTest, ChangingTheSAcnUniverseSwapsTheGroups) {
    ASSERT_TRUE(InFar("ola_patch -d 2 -p 1 -u 2"));
    ASSERT_TRUE(NetNamespace::Ip("route add 239.255.0.0/16 dev " + NetNamespace::Veth()));
    CSAcnIn in(&root, main.Loop(), &merge, &SAcnFrame);
    ASSERT_TRUE(in.Open());
    ASSERT_TRUE(in.SetUniverse(1));
    const bool first = SendUntil({0, 10, 20, 30});
    ASSERT_TRUE(in.SetUniverse(2));
    const bool second = SendUntil({0, 40, 50, 60}, 2, "40,50,60");
    // Universe 1 no longer reaches the receiver.
    const int calls = sink.calls;
    bool stray = false;
    for (int i = 0; i < 5 && !stray; ++i) {
        stray = !InFar("ola_set_dmx -u 1 -d 11,21,31");
        stray = stray || main.RunUntil([&] { return sink.data == std::vector<uint8_t>{0, 11, 21, 31}; }, 0.2);
    }
    (void)NetNamespace::Ip("route del 239.255.0.0/16 dev " + NetNamespace::Veth());
    EXPECT_TRUE(first);
    EXPECT_TRUE(second) << sink.data.size() << " bytes, " << sink.calls - calls << " calls";
    EXPECT_FALSE(stray);
}

}  // namespace
