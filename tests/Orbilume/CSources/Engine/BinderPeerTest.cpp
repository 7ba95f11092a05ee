#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Orbilume/CSources/DmxIn/CArtNetIn.h"
#include "Orbilume/CSources/DmxIn/CDmxInMerge.h"
#include "Orbilume/CSources/DmxIn/DmxPackets.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Engine/CCtlInDocBinder.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Net/CUdpSocket.h"
#include "Orbilume/CSources/Osc/OscServer.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/TempDir.h"

// oscsend, on loopback inside the test's own namespace, drives a bound output-adjustment input
// through the OSC server and the hub.
namespace {

using T = CDocModelTypes;

void Put(CRecord* set, const char* key, const char* value) {
    CParamSet::SetString(CRecordRef(&set), nullptr, LString(key), LString(value));
}

// The output adjustment's unit record with one input on 0..10, bound through a document binder.
struct BoundOutput {
    explicit BoundOutput(const char* key) {
        unit = prefs.Root()->GetSubRecord(CAppPrefs::kPrefOutAdjUnit);
        CRecord* input = CRecord::New(T::Type(T::kINPT));
        input->StringSlot(T::kInptKey) = LString(key);
        (void)CRecordRef(&unit).InsertRecord(nullptr, T::kUnitInputs, 0, input);
        binder = std::make_unique<CCtlInDocBinder>(unit, &hub);
        binder->AddRange(LString(key), 0, 10);
        ctrl = unit->GetElement(T::kUnitInputs, 0)->GetSubRecord(T::kInptCtl);
    }
    std::string Value() const { return unit->GetElement(T::kUnitInputs, 0)->GetString(T::kInptValue).CStr(); }

    CAppPrefs prefs;
    CCtlInHub hub;
    CRecord* unit = nullptr;
    CRecord* ctrl = nullptr;
    std::unique_ptr<CCtlInDocBinder> binder;
};

TEST(BinderPeer, OscsendDrivesABoundInput) {
    if (testsupport::CommandOutput("command -v oscsend 2>/dev/null").empty())
        GTEST_SKIP() << "oscsend is not installed (Debian liblo-tools)";
    nettest::MainLoop main;
    BoundOutput out("zoom");
    CCtlInHub& hub = out.hub;
    CRecord* ctrl = out.ctrl;
    Put(ctrl, "type", "osc");
    Put(ctrl, "oscadr", "/out/zoom");
    OscServer server(&hub);
    ASSERT_EQ(server.Open(0, nettest::kLoopback), 0);
    const std::string port = std::to_string(server.LocalPort());
    ASSERT_EQ(std::system(("oscsend 127.0.0.1 " + port + " /out/zoom f 0.25").c_str()), 0);
    ASSERT_TRUE(main.RunUntil([&] { return out.Value() == "0.25"; }));
    Put(ctrl, "range", "1");
    // Every type tag reaches the binder; only numbers it can read change the value.
    ASSERT_EQ(std::system(("oscsend 127.0.0.1 " + port + " /out/zoom sTN x").c_str()), 0);
    ASSERT_EQ(std::system(("oscsend 127.0.0.1 " + port + " /out/zoom f 0.5").c_str()), 0);
    ASSERT_TRUE(main.RunUntil([&] { return out.Value() == "5"; }));
}

// ArtDmx on loopback (port 6454 is the namespace's own) reaches a bound input through the Art-Net
// receiver, the DMX merge and the hub; the binder evaluates on the main loop when the hub signals.
struct ArtNetOwner {
    CDmxInMerge* merge = nullptr;
    static void Callback(void* self, const CNetAddress& from, uint32_t length, const uint8_t* d) {
        dmxpkt::ArtDmxView v;
        if (!dmxpkt::AcceptArtDmx(d, length, 0, &v)) return;
        DmxInSource s;
        s.kind = DmxInSource::kArtNet;
        s.priority = 100;
        s.address = from;
        static_cast<ArtNetOwner*>(self)->merge->Offer(s, v.length, v.slots);
    }
};

TEST(BinderPeer, ArtNetFramesDriveABoundInput) {
    nettest::MainLoop main;
    LHandler root{nullptr};
    testsupport::TempDir dir;
    BoundOutput out("fade");
    CCtlInHub& hub = out.hub;
    CRecord* ctrl = out.ctrl;
    Put(ctrl, "type", "dmx2");
    Put(ctrl, "dmxch", "510");  // channels 511 and 512
    CDmxInMerge merge(&hub, &CCtlInHub::DmxSink);
    ArtNetOwner owner{&merge};
    CUdpMuxLink::Config config;
    config.folder = dir.Path();
    CArtNetIn in(&root, main.Loop(), &owner, &ArtNetOwner::Callback, config);
    ASSERT_TRUE(in.Start());
    CUdpSocket sender{nullptr, nullptr};
    ASSERT_EQ(sender.Open(0, CUdpSocket::kFamilyIPv4, 0, 0, nullptr), 0);
    // Every channel changes in every frame; the binder follows the last.
    for (uint8_t high : {0, 64, 128, 255}) {
        uint8_t slots[512];
        for (int i = 0; i < 512; ++i) slots[i] = static_cast<uint8_t>(high + i);
        slots[510] = high;
        slots[511] = 0;
        uint8_t packet[dmxpkt::kArtDmxSize];
        dmxpkt::BuildArtDmx(packet, 0, slots);
        const std::string want = high == 0 ? "0" : high == 64 ? "2.5" : high == 128 ? "5" : "9.96";
        // Sent again until it shows, as a console repeats its frames: the relay may not yet have
        // taken the link's connection when the first one arrives.
        bool shown = false;
        for (int tries = 0; tries < 50 && !shown; ++tries) {
            ASSERT_GT(sender.SendTo(CNetAddress::IPv4(nettest::kLoopback, dmxpkt::kArtNetPort), packet,
                                    dmxpkt::kArtDmxSize),
                      0);
            shown = main.RunUntil([&] { return out.Value() == want; }, 0.1);
        }
        ASSERT_TRUE(shown) << want << " / " << out.Value();
    }
}

}  // namespace
