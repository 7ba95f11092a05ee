#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/CoreUI/CStateButton.h"
#include "Lib3/LSources/CoreUI/LListNavi.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/Mac/CListDragDropHelper.h"
#include "Lib3/LSources/Mac/CRecordRowDrag.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Editors/CConsoleWin.h"
#include "Orbilume/CSources/Editors/CSceneList.h"
#include "Orbilume/CSources/Editors/CSeqListWin.h"
#include "Platform/AppKit/Window.h"
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"
#include "tests/Orbilume/CSources/Document/ShowTestSupport.h"
#include "tests/support/NestedLoopGuard.h"

// Xlib last: its macros must not reach the headers above.
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on

using namespace showtest;

namespace {

using Strings = std::vector<std::string>;

// Another program holding the input focus.
class OtherClient {
public:
    explicit OtherClient(const std::string& display) : fDisplay(XOpenDisplay(display.c_str())) {
        if (!fDisplay) return;
        fWindow = XCreateSimpleWindow(fDisplay, DefaultRootWindow(fDisplay), 600, 500, 120, 80, 0, 0, 0);
        XMapWindow(fDisplay, fWindow);
        XSync(fDisplay, False);
    }
    ~OtherClient() {
        if (fDisplay) XCloseDisplay(fDisplay);
    }
    bool Ok() const { return fDisplay != nullptr; }
    void TakeFocus() {
        XSetInputFocus(fDisplay, fWindow, RevertToParent, CurrentTime);
        XSync(fDisplay, False);
    }

private:
    ::Display* fDisplay;
    ::Window fWindow = 0;
};

// The application's part of the chain: focus and capture requests end here.
struct Root : LHandler {
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LPane_ReqCapture)) {
            if (LMouse::Get()) LMouse::Get()->Capture(msg.sender);
            return LMessage();
        }
        // The frame asking for the focus gets it, as the main loop gives it.
        if (msg.Is(LPane_ReqFocus) && msg.sender) {
            auto* frame = static_cast<LPane*>(msg.sender);
            if (!(frame->State() & LPane::kFocused)) frame->ChangeState(LPane::kFocus);
            return LMessage();
        }
        if (msg.Is(LPane_Defer) || msg.Is(LMouse_Cursor) || msg.Is(LFrame_Place)) return LMessage();
        return LHandler::Handle(msg);
    }
};

struct Requests {
    std::vector<std::pair<uint32_t, int32_t>> seen;
    static void Observe(void* context, const SRecordEvent* e) {
        const CRecord* r = e->record.Get();
        if (!r || !r->IsOfType(T::kDomain, T::kSCNS) || e->kind != SRecordEvent::kValueChanged) return;
        if (e->field == T::kScnsRecall || e->field == T::kScnsGoTo)
            static_cast<Requests*>(context)->seen.push_back({e->field, r->GetInt(e->field)});
    }
    bool Has(uint32_t field, int32_t value) const {
        for (const auto& s : seen)
            if (s.first == field && s.second == value) return true;
        return false;
    }
};

