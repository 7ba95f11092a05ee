// The application's small windows on a real X server: the start-up window as a centred splash
// showing the "APP" image, a font chosen in the font panel for a slot restyling text in another
// window, a universe row added with "+" and its address typed and edited with xdotool, and the About box
// opened from the application menu.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>
#include <string>

#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacMainLoopUI.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CTextSlot.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreData/CAppBase.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LImagePane.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LTextStyle.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/DmxIn/CUvAdTypes.h"
#include "Orbilume/CSources/Editors/CAppWindows.h"
#include "Orbilume/CSources/Editors/CStartupWin.h"
#include "Orbilume/CSources/Editors/CUvAdList.h"
#include "Orbilume/CSources/Editors/CUvAdWin.h"
#include "Orbilume/CSources/Editors/CViewPrefs.h"
#include "Orbilume/CSources/Editors/CViewPrefsDlg.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/FontPanel.h"
#include "Platform/AppKit/MenuStrip.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/AppKit/Screen.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Clock.h"
#include "tests/Common/ObjC/ModalRoot.h"
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"
#include "tests/support/BackgroundCommand.h"
#include "tests/support/MenuPixels.h"

namespace {

using U = CUvAdTypes;

using Root = dialogtest::LiveRoot;

std::string AtomProperty(::Display* d, unsigned long w, const char* name) {
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 16, False, XA_ATOM, &type, &format, &n,
                           &after, &data) != Success ||
        !data || n == 0) {
        if (data) XFree(data);
        return std::string();
    }
    char* text = XGetAtomName(d, reinterpret_cast<Atom*>(data)[0]);
    std::string out = text ? text : "";
    if (text) XFree(text);
    XFree(data);
    return out;
}

// The window's pixels as 0xRRGGBB, row by row.
std::vector<uint32_t> Grab(::Display* d, unsigned long w, int x, int y, int width, int height) {
    XSync(d, False);
    std::vector<uint32_t> out;
    XImage* image = XGetImage(d, w, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image) return out;
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) out.push_back(uint32_t(XGetPixel(image, i, j) & 0xFFFFFF));
    XDestroyImage(image);
    return out;
}

class AppWindowsX11Test : public X11FrameworkTest {
protected:
    void SetUp() override {
        StartSession(&root, kResources);
        if (IsSkipped() || HasFatalFailure()) return;
        root.loop = loop;
    }
    void Wait(double seconds) {
        const double until = plat::ClockNow() + seconds;
        (void)RunUntil([&] { return plat::ClockNow() > until; }, seconds + 1);
    }
    unsigned long XW(LFrame* f) { return backend->XWindowOf(f->Window()->NativeWindow()); }

    Root root;
};

TEST_F(AppWindowsX11Test, TheStartupWindowIsACentredSplashShowingTheImage) {
    CStartupWin w(&root);
    (void)w.Text(0)->SetText(LString("Orbilume"));
    w.Show();
    ASSERT_TRUE(RunUntil([&] { return w.Window()->NativeWindow()->IsVisible(); }));
    Wait(0.3);
    ::Display* d = backend->XDisplay();
    EXPECT_EQ(AtomProperty(d, XW(&w), "_NET_WM_WINDOW_TYPE"), "_NET_WM_WINDOW_TYPE_SPLASH");
    // Centred on the work area.
    plat::Screen screen;
    ASSERT_TRUE(plat::FirstScreen(&screen));
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(d, XW(&w), &a));
    int x = 0, y = 0;
    ::Window child;
    XTranslateCoordinates(d, XW(&w), DefaultRootWindow(d), 0, 0, &x, &y, &child);
    const plat::Rect& v = screen.visibleFrame;
    EXPECT_NEAR(x + a.width / 2.0, v.x + v.width / 2, 2);
    EXPECT_NEAR(y + a.height / 2.0, v.y + v.height / 2, 2);
    // The image pane shows more than the window colour.
    const CLRect image = w.Image()->Bounds();
    const std::vector<uint32_t> px = Grab(d, XW(&w), image.left, image.top, image.Width(), image.Height());
    ASSERT_FALSE(px.empty());
    const uint32_t background = Grab(d, XW(&w), 2, 2, 1, 1).at(0);
    size_t differing = 0;
    for (uint32_t p : px) differing += p != background;
    EXPECT_GT(differing, px.size() / 10);
}

