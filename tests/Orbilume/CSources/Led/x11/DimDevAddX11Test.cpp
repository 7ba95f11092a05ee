// The add-devices dialog of the dimmer document on a real X server, driven with xdotool: the
// confirm button is drawn off until a definition is picked from the selector's menu, then the
// grid typed into its knobs and Return add the devices, selected, in one undo step; the saved
// layout holds them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <functional>
#include <string>

#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/LAsyncMainLoop.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Led/CDIMDefSel.h"
#include "Orbilume/CSources/Led/CDimDefLibrary.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimDevAddDlg.h"
#include "Orbilume/CSources/Led/CDimInstruments.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Clock.h"
#include "tests/Common/ObjC/ModalRoot.h"
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/MenuPixels.h"
#include "tests/support/TempDir.h"
#include "tests/support/WindowShot.h"

namespace {

using T = CDimTypes;

class DimDevAddX11Test;
DimDevAddX11Test* gTest = nullptr;

class DimDevAddX11Test : public X11FrameworkTest {
protected:
    void SetUp() override {
        StartSession(&root, kResources);
        if (IsSkipped() || HasFatalFailure()) return;
        root.loop = loop;
        mkdir(dir.File("Documents").c_str(), 0755);
        mkdir(dir.File("builtin").c_str(), 0755);
        dir.Write("builtin/Strip-RGB-8",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<YOBM_DIDF dfid=\"Strip-RGB-8\" dthz=\"8\"/>\n");
        library = std::make_unique<CDimDefLibrary>(nullptr, dir.File("Documents"));
        library->SetBuiltInFolder(dir.File("builtin"));
        doc = std::make_unique<CDimInstruments>(&root, &async, nullptr, &prefs, library.get());
        doc->Defs().LoadFolder(dir.File("builtin"), false);
        gTest = this;
        SetDimDialogs(&kDriven);
    }
    void TearDown() override {
        SetDimDialogs(nullptr);
        gTest = nullptr;
        doc.reset();
        library.reset();
        X11FrameworkTest::TearDown();
    }

    // Runs the dialog's modal loop in slices until done() holds.
    static bool Step(LModalDialog* d, const std::function<bool()>& done, double wait = 5) {
        const double until = plat::ClockNow() + wait;
        while (!done() && plat::ClockNow() < until) (void)d->Run(20);
        return done();
    }
    static void Idle(LModalDialog* d, double seconds) { (void)Step(d, [] { return false; }, seconds); }
    // A pane's rectangle in its window (bounds are in the owner's coordinates).
    static CLRect InWindow(LPane* pane) {
        const CLPoint o = pane->Owner() ? pane->Owner()->GetOriginIn(nullptr) : CLPoint{0, 0};
        const CLRect b = pane->Bounds();
        return {b.left + o.x, b.top + o.y, b.right + o.x, b.bottom + o.y};
    }
    // The darkest pixel of the button's inner part, 0 black .. 255 white.
    int TitleInk(LModalDialog* d, LPane* button) {
        const CLRect r = InWindow(button);
        testsupport::WindowShot shot(Display(), backend->XWindowOf(d->Window()->NativeWindow()), r.left, r.top,
                                     r.Width(), r.Height());
        if (!shot.Ok()) return -1;
        return shot.Darkest(r.left + 4, r.top + 4, r.right - 4, r.bottom - 4);
    }
    void X(const std::string& args, LModalDialog* d) { Xdotool(args, d->Window()->NativeWindow()); }
    std::string In(LPane* pane, int32_t dx, int32_t dy) {
        const CLRect r = InWindow(pane);
        return std::to_string(r.left + dx) + " " + std::to_string(r.top + dy);
    }
    // Types over a knob's text, the knob taking the keyboard as a Tab would give it.
    void TypeInto(LModalDialog* d, CNumVol* knob, const std::string& text) {
        knob->TakeFocus(0, true);
        (void)Step(d, [&] { return knob->Editor() != nullptr; });
        X("key ctrl+a", d);
        X("type --delay 40 '" + text + "'", d);
        Idle(d, 0.2);
    }

