#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Common/ObjC/AppDelegate.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Midi/CMidiClient.h"
#include "Orbilume/CSources/Midi/CMidiInManager.h"
#include "Orbilume/CSources/MidiUI/CMidiInCell.h"
#include "Orbilume/CSources/MidiUI/CMultiMidiInStates.h"
#include "Orbilume/CSources/MidiUI/CMultiMidiInWin.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Control.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/MIDI/MidiPacketList.h"
#include "Platform/MIDI/virtual/VirtualMidiSystem.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/NestedLoopGuard.h"
#include "tests/support/PinnedFonts.h"

namespace {

using plat::headless::HeadlessBackend;

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

struct Inbox {
    std::mutex mutex;
    int count = 0;
    static void Receive(void* context, const MidiInMessage*) {
        auto* self = static_cast<Inbox*>(context);
        std::lock_guard<std::mutex> lock(self->mutex);
        ++self->count;
    }
    int Take() {
        std::lock_guard<std::mutex> lock(mutex);
        return std::exchange(count, 0);
    }
};

class MidiInWinTest : public ::testing::Test {
protected:
    MidiInWinTest() {
        auto system = std::make_unique<plat::VirtualMidiSystem>();
        midi = system.get();
        client = std::make_unique<CMidiClient>("orbilume", std::move(system));
    }
    ~MidiInWinTest() override {
        win.reset();
        manager.reset();
        client.reset();
    }
    CRecordRef Table() { return CRecordRef(&prefs.Root()->Slot(CAppPrefs::kPrefMidiTable).record); }
    CRecordRef Enabled() { return CRecordRef(&prefs.Root()->Slot(CAppPrefs::kPrefMidiIn).record); }
    void Start() {
        manager = std::make_unique<CMidiInManager>(client.get(), Table(), Enabled(), &inbox, Inbox::Receive);
        win = std::make_unique<CMultiMidiInWin>(&log, &owner, Table());
        // Shown as in its window, so that cells get live panes.
        win->ChangeState(LPane::kChainShow);
        win->ChangeState(LPane::kChainEnable);
        win->SetBounds({0, 0, 480, 200});
        win->UpdateLayout();
    }
    void Turn() {
        for (int i = 0; i < 3; ++i) plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
    }
    // The cell of a row, given a live pane.
    CMidiInCell* Cell(int32_t row) {
        CCellRef ref(win->List(), {0, row}, false);
        return static_cast<CMidiInCell*>(ref.Pane());
    }
    // Each row of the list as its cell shows it: "name on|off state".
    std::vector<std::string> Shown() {
        std::vector<std::string> out;
        for (int32_t r = 0; r < win->List()->Rows(); ++r) {
            CMidiInCell* c = Cell(r);
            out.push_back(Str(c->NameText()->Text()) + (c->UseBox()->GetValue() ? " on " : " off ") +
                          Str(c->StateText()->Text()));
        }
        return out;
    }
    void Click(int32_t row, bool on) {
        CMidiInCell* c = Cell(row);
        c->UseBox()->SetValue(on ? 1 : 0);
        LHandler::Dispatch(LMessage(LStdCheck_Change, c->UseBox(), c));
    }

    BundleResources resources;
    CAppPrefs prefs;
    plat::VirtualMidiSystem* midi = nullptr;
    std::unique_ptr<CMidiClient> client;
    Inbox inbox;
    std::unique_ptr<CMidiInManager> manager;
    MessageLog log;
    FakeOwner owner{&log, {0, 0, 600, 400}};
    std::unique_ptr<CMultiMidiInWin> win;
};

TEST_F(MidiInWinTest, BuildsFromItsResources) {
    ASSERT_TRUE(resources.Ok());
    midi->AddSource("Port 1", "Keys", "Main");
    Start();
    EXPECT_TRUE(win->HasLayout());
    EXPECT_EQ(win->List()->Bounds(), (CLRect{8, 8, 472, 192}));
    EXPECT_EQ(win->List()->Columns(), 1);
    EXPECT_EQ(win->List()->Rows(), 1);
    EXPECT_EQ(Str(win->List()->StateText(0)), "Off");
    EXPECT_EQ(Str(win->List()->StateText(1)), "Connected");
    EXPECT_EQ(Str(win->List()->StateText(2)), "Not available");
    EXPECT_EQ(Str(win->List()->StateText(-1)), "");
    // A cell lays out its check box, the name and the state text in a row.
    CMidiInCell* c = Cell(0);
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c->HasLayout());
    EXPECT_EQ(win->List()->CellWidth(), win->List()->Bounds().Width());
    const CLRect box = c->UseBox()->Bounds(), name = c->NameText()->Bounds(),
                 state = c->StateText()->Bounds();
    EXPECT_LE(box.right, name.left);
    EXPECT_LE(name.right, state.left);
    EXPECT_LE(state.right, c->Bounds().right);
    EXPECT_EQ(Shown(), std::vector<std::string>{"Keys Main Port 1 off Off"});
}

