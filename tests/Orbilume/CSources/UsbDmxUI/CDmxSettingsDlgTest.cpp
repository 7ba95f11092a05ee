#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "Common/ObjC/AppDelegate.h"
#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/UsbDmx/CDmxIoManager.h"
#include "Orbilume/CSources/UsbDmxUI/CDmxSettingsDlg.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "Platform/USB/sim/SimDmxInterface.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"
#include "tests/Lib3/LSources/CoreData/ParamTestTypes.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/Orbilume/CSources/UsbDmx/UsbDmxTestLoop.h"
#include "tests/support/FakeClock.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/NestedLoopGuard.h"
#include "tests/support/PinnedFonts.h"

namespace {

using plat::headless::HeadlessBackend;

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

struct Timing {
    uint32_t brk, mab, mbs;
    bool operator==(const Timing&) const = default;
};

void Record(void* context, uint32_t brk, uint32_t mab, uint32_t mbs) {
    static_cast<std::vector<Timing>*>(context)->push_back({brk, mab, mbs});
}

class DmxDialogTest : public dialogtest::HeadlessDialogTest {
protected:
    DmxDialogTest() { holder = std::make_unique<CRecordHolder>(CRecord::New(&ptest::gHolderType)); }
    ~DmxDialogTest() override { holder.reset(); }
    CRecordRef Set() { return CRecordRef(&holder->Root()->Slot(ptest::kSets).record); }
    std::string Value(const char* key) {
        LString v;
        return CParamSet::Find(Set(), LString(key), &v) >= 0 ? Str(v) : "<none>";
    }
    // A knob committed with a value, as the knob reports it to its dialog.
    static void Commit(CDmxSettingsDlg& d, uint32_t n, int32_t value) {
        d.KnobPane(n)->SetValue(float(value));
        LHandler::Dispatch(LMessage(CNumVol_Fix, d.KnobPane(n), &d));
    }
    // At its preferred size every pane lies inside the dialog, no two overlap, and each knob sits
    // right of its label.
    static void ExpectTidy(CDmxSettingsDlg& d) {
        std::vector<LPane*> panes = {d.OkButton(), d.CancelButton()};
        for (uint32_t n = 0; n < d.KnobCount(); ++n) {
            panes.push_back(d.Label(n));
            panes.push_back(d.KnobPane(n));
        }
        HeadlessDialogTest::ExpectTidy(d, panes);
        for (uint32_t n = 0; n < d.KnobCount(); ++n)
            EXPECT_GE(d.KnobPane(n)->Bounds().left, d.Label(n)->Bounds().right) << n;
    }