// The rows of a grab (width w) that hold dark ink.
int InkRows(const std::vector<uint32_t>& px, int w) {
    int rows = 0;
    for (size_t y = 0; y * size_t(w) < px.size(); ++y) {
        bool ink = false;
        for (int x = 0; x < w && !ink; ++x) {
            const uint32_t p = px[y * size_t(w) + size_t(x)];
            ink = ((p >> 16) & 0xFF) < 0x60 && ((p >> 8) & 0xFF) < 0x60 && (p & 0xFF) < 0x60;
        }
        rows += ink;
    }
    return rows;
}

TEST_F(AppWindowsX11Test, AFontChosenForSlotZeroRestylesAnotherWindow) {
    CRecord* set = CRecord::New(&CParamSet::SetType());
    CViewPrefs& prefs = CViewPrefs::Get();
    prefs.Install();
    prefs.SetParamSet(set);
    {
        LFrame other(&root, nullptr, LFrameSpec(LFrameSpec::kDocument, CMacWindowKindH(new CMacWinKind(3))));
        // A bare frame paints no background: give it the window colour as the application's do.
        other.SetBackground(LColor::System(1));
        auto* text = new LTextPane(&other, 0);
        (void)text->SetTextStyle(LTextStyleH(0));  // the style of slot 0
        (void)text->SetText(LString("Sample text WWW"));
        other.SetWindowFrame({100, 100, 500, 200});
        text->SetBounds({10, 10, 390, 80});
        other.ShowWindow();
        ASSERT_TRUE(RunUntil([&] { return other.Window()->NativeWindow()->IsVisible(); }));
        Wait(0.4);
        ::Display* d = backend->XDisplay();
        XWindowAttributes attrs;
        ASSERT_TRUE(XGetWindowAttributes(d, XW(&other), &attrs));
        const int strip = attrs.height - other.Bounds().Height();  // the menu strip above the content
        const std::vector<uint32_t> before = Grab(d, XW(&other), 10, strip + 10, 380, 70);
        ASSERT_GT(InkRows(before, 380), 0);

        // The view preferences: a click on slot 0 opens the font panel, where the family and size
        // are picked.
        CViewPrefsDlg dialog(&root, nullptr, CViewPrefsDlg::DefaultSpec());
        dialog.SetWindowFrame({560, 100, 960, 300});
        dialog.ShowWindow();
        ASSERT_TRUE(RunUntil([&] {
            return dialog.Window()->NativeWindow()->IsVisible() && dialog.List()->Bounds().Width() > 0;
        }));
        Xdotool("windowfocus --sync %W", dialog.Window()->NativeWindow());
        Wait(0.3);
        ASSERT_TRUE(XGetWindowAttributes(d, XW(&dialog), &attrs));
        const int dialogStrip = attrs.height - dialog.Bounds().Height();
        CCellRef ref(dialog.List(), {0, 0}, false);
        auto* cell = static_cast<CVPFontCell*>(ref.Pane());
        ASSERT_NE(cell, nullptr);
        const CLPoint o = cell->Slot()->GetOriginIn(nullptr);
        const std::string at = std::to_string(o.x + cell->Slot()->Bounds().left + 6) + " " +
                               std::to_string(dialogStrip + o.y + cell->Slot()->Bounds().top + 5);
        // The first click focuses the row; with list and row focused a click opens the panel.
        for (int i = 0; i < 3 && !dialog.List()->PanelOpen(); ++i) {
            Xdotool("mousemove --sync --window %W " + at + " click 1", dialog.Window()->NativeWindow());
            (void)RunUntil([&] { return dialog.List()->PanelOpen(); }, 1);
        }
        ASSERT_TRUE(dialog.List()->PanelOpen());
        plat::FontPanel* panel = plat::FontPanel::Shared();
        ASSERT_TRUE(RunUntil([&] { return panel->IsVisible(); }));
        ASSERT_TRUE(panel->UserPickFamily("DejaVu Serif"));
        ASSERT_TRUE(panel->UserSetSize(18));
        LString family;
        double points = 0;
        ASSERT_TRUE(prefs.GetFont(0, family, points));
        EXPECT_EQ(std::string(family.CStr()), "DejaVu Serif");
        EXPECT_DOUBLE_EQ(points, 18);
        EXPECT_EQ(std::string(cell->Slot()->Text().CStr()), "DejaVu Serif");
        Wait(0.4);

        const std::vector<uint32_t> after = Grab(d, XW(&other), 10, strip + 10, 380, 70);
        ASSERT_EQ(before.size(), after.size());
        EXPECT_NE(before, after);
        // 18 points stand taller than the default 13.
        EXPECT_GT(InkRows(after, 380), InkRows(before, 380));
        EXPECT_EQ(std::string(LTextStyleH(0).FamilyName().CStr()), "DejaVu Serif");
        dialog.List()->ClosePanel();
    }
    prefs.Uninstall();
    prefs.SetParamSet(nullptr);
    CRecord::Delete(set);
}

