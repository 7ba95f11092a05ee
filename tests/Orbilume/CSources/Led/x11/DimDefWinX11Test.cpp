// The fixture definition editor on a real X server, driven with xdotool: New from the window's menu
// strip and a typed name, dots across typed into its knob, the code composition chosen from the
// pop-up (the channel list appears where its area was empty), a channel code typed into the first
// row, and the window closed: the definition's file holds all of it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CNumVol.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/Led/CDimDefEditorCtl.h"
#include "Orbilume/CSources/Led/CDimDefLibrary.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimDefWin.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Led/CNamingDialog.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Menu.h"
#include "Platform/AppKit/MenuStrip.h"
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

using Root = dialogtest::LiveRoot;

class DimDefWinX11Test : public X11FrameworkTest {
protected:
    void SetUp() override {
        StartSession(&root, kResources);
        if (IsSkipped() || HasFatalFailure()) return;
        root.loop = loop;
        mkdir(dir.File("Documents").c_str(), 0755);
        library = std::make_unique<CDimDefLibrary>(&store, dir.File("Documents"));
        ctl = std::make_unique<CDimDefEditorCtl>(&root, &store, library.get());
        ctl->SetViewFactory(
            [this](CDimDefEditorCtl& c) { return CDimDefWin::Make(c, library.get(), settings.RootRef()); });
    }
    void TearDown() override {
        ctl.reset();
        X11FrameworkTest::TearDown();
    }

    void Wait(double seconds) {
        const double until = plat::ClockNow() + seconds;
        (void)RunUntil([&] { return plat::ClockNow() > until; }, seconds + 1);
    }
    unsigned long XW(LFrame* f) { return backend->XWindowOf(f->Window()->NativeWindow()); }
    // The height of the X window above the frame's content (its menu strip).
    int Strip(LFrame* f) {
        XWindowAttributes attrs;
        if (!XGetWindowAttributes(backend->XDisplay(), XW(f), &attrs)) return 0;
        return attrs.height - f->Bounds().Height();
    }
    // A pane's rectangle in its X window.
    CLRect InX(LFrame* f, LPane* pane) {
        const CLPoint o = pane->Owner() ? pane->Owner()->GetOriginIn(nullptr) : CLPoint{0, 0};
        const CLRect b = pane->Bounds();
        const int strip = Strip(f);
        return {b.left + o.x, b.top + o.y + strip, b.right + o.x, b.bottom + o.y + strip};
    }
    void Click(LFrame* f, LPane* pane, int dx, int dy) {
        const CLRect r = InX(f, pane);
        Xdotool("mousemove --sync --window %W " + std::to_string(r.left + dx) + " " +
                    std::to_string(r.top + dy) + " click 1",
                f->Window()->NativeWindow());
    }
    // The main menu's title index of the window's "Definition" menu, or -1.
    static int32_t TitleIndex(const std::string& title) {
        plat::Menu* bar = plat::Application::Shared()->MainMenu();
        for (int32_t i = 0; bar && i < bar->NumberOfItems(); ++i) {
            plat::MenuItem* item = bar->ItemAtIndex(i);
            if (item && item->Submenu() && item->Submenu()->Title() == title) return i;
        }
        return -1;
    }
    // How many pixels of the rectangle hold dark ink.
    int Ink(LFrame* f, const CLRect& r) {
        testsupport::WindowShot shot(Display(), XW(f), r.left, r.top, r.Width(), r.Height());
        if (!shot.Ok()) return -1;
        int ink = 0;
        for (int32_t y = r.top; y < r.bottom; ++y)
            for (int32_t x = r.left; x < r.right; ++x) ink += shot.Lum(x, y) < 100;
        return ink;
    }
    // Sends the window manager's close request, as its close box does.
    void RequestClose(LFrame* f) {
        ::Display* d = backend->XDisplay();
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = XW(f);
        e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(d, XW(f), False, NoEventMask, &e);
        XFlush(d);
    }

    Root root;
    testsupport::TempDir dir;
    CDimDefStore store;
    CRecordHolder settings{CRecord::New(&CParamSet::SetType())};
    std::unique_ptr<CDimDefLibrary> library;
    std::unique_ptr<CDimDefEditorCtl> ctl;
};