TEST_F(MidiInWinTest, RowsFollowTheSourcesAndTheCheckBoxSwitchesUse) {
    ASSERT_TRUE(resources.Ok());
    Start();
    EXPECT_EQ(win->List()->Rows(), 0);
    const auto keys = midi->AddSource("Port 1", "Keys", "Main");
    const auto pads = midi->AddSource("Port 1", "Pads", "");
    Turn();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"Keys Main Port 1 off Off", "Pads Port 1 off Off"}));

    // The check box turns "use" on: the manager connects, the cell shows it.
    Click(1, true);
    EXPECT_TRUE(manager->Table().GetUse(1));
    EXPECT_EQ(manager->Table().GetStat(1), 1);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"Keys Main Port 1 off Off", "Pads Port 1 on Connected"}));
    EXPECT_GE(CParamSet::Find(Enabled(), LString("Pads Port 1")), 0);
    ASSERT_TRUE(midi->Send(pads, plat::MakeMidiPacketList({{0x90, 0x3C, 0x64}})));
    ASSERT_TRUE(midi->Send(keys, plat::MakeMidiPacketList({{0x90, 0x3C, 0x64}})));
    midi->Flush();
    EXPECT_EQ(inbox.Take(), 1);

    // Off again.
    Click(1, false);
    EXPECT_FALSE(manager->Table().GetUse(1));
    EXPECT_EQ(Shown()[1], "Pads Port 1 off Off");

    // A vanished source loses its row; "use" on a row whose source went gives the failed state.
    midi->RemoveSource(keys);
    Turn();
    EXPECT_EQ(Shown(), std::vector<std::string>{"Pads Port 1 off Off"});
    midi->RemoveSource(pads);  // not yet refreshed: the row stays
    Click(0, true);
    EXPECT_EQ(Shown(), std::vector<std::string>{"Pads Port 1 on Not available"});
    Turn();
    EXPECT_EQ(win->List()->Rows(), 0);
}

TEST_F(MidiInWinTest, AnEnabledSourceShowsConnectedWhenItComes) {
    ASSERT_TRUE(resources.Ok());
    midi->AddSource("First");
    Start();
    CParamSet::SetString(Enabled(), nullptr, LString("Later"), LString("1"));
    EXPECT_EQ(Shown(), std::vector<std::string>{"First off Off"});
    midi->AddSource("Later");
    Turn();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"First off Off", "Later on Connected"}));
}

TEST_F(MidiInWinTest, SizeLimitsComeFromTheLayoutAndTheCloseBoxOnlyHides) {
    ASSERT_TRUE(resources.Ok());
    Start();
    LPanePort port(win.get());
    LDrawContext ctx(port);
    EXPECT_GE(win->PreferredWidth(ctx, 0), 8 + 320 + 8);
    EXPECT_GE(win->PreferredHeight(ctx, 0), 8 + 4 * 24 + 8);
    // The close box only hides the window: the close never reaches the application.
    LHandler::Dispatch(LMessage(LFrame_Close, win.get(), win.get()));
    EXPECT_EQ(std::count(log.ids.begin(), log.ids.end(), std::string("LFrame_Close")), 0);
}