TEST_F(AppWindowsX11Test, PlusAddsARowWhoseAddressIsTyped) {
    CRecordHolder holder(CRecord::New(U::Uvas()));
    CRecord* settings = CRecord::New(&CParamSet::SetType());
    {
        CUvAdWin w(&root, nullptr, CUvAdWin::DefaultSpec(), settings, &holder, holder.Root());
        w.SetWindowFrame({100, 100, 760, 400});
        w.ShowWindow();
        ASSERT_TRUE(
            RunUntil([&] { return w.Window()->NativeWindow()->IsVisible() && w.Bounds().Width() > 0; }));
        Xdotool("windowfocus --sync %W", w.Window()->NativeWindow());
        Wait(0.3);
        // The menu strip stands above the content in the X window.
        XWindowAttributes attrs;
        ASSERT_TRUE(XGetWindowAttributes(backend->XDisplay(), XW(&w), &attrs));
        const int strip = attrs.height - w.Bounds().Height();
        LPane* plus = w.AddButton();
        const CLPoint o = plus->GetOriginIn(nullptr);
        Xdotool("mousemove --sync --window %W " + std::to_string(o.x + plus->Bounds().left + 6) + " " +
                    std::to_string(strip + o.y + plus->Bounds().top + 6) + " click 1",
                w.Window()->NativeWindow());
        ASSERT_TRUE(RunUntil([&] { return holder.Root()->ArrayCount(U::kUvasList) == 1; }));
        CCellRef ref(w.List(), {0, 0}, false);
        auto* cell = static_cast<CUvAdCell*>(ref.Pane());
        ASSERT_NE(cell, nullptr);
        LEditText* address = cell->Address();
        const CLPoint a = address->GetOriginIn(nullptr);
        Xdotool("mousemove --sync --window %W " + std::to_string(a.x + address->Bounds().left + 8) + " " +
                    std::to_string(strip + a.y + address->Bounds().top + 6) + " click 1",
                w.Window()->NativeWindow());
        ASSERT_TRUE(RunUntil([&] { return address->Editor() != nullptr; }));
        Xdotool("type --delay 40 127.0.0.9", w.Window()->NativeWindow());
        ASSERT_TRUE(RunUntil([&] { return address->GetText() == LString("127.0.0.9"); }));
        // Editing keys that the list and the window pass on reach the field's editor.
        const struct {
            const char* keys;
            const char* text;
        } edits[] = {
            {"key ctrl+a type --delay 40 127.0.0.2", "127.0.0.2"},  // replaces the whole text
            {"key Home key End type --delay 40 5", "127.0.0.25"},  // appends
            {"key shift+Home type --delay 40 127.0.0.1", "127.0.0.1"},
        };
        for (const auto& e : edits) {
            Xdotool(e.keys, w.Window()->NativeWindow());
            ASSERT_TRUE(RunUntil([&] { return address->GetText() == LString(e.text); }))
                << e.keys << ": " << address->GetText().CStr();
        }
        Xdotool("key Return", w.Window()->NativeWindow());
        CRecord* row = holder.Root()->GetElement(U::kUvasList, 0);
        ASSERT_TRUE(RunUntil([&] { return row->GetString(U::kUvadAddress) == LString("127.0.0.1"); }));
        Wait(0.3);
        // The row shows it: the field's area holds dark text pixels.
        const std::vector<uint32_t> px =
            Grab(backend->XDisplay(), XW(&w), a.x + address->Bounds().left,
                 strip + a.y + address->Bounds().top, address->Bounds().Width(), address->Bounds().Height());
        size_t dark = 0;
        for (uint32_t p : px)
            dark += ((p >> 16) & 0xFF) < 0x60 && ((p >> 8) & 0xFF) < 0x60 && (p & 0xFF) < 0x60;
        EXPECT_GT(dark, 10u);
        // The window paints its background: nothing of the content is left black.
        const std::vector<uint32_t> content =
            Grab(backend->XDisplay(), XW(&w), 0, strip, w.Bounds().Width(), w.Bounds().Height());
        size_t black = 0;
        for (uint32_t p : content) black += p == 0;
        EXPECT_LT(black, content.size() / 20);
    }
    CRecord::Delete(settings);
}

