// OLA's olad as the receiver of the LED output: it runs as the olad user in the far namespace of
// the veth pair (netns-run --veth) with only its Art-Net and E1.31 plugins, on 10.99.0.2. Our
// ArtDmx goes to its listed address, our E1.31 to the multicast group routed over the veth; its
// HTTP server (inside the far namespace) tells what each universe holds. Nothing leaves these
// namespaces.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Orbilume/CSources/DmxIn/CUvAdTable.h"
#include "Orbilume/CSources/DmxIn/CUvAdTypes.h"
#include "Orbilume/CSources/Led/CDimOutput.h"
#include "tests/Orbilume/CSources/DmxIn/ChildProcess.h"
#include "tests/Orbilume/CSources/Led/DimOutputFixture.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/TempDir.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using namespace dimtest;
using testsupport::NetNamespace;

std::string Peer() {
    const char* p = std::getenv("ORBILUME_NETNS_PEER_PID");
    return p ? p : "";
}

std::string InFarOutput(const std::string& command) {
    std::string out;
    FILE* f = popen(("nsenter -t " + Peer() + " -n " + command + " 2>/dev/null").c_str(), "r");
    if (!f) return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
    pclose(f);
    return out;
}

bool InFar(const std::string& command) {
    return std::system(("nsenter -t " + Peer() + " -n " + command + " >/dev/null 2>&1").c_str()) == 0;
}

