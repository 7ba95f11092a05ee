// The whole program as the LED output's source: `orbilume` runs headless in this test's own network
// namespace (loopback only) with a one-colour show, and preferences saying "use" with "lastfile" on
// a copy of the layout fixture. OLA's olad, in the same namespace, hears its ArtDmx on 127.0.0.1 and
// its HTTP server tells what each universe holds. Nothing leaves the namespace.
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Common/Mac/CPrefsRecord.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Led/CDimInstruments.h"
#include "Orbilume/CSources/Led/CDimOutput.h"
#include "Orbilume/CSources/Led/UDimPrefs.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Preferences/Preferences.h"
#include "tests/Orbilume/CSources/DmxIn/ChildProcess.h"
#include "tests/Orbilume/CSources/Led/DimOutputFixture.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/Platform/Composer/GraphBuilder.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/OlaDmxJson.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace {

using testsupport::NetNamespace;

// The show's one layer: a solid colour (1, 0.5, 0) over the whole output.
constexpr const char* kColour = "rgba(1,0.5,0,1)";
constexpr uint32_t kPixel = 0xFFFF8000u;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The 512 values olad holds for a universe, empty when it answers nothing.
std::vector<int> OlaValues(int universe) {
    return testsupport::OlaDmxValues(testsupport::CommandOutput(
        "curl -s --noproxy '*' --max-time 5 'http://127.0.0.1:9090/get_dmx?u=" + std::to_string(universe) + "'"));
}

// Rendering may round a half a step either way.
bool Near(const std::vector<int>& got, const std::vector<int>& want) {
    if (got.size() != want.size()) return false;
    for (size_t i = 0; i < got.size(); ++i)
        if (std::abs(got[i] - want[i]) > 2) return false;
    return true;
}

// The slots (1-based) where the values differ, with both values.
std::string Differences(const std::vector<int>& got, const std::vector<int>& want) {
    if (got.size() != want.size()) return std::to_string(got.size()) + " values";
    std::string s;
    for (size_t i = 0; i < got.size(); ++i)
        if (std::abs(got[i] - want[i]) > 2)
            s += " " + std::to_string(i + 1) + ":" + std::to_string(got[i]) + "/" + std::to_string(want[i]);
    return s;
}

struct DimmerProgramTest : ::testing::Test {
    testsupport::TempDir home;
    testsupport::TempDir olaConfig;
    testsupport::Child olad;
    pid_t program = -1;

    void TearDown() override {
        if (program > 0) {
            kill(program, SIGKILL);
            waitpid(program, nullptr, 0);
        }
    }

    void WriteShow() {
        const composertest::GraphBuilder solid = composertest::SolidColorGraph();
        ASSERT_TRUE(plat::WritePropertyListFile(home.File("solid.qtz"), solid.PropertyList(),
                                                plat::PropertyListFormat::Xml));
        CDocModelHolder doc;
        doc.SetDocumentPath(CMacFileU::LFsSpecFromPath(home.File("show.obm").c_str()));
        CRecordRef mix = doc.Mix();
        const int32_t n = UDocUnits::AddCompositionLayer(mix, nullptr, 0, LString("solid.qtz"));
        ASSERT_GE(n, 0);
        CRecord* unit =
            mix->GetElement(CDocModelTypes::kMixsLayers, uint32_t(n))->GetSubRecord(CDocModelTypes::kLayrUnit);
        ASSERT_TRUE(UDocUnits::SetUnitInput(mix, nullptr, unit, LString("Color"), LString(kColour), false));
        ASSERT_TRUE(doc.WriteXmlFile(home.File("show.obm").c_str()));
    }

    // The program's preferences file: the dimmer used with the layout as its last file, and no
    // Art-Net input (olad holds port 6454).
    void WritePrefs(const std::string& layout) {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        const std::string saved = old ? old : "";
        setenv("XDG_CONFIG_HOME", home.File(".config").c_str(), 1);
        plat::Preferences::Reset();
        {
            CAppPrefs prefs;
            CRecordRef settings(&prefs.Root()->Slot(CAppPrefs::kPrefDimmer).record);
            UDimPrefs::SetUse(settings, true);
            UDimPrefs::SetLastFile(settings, LString(layout.c_str()));
            (void)prefs.RootRef().SetByte(nullptr, CAppPrefs::kPrefArtNetIn, 0);
            CPrefsRecord binding(&prefs, LString("prefs"));
            binding.Save();
        }
        plat::Preferences::Reset();
        if (old)
            setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }

    // olad as its own user with only its Art-Net plugin, on loopback.
    bool StartOlad(std::string& why) {
        passwd* user = getpwnam("olad");
        if (!user) {
            why = "no olad user";
            return false;
        }
        const char* off[] = {"dummy",      "espnet",  "kinet",    "opendmx", "osc",     "pathport",
                             "sandnet",    "shownet", "spi",      "usbpro",  "usbdmx",  "ftdidmx",
                             "stageprofi", "uartdmx", "gpio",     "karate",  "milinst", "renard",
                             "dmx4linux",  "e131",    "nanoleaf", "openpixelcontrol"};
        for (const char* p : off)
            std::ofstream(olaConfig.File(std::string("ola-") + p + ".conf")) << "enabled = false\n";
        std::ofstream(olaConfig.File("ola-artnet.conf")) << "enabled = true\nip = 127.0.0.1\nuse_loopback = true\n";
        if (chmod(olaConfig.Path().c_str(), 0755) != 0 ||
            std::system(("chown -R olad '" + olaConfig.Path() + "'").c_str()) != 0) {
            why = "cannot hand the OLA folder to olad";
            return false;
        }
        if (!olad.Spawn({"setpriv", "--reuid=olad", "--regid=" + std::to_string(user->pw_gid), "--clear-groups",
                         "env", "HOME=" + olaConfig.Path(), "olad", "-c", olaConfig.Path(),
                         "--no-register-with-dns-sd", "-l", "2"},
                        true)) {
            why = "olad did not start";
            return false;
        }
        auto t0 = testsupport::Clock::now();
        while (testsupport::Since(t0) < 5) {
            if (std::system("ola_dev_info 2>/dev/null | grep -q '^Device 1: ArtNet'") == 0) return true;
            usleep(100000);
        }
        why = "olad not up in 5 s";
        return false;
    }