TEST_F(AppWindowsX11Test, CopiedRowsGoOnTheClipboardUnderTheirOwnTypeAndComeBack) {
    if (!testsupport::HaveProgram("xclip")) GTEST_SKIP() << "xclip is not installed";
    const char* const kType = "lumetra.scraptype.quillantorn.uvad";
    CRecordHolder holder(CRecord::New(U::Uvas()));
    const struct {
        int32_t univ;
        const char* ipad;
    } rows[] = {{0x123, "127.0.0.7"}, {5, "127.0.0.1"}};
    for (uint32_t i = 0; i < 2; ++i) {
        ASSERT_TRUE(holder.RootRef().InsertRecord(nullptr, U::kUvasList, i, CRecord::New(U::Uvad())));
        CRecordRef r(&(*holder.Root()->GetRecordArray(U::kUvasList))[i]);
        ASSERT_TRUE(r.SetInt(nullptr, U::kUvadUniverse, rows[i].univ));
        ASSERT_TRUE(r.SetString(nullptr, U::kUvadAddress, LString(rows[i].ipad)));
    }
    CRecord* settings = CRecord::New(&CParamSet::SetType());
    {
        CUvAdWin w(&root, nullptr, CUvAdWin::DefaultSpec(), settings, &holder, holder.Root());
        w.SetWindowFrame({100, 100, 760, 400});
        w.ShowWindow();
        ASSERT_TRUE(RunUntil([&] { return w.Window()->NativeWindow()->IsVisible() && w.Bounds().Width() > 0; }));
        auto command = [&](const char* id) {
            LMenuItem item(nullptr);
            item.AddCommand(id);
            LHandler::Dispatch(LMessage(LMenuItem_Selected, &item, w.List()));
        };
        // An X client runs while the event loop serves the clipboard; its output.
        auto client = [&](const std::string& cmd, const std::string& input = {}) {
            testsupport::BackgroundCommand c("DISPLAY=" + Display() + " " + cmd, input);
            int status = -1;
            if (!RunUntil([&] { return c.Done(&status); }, 10) || status != 0) return std::string("(failed)");
            return c.Output();
        };

        // Both rows copied: xclip sees them offered under the rows' type.
        w.List()->SetSelection(CRgn(CLRect{0, 0, 1, 2}));
        command("LStdCmd_Copy");
        const std::string targets = client("xclip -selection clipboard -o -t TARGETS");
        EXPECT_NE(targets.find(kType), std::string::npos) << targets;
        const std::string bytes = client(std::string("xclip -selection clipboard -o -t ") + kType);
        ASSERT_NE(bytes, "(failed)");
        ASSERT_FALSE(bytes.empty());

        // The same bytes offered by another program paste back as the two rows.
        plat::Pasteboard* pb = plat::Pasteboard::General();
        const int64_t before = pb->ChangeCount();
        ASSERT_NE(client(std::string("xclip -selection clipboard -i -t ") + kType, bytes), "(failed)");
        ASSERT_TRUE(RunUntil([&] { return pb->ChangeCount() != before && pb->HasType(kType); }));
        w.List()->SetSelection(CRgn(CLRect{0, 1, 1, 2}));
        command("LStdCmd_Paste");
        ASSERT_TRUE(RunUntil([&] { return holder.Root()->ArrayCount(U::kUvasList) == 4; }));
        for (uint32_t i = 0; i < 2; ++i) {
            int copies = 0;
            for (uint32_t j = 0; j < 4; ++j) {
                const CRecord* r = holder.Root()->GetElement(U::kUvasList, j);
                copies += r->GetString(U::kUvadAddress) == LString(rows[i].ipad) &&
                          r->GetInt(U::kUvadUniverse) == rows[i].univ;
            }
            EXPECT_EQ(copies, 2) << rows[i].ipad;
        }
    }
    CRecord::Delete(settings);
}