class ConsoleX11Test : public X11FrameworkTest {
protected:
    void SetUp() override {
        StartSession(&root, kResources);
        if (IsSkipped() || HasFatalFailure()) return;
        doc.SetUpper(&root);
        int i = 0;
        for (const char* name : {"dawn", "noon", "dusk", "night"}) {
            CRecord* s = UDocScenes::NewScene();
            s->StringSlot(T::kScneName) = LString(name);
            s->Slot(T::kScneTime).f32 = float(10 * ++i);
            if (i == 3) s->StringSlot(T::kScneKey) = LString("F3");
            ASSERT_TRUE(h.Scenes().InsertRecord(nullptr, T::kScnsScenes, uint32_t(i - 1), s));
        }
        for (const char* name : {"first", "second"}) {
            const int32_t n = UDocScenes::AppendSequence(h.Scenes(), nullptr);
            CRecord* seq = h.Scenes()->GetElement(T::kScnsSequences, uint32_t(n));
            CRecord* s = UDocScenes::NewScene();
            s->StringSlot(T::kScneName) = LString(name);
            ASSERT_TRUE(CRecordRef(&seq).InsertRecord(nullptr, T::kSqncScenes, 0, s));
        }
        (void)h.AddObserver(&requests, &Requests::Observe);
        dcpf = prefs.AppendDocument();
        SDocWindowArgs args{&doc, nullptr, &h, dcpf, nullptr, false};
        console = std::make_unique<CConsoleWin>(args);
        console->SetWindowFrame({60, 60, 860, 660});
        console->ShowWindow();
        ASSERT_TRUE(RunUntil([&] { return console->Bounds().Width() == 800; }));
        console->SetDivider(0, 0.2f);
        console->SetDivider(1, 0.8f);
        ASSERT_TRUE(RunUntil([&] { return List()->Bounds().Height() > 150; }));
        Xdotool("windowfocus --sync %W");
        RunUntil([] { return false; }, 0.3);
    }
    void TearDown() override {
        seqs.reset();
        console.reset();
        (void)h.RemoveObserver(&requests, &Requests::Observe);
        X11FrameworkTest::TearDown();
    }
    CSceneList* List() { return console->Scenes()->List(); }
    void Xdotool(const std::string& args) {
        X11FrameworkTest::Xdotool(args, console->Window()->NativeWindow());
    }
    std::string At(LPane* pane, int32_t x, int32_t y) {
        const CLPoint o = pane->GetOriginIn(nullptr);
        const int32_t strip = int32_t(console->Window()->NativeWindow()->StripHeight());
        return std::to_string(o.x + pane->Bounds().left + x) + " " +
               std::to_string(o.y + pane->Bounds().top + y + strip);
    }
    uint32_t Pixel(LPane* pane, int32_t x, int32_t y) {
        const CLPoint o = pane->GetOriginIn(nullptr);
        const int32_t strip = int32_t(console->Window()->NativeWindow()->StripHeight());
        ::Display* d = backend->XDisplay();
        XSync(d, False);
        XImage* image = XGetImage(d, backend->XWindowOf(console->Window()->NativeWindow()),
                                  o.x + pane->Bounds().left + x, o.y + pane->Bounds().top + y + strip, 1, 1,
                                  AllPlanes, ZPixmap);
        if (!image) return 0xDEADBEEF;
        const uint32_t p = uint32_t(XGetPixel(image, 0, 0) & 0xFFFFFF);
        XDestroyImage(image);
        return p;
    }
    CSceneCell* Cell(int32_t row) {
        CCellRef ref(List(), {0, row}, false);
        return static_cast<CSceneCell*>(ref.Pane());
    }
    Strings Names() {
        Strings out;
        for (int32_t r = 0; r < List()->Rows(); ++r) out.push_back(List()->SceneAt(r)->GetString(T::kScneName).CStr());
        return out;
    }

    Root root;
    UndoDocument doc;
    CAppPrefs prefs;
    CRecord* dcpf = nullptr;
    CDocModelHolder h;
    Requests requests;
    std::unique_ptr<CConsoleWin> console;
    std::unique_ptr<CSeqListWin> seqs;
};

// The green marker band above row 0 on a time line; a click on a recall button recalls its scene.
TEST_F(ConsoleX11Test, MarkerBandAndRecallClick) {
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(RunUntil([&] { return Pixel(List(), 60, 1) == 0x00FF00; }));
    EXPECT_NE(Pixel(List(), 60, List()->CellHeight() / 2 + 3), 0x00FF00u);
    LPane* button = Cell(1)->RecallButton();
    const CLRect b = button->Bounds();
    // The cell is placed in the grid; its button sits inside row 1.
    Xdotool("mousemove --sync --window %W " + At(List(), b.left + b.Width() / 2, List()->CellHeight() + b.top +
                                                                        b.Height() / 2) + " click 1");
    ASSERT_TRUE(RunUntil([&] { return requests.Has(T::kScnsRecall, 1); }));
}