    void StartProgram(const std::string& show) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            std::string v = *e;
            if (v.rfind("ORBILUME_", 0) != 0 && v.rfind("XDG_", 0) != 0 && v.rfind("HOME=", 0) != 0)
                env.push_back(v);
        }
        env.push_back("HOME=" + home.Path());
        env.push_back("ORBILUME_PLATFORM=headless");
        env.push_back("ORBILUME_NO_REALTIME=1");
        env.push_back("LIBGL_ALWAYS_SOFTWARE=1");
        env.push_back("EGL_PLATFORM=surfaceless");
        env.push_back("ORBILUME_TEST_LOG=" + home.File("requests.log"));
        std::vector<char*> envp;
        for (std::string& v : env) envp.push_back(v.data());
        envp.push_back(nullptr);
        std::vector<std::string> args{ORBILUME_BINARY, show};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ASSERT_EQ(posix_spawn(&program, ORBILUME_BINARY, nullptr, nullptr, argv.data(), envp.data()), 0);
    }
};

TEST_F(DimmerProgramTest, TheProgramFeedsOlaFromItsFrontDocumentAndLeavesTheLayoutAlone) {
    if (!NetNamespace::Inside()) GTEST_SKIP() << "needs netns-run";
    if (access("/usr/bin/olad", X_OK) != 0) GTEST_SKIP() << "OLA is not installed (scripts/setup)";
    if (access("/usr/bin/curl", X_OK) != 0) GTEST_SKIP() << "curl is not installed";

    // The layout fixture, sending Art-Net: its universes are listed at 127.0.0.1.
    std::string layout = Slurp(std::string(LED_FIXTURES) + "/layout.obdim");
    ASSERT_NE(layout.find(" saco=\"1\""), std::string::npos);
    layout.replace(layout.find(" saco=\"1\""), 9, " saco=\"0\"");
    const std::string layoutPath = home.File("layout.obdim");
    home.Write("layout.obdim", layout);
    ASSERT_NO_FATAL_FAILURE(WriteShow());
    WritePrefs(layoutPath);

    // What each universe should hold: the same layout sampled over a frame of the show's colour, on
    // the canvas the program works out from its output (a new show's output window is 512 x 384)
    // and the layout's division of 48: devices beyond it send nothing.
    uint32_t canvasW = 0, canvasH = 0;
    CDimInstruments::CanvasSize(512, 384, 48, 0, false, CDimInstruments::kMaxCanvasSide, canvasW, canvasH);
    ASSERT_EQ(canvasW, 48u);
    ASSERT_EQ(canvasH, 36u);
    std::vector<std::pair<int, std::vector<int>>> expected;
    {
        nettest::MainLoop main;
        dimtest::Documents docs;
        ASSERT_TRUE(docs.Read(layout));
        UDimPrefs::SetUse(docs.Settings(), true);
        CDimOutput output(main.Loop(), nullptr, &docs.prefs, &docs.dims, &docs.defs);
        output.Resize(canvasW, canvasH);
        const std::vector<uint32_t> frame(canvasW * canvasH, kPixel);
        output.SampleFrame(frame.data(), canvasW, canvasH);
        for (uint32_t i = 0; i < output.PortCount(); ++i) {
            const SDimPort* port = output.PortAt(i);
            expected.emplace_back(int(port->universe), std::vector<int>(port->slots + 1, port->slots + 513));
        }
    }
    ASSERT_EQ(expected.size(), 2u);

    std::string why;
    if (!StartOlad(why)) GTEST_SKIP() << why;
    for (const auto& [universe, values] : expected) {
        (void)values;
        const std::string u = std::to_string(universe);
        ASSERT_EQ(std::system(("ola_patch -d 1 -p " + u + " -i -u " + u + " >/dev/null 2>&1").c_str()), 0);
    }

    StartProgram(home.File("show.obm"));
    ASSERT_GT(program, 0);
    auto t0 = testsupport::Clock::now();
    bool all = false;
    std::string last;
    while (!all && testsupport::Since(t0) < 30) {
        all = true;
        for (const auto& [universe, values] : expected) {
            const std::vector<int> got = OlaValues(universe);
            if (!Near(got, values)) {
                last = "universe " + std::to_string(universe) + " (slot:olad/expected)" + Differences(got, values);
                all = false;
                break;
            }
        }
        if (!all) usleep(200000);
    }
    EXPECT_TRUE(all) << last << "\n" << "\n" << Slurp(home.File("requests.log"));
    // Lit slots are there, not only zeros.
    EXPECT_EQ(expected[0].second[0], 0xFF);
    EXPECT_EQ(expected[0].second[1], 0x80);

    kill(program, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(program, &status, 0), program);
    program = -1;
    EXPECT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Slurp(layoutPath), layout);
}

}  // namespace