// The window shown on the headless backend; the check box pressed with the mouse as the framework
// delivers it, its face read back as pixels.
class MidiInWinShownTest : public MidiInWinTest {
protected:
    struct Root : LHandler {
        LMessage Handle(const LMessage& msg) override {
            for (const char* id : {"LPane_Defer", "LPane_ReqFocus", "LFrame_Place", "LFrame_Activate",
                                   "LFrame_Deactivate", "LPane_ReqCapture"})
                if (msg.Is(id)) return LMessage();
            return LHandler::Handle(msg);
        }
    };
    MidiInWinShownTest() {
        plat::Application::Shared()->SetDelegate(&delegate);
        plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask);
        plat::Application::Shared()->Activate();  // a button tracks only in the active application
    }
    ~MidiInWinShownTest() override {
        win.reset();
        plat::Application::Shared()->SetDelegate(nullptr);
        plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    }
    void Show() {
        manager = std::make_unique<CMidiInManager>(client.get(), Table(), Enabled(), &inbox, Inbox::Receive);
        win = std::make_unique<CMultiMidiInWin>(&root, nullptr, Table(),
                                                LFrameSpec(1, CMacWindowKindH(new CMacWinKind(6))));
        win->SetWindowFrame({100, 100, 580, 300});
        LHandler::Dispatch(LMessage(LWindow_Place, win->Window(), win.get()));
        win->ShowWindow();
        win->Window()->NativeWindow()->MakeKeyAndOrderFront();
    }
    // Dark pixels of the check box's face.
    static int DarkPixels(LStdCheck* box) {
        plat::Ref<plat::BitmapImage> face = box->Control()->CacheDisplayInRect(box->Control()->Bounds());
        if (!face) return -1;
        int n = 0;
        for (int32_t y = 0; y < face->Height(); ++y)
            for (int32_t x = 0; x < face->Width(); ++x) {
                const uint32_t p = face->PixelAt(x, y);
                const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
                n += (r + g + b) < 3 * 110;
            }
        return n;
    }
    void Press(LStdCheck* box) {
        plat::Window* w = win->Window()->NativeWindow();
        const plat::Rect r = box->Control()->Frame();
        plat::Point at{r.x + 6, r.y + r.height / 2};
        if (plat::View* parent = box->Control()->Superview()) at = parent->ConvertToContent(at);
        testsupport::NestedLoopGuard guard;
        screens.Backend().Inject(HeadlessBackend::MouseEvent(plat::EventType::kLeftMouseUp, w, at));
        const plat::Event press = HeadlessBackend::MouseEvent(plat::EventType::kLeftMouseDown, w, at);
        const plat::Point screen = w->ConvertToScreen(press.location);
        mouse.Fill(press, {int32_t(screen.x), int32_t(screen.y)});
        LHandler::Dispatch(LMessage(LMouse_Click, &mouse, box));
        EXPECT_FALSE(guard.Fired());
    }

    testsupport::HeadlessScreens screens;
    CMacWindowMgr mgr;
    AppDelegate delegate{nullptr, nullptr};
    LMouse mouse;
    LKeyboard keyboard;
    Root root;
};

TEST_F(MidiInWinShownTest, PressingTheCheckBoxSwitchesUseAndShowsTheMark) {
    ASSERT_TRUE(resources.Ok());
    midi->AddSource("Port 1", "Keys", "Main");
    Show();
    ASSERT_EQ(win->List()->Rows(), 1);
    CMidiInCell* cell = Cell(0);
    ASSERT_NE(cell, nullptr);
    LStdCheck* box = cell->UseBox();
    ASSERT_NE(box->Control(), nullptr);
    const int before = DarkPixels(box);
    ASSERT_GE(before, 0);
    Press(box);
    EXPECT_TRUE(manager->Table().GetUse(0));
    EXPECT_EQ(manager->Table().GetStat(0), 1);
    EXPECT_GE(CParamSet::Find(Enabled(), LString("Keys Main Port 1")), 0);
    // The cell rebound from the table still shows the mark.
    cell = Cell(0);
    EXPECT_TRUE(cell->UseBox()->GetValue());
    EXPECT_EQ(Str(cell->StateText()->Text()), "Connected");
    EXPECT_GT(DarkPixels(cell->UseBox()), before);
}

}  // namespace