// The 512 values olad holds for a universe (its get_dmx answer), empty when it answers nothing.
std::vector<int> OlaValues(int universe) {
    const std::string json =
        InFarOutput("curl -s 'http://127.0.0.1:9090/get_dmx?u=" + std::to_string(universe) + "'");
    std::vector<int> values;
    const size_t open = json.find('['), close = json.find(']');
    if (open == std::string::npos || close == std::string::npos || close < open) return values;
    const std::string list = json.substr(open + 1, close - open - 1);
    size_t at = 0;
    while (at < list.size()) {
        values.push_back(std::atoi(list.c_str() + at));
        const size_t comma = list.find(',', at);
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return values;
}

struct DimOutputOlaTest : ::testing::Test {
    nettest::MainLoop main;
    testsupport::TempDir config;
    testsupport::Child olad;
    Documents docs;
    std::unique_ptr<CDimOutput> output;
    std::vector<uint32_t> frame = std::vector<uint32_t>(32 * 32);

    void SetUp() override {
        if (NetNamespace::Veth().empty() || Peer().empty()) GTEST_SKIP() << "needs netns-run --veth";
        if (access("/usr/bin/olad", X_OK) != 0) GTEST_SKIP() << "OLA is not installed (scripts/setup)";
        if (access("/usr/bin/curl", X_OK) != 0) GTEST_SKIP() << "curl is not installed";
        passwd* user = getpwnam("olad");
        if (!user) GTEST_SKIP() << "no olad user";
        const char* off[] = {
            "dummy",   "espnet", "kinet",   "opendmx", "osc",       "pathport",   "sandnet",
            "shownet", "spi",    "usbpro",  "usbdmx",  "ftdidmx",   "stageprofi", "uartdmx",
            "gpio",    "karate", "milinst", "renard",  "dmx4linux", "nanoleaf",   "openpixelcontrol"};
        for (const char* p : off)
            std::ofstream(config.File(std::string("ola-") + p + ".conf")) << "enabled = false\n";
        std::ofstream(config.File("ola-artnet.conf")) << "enabled = true\nip = 10.99.0.2\n";
        std::ofstream(config.File("ola-e131.conf")) << "enabled = true\nip = 10.99.0.2\n";
        ASSERT_EQ(chmod(config.Path().c_str(), 0755), 0);
        ASSERT_EQ(std::system(("chown -R olad '" + config.Path() + "'").c_str()), 0);
        ASSERT_TRUE(olad.Spawn(
            {"nsenter", "-t", Peer(), "-n", "setpriv", "--reuid=olad",
             "--regid=" + std::to_string(user->pw_gid), "--clear-groups", "env", "HOME=" + config.Path(),
             "olad", "-c", config.Path(), "--no-register-with-dns-sd", "-l", "2"},
            true));
        auto t0 = testsupport::Clock::now();
        bool up = false;
        while (!up && testsupport::Since(t0) < 5) {
            up = InFar("sh -c 'ola_dev_info | grep -q \"^Device 2: E1.31\"'");
            if (!up) usleep(100000);
        }
        if (!up) GTEST_SKIP() << "olad did not come up in 5 s";
        // OLA universe 1 hears Art-Net 0:0:1, universe 2 hears E1.31 universe 2.
        ASSERT_TRUE(InFar("ola_patch -d 1 -p 0 -i -u 1"));
        ASSERT_TRUE(InFar("ola_patch -d 2 -p 0 -i -u 2"));
        // Multicast leaves through the veth.
        ASSERT_TRUE(NetNamespace::Ip("route replace 224.0.0.0/4 dev " + NetNamespace::Veth()));
        for (uint32_t y = 0; y < 32; ++y)
            for (uint32_t x = 0; x < 32; ++x)
                frame[y * 32 + x] = 0xFF000000u | (x * 8) << 16 | (y * 8) << 8 | 0x40;
        // Two strips and a quad on universe 1, listed at olad's address.
        ASSERT_TRUE(docs.Read(
            DimsXml({{.def = "Strip-RGB-8", .y = -0.5f, .w = 1.5f, .h = 0.2f, .dxch = 1, .universe = "1"},
                     {.def = "Strip-RGB-8", .y = 0.5f, .w = 1.5f, .h = 0.2f, .dxch = 100, .universe = "1"},
                     {.def = "Quad-RGB", .x = 0.5f, .w = 0.5f, .h = 0.5f, .dxch = 509, .universe = "1"}},
                    0, "10.99.0.2", 10)));
        UDimPrefs::SetUse(docs.Settings(), true);
        output = std::make_unique<CDimOutput>(main.Loop(), nullptr, &docs.prefs, &docs.dims, &docs.defs);
        output->Resize(32, 32);
        main.Spin(0.05);  // the universe table follows its record
    }
    void TearDown() override { output.reset(); }

    // Sends passes until olad's universe equals the port's slots 1..512.
    bool Reaches(int olaUniverse) {
        const SDimPort* port = output->PortAt(0);
        if (!port) return false;
        auto t0 = testsupport::Clock::now();
        while (testsupport::Since(t0) < 10) {
            output->SampleFrame(frame.data(), 32, 32);
            output->SendPass();
            main.Spin(0.1);
            std::vector<int> want(port->slots + 1, port->slots + 513);
            if (OlaValues(olaUniverse) == want) return true;
        }
        return false;
    }
};

TEST_F(DimOutputOlaTest, UniversesReachOlaOverArtNetThenE131) {
    ASSERT_EQ(output->PortCount(), 1u);
    ASSERT_TRUE(Reaches(1)) << "Art-Net";
    const SDimPort* port = output->PortAt(0);
    EXPECT_NE(port->slots[1], 0);       // the first strip
    EXPECT_NE(port->slots[100], 0);     // the second
    EXPECT_EQ(port->slots[511], 0x40);  // the quad: only its first dot fits (509..511)
    EXPECT_EQ(port->slots[512], 0);
    // E1.31 after 'saco' := 1 with the listed rows removed: the group of universe 2.
    ASSERT_TRUE(docs.dims.RootRef().SetByte(nullptr, T::kDimsSacn, 1));
    CRecord* uvas = docs.dims.Root()->GetSubRecord(T::kDimsUniverses);
    CRecordRef(&uvas).DeleteElement(nullptr, CUvAdTypes::kUvasList, 0);
    main.Spin(0.05);
    ASSERT_TRUE(Reaches(2)) << "E1.31";
    // Deleting the first strip keeps the others' slots.
    docs.dims.RootRef().DeleteElement(nullptr, T::kDimsDevices, 0);
    ASSERT_TRUE(Reaches(2));
    EXPECT_EQ(output->PortAt(0)->slots[1], 0);
    EXPECT_NE(output->PortAt(0)->slots[100], 0);
}

}  // namespace