    // The real dialog, as CDimDevAddDlg::Run makes it, with the test at the keyboard and mouse.
    static bool Drive(LHandler* upper, CDimDefStore* defs, CDimDefLibrary* lib, UDimArrange::AddValues& values) {
        DimDevAddX11Test& t = *gTest;
        CDimDevAddDlg d(upper, nullptr, defs, lib, values, CDimDevAddDlg::WindowSpec());
        d.ShowWindow();
        if (!Step(&d, [&] { return d.Bounds().Width() > 0; })) {
            ADD_FAILURE() << "the dialog was not shown";
            return false;
        }
        t.X("windowfocus --sync %W", &d);
        Idle(&d, 0.4);

        // Off until a definition is chosen.
        t.disabledInk = t.TitleInk(&d, d.OkButton());
        t.okWasOff = !(d.OkButton()->State() & LPane::kEnabled);

        // The selector's menu: the one definition is its only enabled item.
        testsupport::RunLater pick(0.6, [&] { t.X("key Down Return", &d); });
        t.X("mousemove --sync --window %W " + t.In(d.Selector(), 20, 8) + " click 1", &d);
        (void)Step(&d, [&] { return pick.Ran(); });
        Idle(&d, 0.4);
        t.picked = d.Values().name.CStr();
        t.enabledInk = t.TitleInk(&d, d.OkButton());

        // 3 across, Tab, 1 down.
        t.TypeInto(&d, d.Knob(CDimDevAddDlg::kAcross), "3");
        t.X("key Tab", &d);
        Idle(&d, 0.2);
        t.TypeInto(&d, d.Knob(CDimDevAddDlg::kDown), "1");
        // Return enters the edited number (the knobs' way in every dialog); Return again, with nothing
        // left to enter, is the default button's.
        t.X("key Return", &d);
        Idle(&d, 0.3);
        EXPECT_EQ(d.Result(), 0u);
        EXPECT_EQ(d.Values().down, 1u);
        t.X("key Return", &d);
        const uint32_t result = Step(&d, [&] { return d.Result() != 0; }) ? d.Result() : 0;
        EXPECT_EQ(result, 1u);
        if (result != 1) return false;
        values = d.Values();
        return true;
    }
    static inline const SDimDialogs kDriven = [] {
        SDimDialogs d = DimDialogs();
        d.addDevices = &Drive;
        return d;
    }();

    dialogtest::LiveRoot root;
    testsupport::TempDir dir;
    LAsyncMainLoop async;
    CAppPrefs prefs;
    std::unique_ptr<CDimDefLibrary> library;
    std::unique_ptr<CDimInstruments> doc;
    int disabledInk = -1, enabledInk = -1;
    bool okWasOff = false;
    std::string picked;
};

TEST_F(DimDevAddX11Test, APickedDefinitionEnablesAddAndTheTypedGridAddsSelectedDevicesInOneStep) {
    ASSERT_NE(doc->Defs().Find("Strip-RGB-8"), nullptr);
    ASSERT_TRUE(doc->DoCommand(LString("cDimDevAdd")));

    EXPECT_TRUE(okWasOff);
    EXPECT_EQ(picked, "Strip-RGB-8");
    // Drawn off, the button is clearly lighter than its enabled look.
    EXPECT_GE(enabledInk, 0);
    EXPECT_GT(disabledInk, enabledInk + 30) << disabledInk << " / " << enabledInk;

    CRecord* root = doc->Dims().Root();
    ASSERT_EQ(root->ArrayCount(T::kDimsDevices), 3u);
    const uint32_t channels[] = {1, 25, 49};  // 8 dots of RGB each
    for (uint32_t i = 0; i < 3; ++i) {
        CRecord& dev = *(*root->GetRecordArray(T::kDimsDevices))[i];
        EXPECT_STREQ(dev.StringSlot(T::kDidvDefinition).CStr(), "Strip-RGB-8") << i;
        EXPECT_NE(dev.GetByte(T::kDidvSelected), 0) << i;
        EXPECT_EQ(dev.GetUInt(T::kDidvFirstSlot), channels[i]) << i;
    }
    EXPECT_TRUE(doc->IsDirty());

    // One undo step takes all three away, and redo brings them back.
    ASSERT_TRUE(doc->Undo().CanUndo());
    ASSERT_TRUE(doc->Undo().Perform(0));
    EXPECT_EQ(root->ArrayCount(T::kDimsDevices), 0u);
    EXPECT_FALSE(doc->Undo().CanUndo());
    ASSERT_TRUE(doc->Undo().Perform(1));
    EXPECT_EQ(root->ArrayCount(T::kDimsDevices), 3u);

    // The saved layout: well-formed, the definition once, the three devices read back.
    const std::string file = dir.File("added.obdim");
    ASSERT_TRUE(doc->Save(file));
    EXPECT_EQ(testsupport::CommandOutput("xmllint --noout '" + file + "' 2>&1; echo $?"), "0\n");
    CRecord* tree = nullptr;
    uint32_t line = 0;
    const std::string bytes = dir.Read("added.obdim");
    ASSERT_EQ(CDimInstruments::ReadLayout(bytes, tree, line), nullptr);
    CRecordHolder holder(tree);
    ASSERT_EQ(tree->ArrayCount(T::kDimsDevices), 3u);
    EXPECT_EQ(tree->ArrayCount(T::kDimsDefinitions), 1u);
    EXPECT_EQ((*tree->GetRecordArray(T::kDimsDevices))[2]->GetUInt(T::kDidvFirstSlot), 49u);
}

}  // namespace
