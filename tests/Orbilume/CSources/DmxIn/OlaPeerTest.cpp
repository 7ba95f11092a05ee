// OLA's olad as the sender: it runs as the olad user in the far namespace of the veth pair
// (netns-run --veth) with only its Art-Net and E1.31 plugins, on 10.99.0.2. Its E1.31 multicast
// reaches our receiver on orbv0; nothing leaves these namespaces.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

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

    // Sets slots on OLA's universe 1 until the sink sees them.
    bool SendUntil(const std::vector<uint8_t>& want) {
        auto t0 = testsupport::Clock::now();
        while (testsupport::Since(t0) < 10) {
            if (!InFar("ola_set_dmx -u 1 -d 10,20,30")) return false;
            if (main.RunUntil([&] { return sink.data == want; }, 0.3)) return true;
        }
        return false;
    }
};

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

}  // namespace