// The application's root as far as the About command needs it: the standard commands of CAppBase,
// modal runs on the session's loop.
struct AppRoot : CAppBase {
    AppRoot() : CAppBase(nullptr) {}
    CMacMainLoop* loop = nullptr;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is("LHandler_Mode")) {
            if (loop && msg.sender) loop->RunModal(msg.sender);
            return LMessage();
        }
        for (const char* id :
             {"LPane_Defer", "LMouse_Cursor", "LFrame_Place", "LFrame_Activate", "LFrame_Deactivate"})
            if (msg.Is(id)) return LMessage();
        return CAppBase::Handle(msg);
    }
};

class AboutX11Test : public X11FrameworkTest {
protected:
    void SetUp() override {
        StartSession(&root, kResources);
        if (IsSkipped() || HasFatalFailure()) return;
        root.loop = loop;
        plat::SetMainBundlePathForTesting(ORBILUME_BUNDLE_DIR);
        CAppWindows::Install();
    }
    void TearDown() override {
        CMacMainLoopUI::SetAppWindows(nullptr);
        plat::SetMainBundlePathForTesting(std::string());
        X11FrameworkTest::TearDown();
    }

    AppRoot root;
};

TEST_F(AboutX11Test, TheAppMenusAboutItemShowsTheVersion) {
    ASSERT_EQ(CAboutDialog::BundleVersion(), ORBILUME_VERSION);
    LFrame front(&root, nullptr, LFrameSpec(1, CMacWindowKindH(new CMacWinKind(6)), nullptr));
    front.SetWindowFrame({100, 100, 500, 300});
    front.ShowWindow();
    ASSERT_TRUE(
        RunUntil([&] { return front.Window()->NativeWindow()->IsVisible() && front.Bounds().Width() > 0; }));
    plat::Window* native = front.Window()->NativeWindow();
    Xdotool("windowfocus --sync %W", native);
    plat::MenuStrip* strip = native->Strip();
    ASSERT_NE(strip, nullptr);
    const plat::Rect appTitle = strip->TitleRect(0);

    // Inside the About box's modal run: what it shows, on the screen; then OK ends it.
    std::string version;
    bool versionShown = false;
    int ink = 0;
    testsupport::RunLater openItem(0.5, [&] { Xdotool("key Down Return", native); });
    testsupport::RunLater look(2.0, [&] {
        plat::Window* modal = plat::Application::Shared()->ModalWindow();
        LWindow* w = modal ? LWindow::FindWindow(modal) : nullptr;
        if (!w) return;
        auto* box = static_cast<CAboutDialog*>(w->Upper());
        LTextPane* pane = box->VersionText();
        version = pane->Text().CStr();
        versionShown = pane->IsVisible();
        ::Display* d = backend->XDisplay();
        XWindowAttributes attrs;
        if (!XGetWindowAttributes(d, backend->XWindowOf(modal), &attrs)) return;
        const int top = attrs.height - box->Bounds().Height();
        const CLPoint o = pane->GetOriginIn(nullptr);
        const CLRect b = pane->Bounds();
        const std::vector<uint32_t> px =
            Grab(d, backend->XWindowOf(modal), o.x + b.left, top + o.y + b.top, b.Width(), b.Height());
        for (uint32_t p : px)
            ink += ((p >> 16) & 0xFF) < 0x60 && ((p >> 8) & 0xFF) < 0x60 && (p & 0xFF) < 0x60;
        const CLPoint ok = box->OkButton()->GetOriginIn(nullptr);
        const CLRect okb = box->OkButton()->Bounds();
        Xdotool("mousemove --sync --window %W " + std::to_string(ok.x + okb.left + okb.Width() / 2) + " " +
                    std::to_string(top + ok.y + okb.top + okb.Height() / 2) + " click 1",
                modal);
    });
    Xdotool("mousemove --sync --window %W " + std::to_string(int(appTitle.x) + 5) + " 8 click 1", native);
    ASSERT_TRUE(RunUntil([&] { return look.Ran() && !plat::Application::Shared()->ModalWindow(); }, 10));
    EXPECT_EQ(version, std::string("Version ") + ORBILUME_VERSION);
    EXPECT_TRUE(versionShown);
    EXPECT_GT(ink, 10);
}

}  // namespace