// With another program focused, F3 asks for the scene keyed F3.
TEST_F(ConsoleX11Test, FunctionKeyWorksFromAnotherProgram) {
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_EQ(List()->KeyMask(), 1u << 2);
    OtherClient other(Display());
    ASSERT_TRUE(other.Ok());
    other.TakeFocus();
    X11FrameworkTest::Xdotool("key F3", nullptr);
    ASSERT_TRUE(RunUntil([&] { return requests.Has(T::kScnsGoTo, 2); }));
}

// Dragging row 3 above row 1 reorders the scenes (a drop at row 0 takes the first row's time).
TEST_F(ConsoleX11Test, DraggingRowThreeToTheTopReorders) {
    if (IsSkipped() || HasFatalFailure()) return;
    testsupport::NestedLoopGuard guard(20);
    const int32_t ch = List()->CellHeight();
    // Between the recall button and the time field: the row itself.
    const int32_t gap = Cell(2)->RecallButton()->Bounds().right + 2;
    Xdotool("mousemove --sync --window %W " + At(List(), gap, 2 * ch + ch / 2) + " mousedown 1");
    ASSERT_TRUE(RunUntil([&] { return List()->Drag()->Helper().Dragger() != nullptr; }));
    Xdotool("mousemove_relative --sync 0 -10 mousemove_relative --sync 0 -10 mousemove_relative --sync 0 -10 "
            "mousemove --sync --window %W " +
            At(List(), gap, 2) + " mouseup 1");
    ASSERT_TRUE(RunUntil([&] { return Names() != Strings{"dawn", "noon", "dusk", "night"}; }, 10));
    EXPECT_EQ(Names(), (Strings{"dusk", "dawn", "noon", "night"}));
    EXPECT_STREQ(List()->SceneAt(0)->GetString(T::kScneKey).CStr(), "F3");
    EXPECT_FALSE(guard.Fired());
}

// A name typed into row 2 with Return is stored; undo restores it. The click puts the caret at the
// start of the name: End takes it to the end.
TEST_F(ConsoleX11Test, TypedNameIsStoredAndUndone) {
    if (IsSkipped() || HasFatalFailure()) return;
    const CLRect name = Cell(1)->NameField()->Bounds();
    const int32_t ch = List()->CellHeight();
    Xdotool("mousemove --sync --window %W " + At(List(), name.left + 3, ch + name.top + name.Height() / 2) +
            " click 1");
    ASSERT_TRUE(RunUntil([&] { return Cell(1) && (Cell(1)->NameField()->State() & LPane::kFocused); }));
    Xdotool("key End type --delay 20 lunch");
    Xdotool("key Return");
    ASSERT_TRUE(RunUntil([&] { return Names()[1] == "noonlunch"; }));
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Names()[1], "noon");
}

// A click on sequence 2 in the sequence window fills the scene list with its scenes.
TEST_F(ConsoleX11Test, SequenceWindowPicksTheScenes) {
    if (IsSkipped() || HasFatalFailure()) return;
    seqs = std::make_unique<CSeqListWin>(&doc, &h, dcpf);
    seqs->SetWindowFrame({900, 60, 1120, 300});
    seqs->Show();
    ASSERT_TRUE(RunUntil([&] { return seqs->List()->Bounds().Height() > 40; }));
    EXPECT_EQ(Names(), (Strings{"first"}));
    const CLPoint o = seqs->List()->GetOriginIn(nullptr);
    const int32_t strip = int32_t(seqs->Window()->NativeWindow()->StripHeight());
    const int32_t ch = seqs->List()->CellHeight();
    X11FrameworkTest::Xdotool("mousemove --sync --window %W " + std::to_string(o.x + seqs->List()->Bounds().left + 6) +
                                  " " + std::to_string(o.y + seqs->List()->Bounds().top + ch + ch / 2 + strip) +
                                  " click 1",
                              seqs->Window()->NativeWindow());
    ASSERT_TRUE(RunUntil([&] { return Names() == Strings{"second"}; }));
    seqs->Hide();
    EXPECT_EQ(Names(), (Strings{"dawn", "noon", "dusk", "night"}));
}

}  // namespace