TEST_F(DimDefWinX11Test, ANewDefinitionEditedWithTheKeyboardIsSavedWhenTheWindowCloses) {
    ctl->ShowEditor();
    auto* win = static_cast<CDimDefWin*>(ctl->View());
    ASSERT_NE(win, nullptr);
    plat::Window* native = win->Window()->NativeWindow();
    ASSERT_TRUE(RunUntil([&] { return native->IsVisible() && win->Bounds().Width() > 0; }));
    Xdotool("windowfocus --sync %W", native);
    Wait(0.3);

    // New, from the window's own menu in the strip; the naming dialog takes the typed name.
    const int32_t title = TitleIndex("Definition");
    ASSERT_GE(title, 0);
    plat::MenuStrip* strip = native->Strip();
    ASSERT_NE(strip, nullptr);
    const plat::Rect titleRect = strip->TitleRect(title);
    bool named = false;
    testsupport::RunLater chooseNew(0.5, [&] { Xdotool("key Down Return", native); });
    testsupport::RunLater typeName(2.0, [&] {
        plat::Window* modal = plat::Application::Shared()->ModalWindow();
        LWindow* w = modal ? LWindow::FindWindow(modal) : nullptr;
        if (!w) return;
        auto* dialog = static_cast<CNamingDialog*>(w->Upper());
        Click(dialog, dialog->Field(), 6, 6);
        Xdotool("type --delay 40 my/led:1", modal);
        Xdotool("key Return", modal);
        named = true;
    });
    Xdotool("mousemove --sync --window %W " + std::to_string(int(titleRect.x) + 5) + " 8 click 1", native);
    ASSERT_TRUE(RunUntil([&] { return win->ShownDefinition() != nullptr; }, 10));
    EXPECT_TRUE(named);
    CRecord* def = store.Find("my_led_1");
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(win->ShownDefinition(), def);
    const std::string file = library->UserFolder() + "/my_led_1";
    struct stat st;
    EXPECT_EQ(lstat(file.c_str(), &st), 0) << file;
    Xdotool("windowfocus --sync %W", native);
    Wait(0.3);

    // Dots across: 4, typed into its knob as a Tab to it would give it the keyboard.
    CNumVol* across = win->Knob(CDimDefWin::kAcross);
    across->TakeFocus(0, true);
    ASSERT_TRUE(RunUntil([&] { return across->Editor() != nullptr; }));
    Xdotool("key ctrl+a", native);
    Xdotool("type --delay 40 4", native);
    Xdotool("key Return", native);
    ASSERT_TRUE(RunUntil([&] { return def->GetUInt(T::kDidfColumns) == 4; }));

    // A new definition has an RGB composition: the channel list's area is empty.
    ASSERT_NE(def->GetByte(T::kDidfComposition), 0);
    Wait(0.3);
    const CLRect listArea = InX(win, win->ChannelList());
    ASSERT_FALSE(listArea.IsEmpty());
    EXPECT_EQ(Ink(win, listArea), 0);

    // The code composition (item 0) from the pop-up attaches the list; three channels per dot give
    // it rows, drawn where its area was empty.
    LPopupList* composition = win->Composition();
    testsupport::RunLater pick(0.6, [&] { Xdotool("key Up Return", native); });
    Click(win, composition, 10, 8);
    ASSERT_TRUE(RunUntil([&] { return pick.Ran() && def->GetByte(T::kDidfComposition) == 0; }, 10));
    EXPECT_TRUE(win->ChannelList()->IsAttached());
    CNumVol* perDot = win->Knob(CDimDefWin::kPerDot);
    perDot->TakeFocus(0, true);
    ASSERT_TRUE(RunUntil([&] { return perDot->Editor() != nullptr; }));
    Xdotool("key ctrl+a", native);
    Xdotool("type --delay 40 3", native);
    Xdotool("key Return", native);
    ASSERT_TRUE(RunUntil([&] { return win->ChannelList()->Rows() == 3; }));
    Wait(0.4);
    EXPECT_GT(Ink(win, listArea), 20);

    // "g" in the first row stores green (-2) and the row shows "G".
    CCellRef ref(win->ChannelList(), {0, 0}, false);
    auto* row = static_cast<CDimChCell*>(ref.Pane());
    ASSERT_NE(row, nullptr);
    LEditText* value = row->Value();
    Click(win, value, value->Bounds().Width() - 6, 6);  // the caret after the text
    ASSERT_TRUE(RunUntil([&] { return value->Editor() != nullptr; }));
    Xdotool("key BackSpace", native);
    Xdotool("type --delay 40 g", native);
    Xdotool("key Return", native);
    ASSERT_TRUE(RunUntil([&] { return CDimDefStore::ChannelCode(def, 0) == -2; })) << value->GetText().CStr();
    // A click into the next row ends the first row's editing: it shows the stored code.
    CCellRef second(win->ChannelList(), {0, 1}, false);
    ASSERT_NE(second.Pane(), nullptr);
    Click(win, static_cast<CDimChCell*>(second.Pane())->Value(), 8, 6);
    ASSERT_TRUE(RunUntil([&] { return value->Editor() == nullptr; }));
    CCellRef again(win->ChannelList(), {0, 0}, false);
    ASSERT_NE(again.Pane(), nullptr);
    EXPECT_EQ(std::string(static_cast<CDimChCell*>(again.Pane())->Value()->GetText().CStr()), "G");

    // Closing the window saves the definition.
    RequestClose(win);
    ASSERT_TRUE(RunUntil([&] { return !native->IsVisible(); }));
    EXPECT_EQ(testsupport::CommandOutput("xmllint --noout '" + file + "' 2>&1; echo $?"), "0\n");
    CDimDefStore reread;
    reread.LoadFolder(library->UserFolder(), true);
    const CRecord* saved = reread.Find("my_led_1");
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->GetUInt(T::kDidfColumns), 4u);
    EXPECT_EQ(saved->GetByte(T::kDidfComposition), 0u);
    EXPECT_EQ(CDimDefStore::ChannelCode(saved, 0), -2);
}

}  // namespace