    std::unique_ptr<CRecordHolder> holder;
};

TEST_F(DmxDialogTest, TheThreeDialogsBuildFromTheirResources) {
    ASSERT_TRUE(resources.Ok());
    CArtNetDlg art(&root, nullptr);
    CSAcnDlg sacn(&root, nullptr);
    CSigParamDlg sig(&root, nullptr, Set());
    const struct {
        CDmxSettingsDlg* dialog;
        std::vector<std::string> labels;
        std::vector<std::tuple<float, float>> ranges;
    } cases[] = {
        {&art, {"Net:", "Sub-Net:", "Universe:"}, {{0, 127}, {0, 15}, {0, 15}}},
        {&sacn, {"Universe:"}, {{1, 63999}}},
        {&sig, {"Break (us):", "MAB (us):", "MBS (us):"}, {{92, 347}, {12, 267}, {0, 255}}},
    };
    for (const auto& c : cases) {
        CDmxSettingsDlg& d = *c.dialog;
        SCOPED_TRACE(c.labels[0]);
        EXPECT_TRUE(d.HasLayout());
        EXPECT_EQ(Str(d.OkButton()->GetTitle()), "OK");
        EXPECT_EQ(Str(d.CancelButton()->GetTitle()), "Cancel");
        EXPECT_EQ(d.DefaultButton(), d.OkButton());
        EXPECT_EQ(d.LDialog::CancelButton(), d.CancelButton());
        ASSERT_EQ(d.KnobCount(), c.labels.size());
        for (uint32_t n = 0; n < d.KnobCount(); ++n) {
            EXPECT_EQ(Str(d.Label(n)->Text()), c.labels[n]);
            EXPECT_EQ(d.KnobPane(n)->Minimum(), std::get<0>(c.ranges[n]));
            EXPECT_EQ(d.KnobPane(n)->Maximum(), std::get<1>(c.ranges[n]));
            EXPECT_EQ(d.KnobPane(n)->Step(), 1.0f);
        }
        ExpectTidy(d);
    }
}

TEST_F(DmxDialogTest, KnobsClampToTheirRanges) {
    CArtNetDlg art(&root, nullptr);
    CSAcnDlg sacn(&root, nullptr);
    CSigParamDlg sig(&root, nullptr, Set());
    const struct {
        CDmxSettingsDlg* dialog;
        uint32_t knob;
        int32_t in, out;
    } cases[] = {
        {&art, 0, 127, 127},  {&art, 0, 128, 127}, {&art, 0, -1, 0},         {&art, 1, 16, 15},
        {&art, 2, 99, 15},    {&sacn, 0, 0, 1},    {&sacn, 0, 63999, 63999}, {&sacn, 0, 64000, 63999},
        {&sacn, 0, 300, 300}, {&sig, 0, 91, 92},   {&sig, 0, 348, 347},      {&sig, 1, 0, 12},
        {&sig, 1, 268, 267},  {&sig, 2, -5, 0},    {&sig, 2, 256, 255},
    };
    for (const auto& c : cases) {
        c.dialog->SetKnob(c.knob, c.in);
        EXPECT_EQ(c.dialog->Knob(c.knob), c.out) << c.knob << " " << c.in;
    }
    // What was typed but not yet entered reads clamped too.
    sacn.KnobPane(0)->SetText(LString("99999"));
    EXPECT_EQ(sacn.Knob(0), 63999);
    sacn.KnobPane(0)->SetText(LString("-3"));
    EXPECT_EQ(sacn.Knob(0), 1);
}

TEST_F(DmxDialogTest, ArtNetAddressAndTheWholeSAcnUniverse) {
    CArtNetDlg art(&root, nullptr);
    art.SetKnob(CArtNetDlg::kNet, 1);
    art.SetKnob(CArtNetDlg::kSubNet, 2);
    art.SetKnob(CArtNetDlg::kUniverse, 3);
    EXPECT_EQ(art.SubUni(), 0x23);
    EXPECT_EQ(art.PortAddress(), 0x0123);
    art.SetAddress(127, 0xFE);
    EXPECT_EQ(art.Knob(CArtNetDlg::kSubNet), 15);
    EXPECT_EQ(art.Knob(CArtNetDlg::kUniverse), 14);
    EXPECT_EQ(art.PortAddress(), 0x7FFE);

    CSAcnDlg sacn(&root, nullptr);
    sacn.SetUniverse(63999);
    EXPECT_EQ(sacn.Universe(), 63999);
    sacn.SetUniverse(0xFFFFFFFFu);
    EXPECT_EQ(sacn.Universe(), 63999);
}

TEST_F(DmxDialogTest, TimingIsEditedLiveAndFollowsTheSet) {
    std::vector<Timing> sent;
    CSigParamDlg sig(&root, nullptr, Set());
    sig.SetTimingTarget(&sent, Record);
    // An empty set shows the defaults.
    EXPECT_EQ(sig.Knob(CSigParamDlg::kBreak), 176);
    EXPECT_EQ(sig.Knob(CSigParamDlg::kMab), 12);
    EXPECT_EQ(sig.Knob(CSigParamDlg::kMbs), 0);

    Commit(sig, CSigParamDlg::kBreak, 100);
    EXPECT_EQ(Value("break"), "8");
    Commit(sig, CSigParamDlg::kMab, 267);
    EXPECT_EQ(Value("mab"), "255");
    Commit(sig, CSigParamDlg::kMbs, 3);
    EXPECT_EQ(Value("mbs"), "3");
    EXPECT_EQ(sent, (std::vector<Timing>{{8, 0, 0}, {8, 255, 0}, {8, 255, 3}}));

    // Changed elsewhere: the knobs follow and the interface is told.
    CParamSet::PutIntAt(Set(), LString("break"), 40);
    EXPECT_EQ(sig.Knob(CSigParamDlg::kBreak), 132);
    EXPECT_EQ(sent.back(), (Timing{40, 255, 3}));
    // Stored values outside a byte are shown and sent clamped.
    CParamSet::PutIntAt(Set(), LString("mbs"), 9999);
    EXPECT_EQ(sig.Knob(CSigParamDlg::kMbs), 255);
    EXPECT_EQ(sent.back(), (Timing{40, 255, 255}));
    // Another key of the set does not count as timing, but does not hurt either.
    CParamSet::PutIntAt(Set(), LString("other"), 1);
    EXPECT_EQ(Value("other"), "1");
}

TEST_F(DmxDialogTest, DestroyedDialogStopsListening) {
    std::vector<Timing> sent;
    {
        CSigParamDlg sig(&root, nullptr, Set());
        sig.SetTimingTarget(&sent, Record);
    }
    CParamSet::PutIntAt(Set(), LString("break"), 1);
    EXPECT_TRUE(sent.empty());
}

TEST_F(DmxDialogTest, ReturnKeepsTheLiveEditsAndCancelRestoresThem) {
    ASSERT_TRUE(resources.Ok());
    CParamSet::PutIntAt(Set(), LString("break"), 20);
    std::vector<Timing> sent;

    auto* ok = new CSigParamDlg(&root, nullptr, Set(), ModalSpec());
    ok->SetTimingTarget(&sent, Record);
    Show(ok);
    Commit(*ok, CSigParamDlg::kBreak, 150);
    {
        testsupport::NestedLoopGuard guard;
        Inject(ok, "\r");
        EXPECT_EQ(ok->RunUntilResult(), 1u);
        EXPECT_FALSE(guard.Fired());
    }
    delete ok;
    EXPECT_EQ(Value("break"), "58");
    EXPECT_EQ(sent.back(), (Timing{58, 0, 0}));

    auto* cancel = new CSigParamDlg(&root, nullptr, Set(), ModalSpec());
    cancel->SetTimingTarget(&sent, Record);
    Show(cancel);
    Commit(*cancel, CSigParamDlg::kBreak, 300);
    Commit(*cancel, CSigParamDlg::kMab, 20);
    EXPECT_EQ(sent.back(), (Timing{208, 8, 0}));
    {
        testsupport::NestedLoopGuard guard;
        Inject(cancel, "\x1b");
        EXPECT_EQ(cancel->RunUntilResult(), 2u);
    }
    // The edited value comes back, the key that was absent goes again, and the interface is told.
    EXPECT_EQ(Value("break"), "58");
    EXPECT_EQ(Value("mab"), "<none>");
    EXPECT_EQ(sent.back(), (Timing{58, 0, 0}));
    EXPECT_EQ(cancel->Knob(CSigParamDlg::kBreak), 150);
    delete cancel;

    auto* art = new CArtNetDlg(&root, nullptr, ModalSpec());
    Show(art);
    {
        testsupport::NestedLoopGuard guard;
        Inject(art, "\r");
        EXPECT_EQ(art->RunUntilResult(), 1u);
    }
    delete art;
}

void NoWrite(void*, const std::string&, int32_t) {}

// Through the simulated interface: each committed knob reaches the device, and Cancel sends the
// timing the dialog opened with.
TEST_F(DmxDialogTest, LiveTimingReachesTheInterfaceAndCancelSendsTheOldOne) {
    usbdmxtest::TestLoop usbLoop;
    plat::sim::SimUsbHost host;
    plat::Ref<plat::sim::SimDmxInterface> device = plat::sim::SimDmxInterface::Make(2, 3, "A");
    host.Plug(device.get());
    auto manager =
        std::make_unique<CDmxIoManager>(usbLoop.Loop(), plat::RunLoop::Current(), &NoWrite, nullptr, &host);
    CDmxIO* io = manager->Acquire("A", CDmxIoManager::kOutput);
    ASSERT_NE(io, nullptr);
    // Polls in real time: the fixture's clock stands still, so a timed turn would never end.
    auto pump = [&](size_t n) {
        for (int i = 0; i < 500 && device->ControlData().size() < n; ++i) {
            plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return device->ControlData().size() >= n;
    };

    auto* sig = new CSigParamDlg(&root, nullptr, Set(), ModalSpec());
    sig->SetTimingTarget(io, &CSigParamDlg::ToInterface);
    Show(sig);
    Commit(*sig, CSigParamDlg::kBreak, 100);
    ASSERT_TRUE(pump(1));
    EXPECT_EQ(device->ControlData()[0], (std::vector<uint8_t>{8, 0, 0, 0}));
    {
        testsupport::NestedLoopGuard guard;
        Inject(sig, "\x1b");
        EXPECT_EQ(sig->RunUntilResult(), 2u);
    }
    ASSERT_TRUE(pump(2));
    EXPECT_EQ(device->ControlData()[1], (std::vector<uint8_t>{84, 0, 0, 0}));
    EXPECT_EQ(Value("break"), "<none>");
    delete sig;
    manager->Release(io, CDmxIoManager::kOutput);
    manager.reset();
}

}  // namespace
