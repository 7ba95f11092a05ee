#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/ObjC/CEditText.h"
#include "Common/ObjC/CLatentEditText.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LScrollBar.h"
#include "Lib3/LSources/CoreUI/LTextBox.h"
#include "Platform/AppKit/TextField.h"
#include "Platform/Graphics/DrawContext.h"
#include "tests/Common/ObjC/EditFieldFixture.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"

namespace {

const char* const kLeft = "\xEF\x9C\x82";
const char* const kRight = "\xEF\x9C\x83";
const char* const kDown = "\xEF\x9C\x81";
const char* const kHome = "\xEF\x9C\xA9";
const char* const kEnd = "\xEF\x9C\xAB";

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

// A field whose AcceptChar refuses what the test says.
struct PickyEdit : LEditText {
    PickyEdit(LPane* owner, uint32_t mode, uint32_t options) : LEditText(owner, mode, options) {}
    bool AcceptChar(uint32_t ch) override { return refused.find(char(ch)) == std::string::npos; }
    std::string refused;
};

class LEditTextTest : public EditFieldFixture {
protected:
    LEditTextTest() : upper(frame) {}
    ~LEditTextTest() override { DeleteField(); }

    template <class T = LEditText>
    T* Add(uint32_t mode, uint32_t options = 0, CLRect bounds = {10, 10, 210, 40}) {
        T* f = new T(frame, mode, options);
        f->SetUpper(&upper);
        f->ChangeState(LPane::kChainShow);
        f->ChangeState(LPane::kChainEnable);
        f->SetBounds(bounds);
        field = f;
        return f;
    }
    void Focus(LEditText* f) {
        f->TakeFocus(0, true);
        ASSERT_TRUE(f->State() & LPane::kFocused)
            << f->CanTakeFocus() << " frame " << std::hex << frame->State() << " field " << f->State();
        ASSERT_NE(f->Editor(), nullptr);
    }
    plat::TextView* Editor() const { return field->Editor()->CurrentEditor(); }
    void DeleteField() {
        delete field;
        field = nullptr;
    }

    UpperRecorder upper;
    LEditText* field = nullptr;
};

TEST_F(LEditTextTest, TypedTextReachesTheFieldAndComesBackWhenTheFocusGoes) {
    LEditText* f = Add(LEditText::kSingleLine);
    f->SetText("old");
    Focus(f);
    EXPECT_EQ(native->FirstResponder(), Editor());
    EXPECT_TRUE(f->Editor()->AllSelected());
    Type("Grüße 42");
    EXPECT_EQ(Str(f->GetText()), "Grüße 42");
    EXPECT_EQ(upper.Count("LEditText_Change"), 8);
    f->ChangeState(LPane::kUnfocus);
    EXPECT_EQ(f->Editor(), nullptr);
    EXPECT_EQ(Str(f->GetText()), "Grüße 42");
    EXPECT_EQ(upper.Count("LEditText_Unfocused"), 1);
}

TEST_F(LEditTextTest, KeysTheEditorMustSeeStayWithItTheOthersGoUp) {
    struct Case {
        uint32_t mode;
        const char* key;
        uint32_t mods;
        bool allSelected;
        bool goesUp;
        std::string text;  // after the key, from "ab" with the caret at the end
    };
    const Case cases[] = {
        {LEditText::kSingleLine, "\t", 0, false, true, "ab"},
        {LEditText::kWrapped, "\t", 0, false, true, "ab"},
        {LEditText::kMultiLine, "\t", 0, false, false, "ab\t"},
        {LEditText::kSingleLine, "\r", 0, false, true, "ab"},
        {LEditText::kMultiLine, "\r", 0, false, false, "ab\n"},
        {LEditText::kWrapped, "\r", 0, false, false, "ab\n"},
        {LEditText::kSingleLine, "\x7f", 0, false, false, "a"},
        {LEditText::kSingleLine, "\x1b", 0, false, true, "ab"},
        {LEditText::kSingleLine, kLeft, 0, true, true, "ab"},
        {LEditText::kSingleLine, kLeft, 0, false, false, "ab"},
        {LEditText::kSingleLine, kLeft, plat::kShiftKeyMask, true, false, "ab"},
        {LEditText::kSingleLine, kRight, 0, true, true, "ab"},
        {LEditText::kSingleLine, kDown, 0, false, true, "ab"},
        {LEditText::kMultiLine, kDown, 0, false, false, "ab"},
        {LEditText::kMultiLine, kDown, 0, true, true, "ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " mode " + std::to_string(c.mode));
        LEditText* f = Add(c.mode);
        f->SetText("ab");
        Focus(f);
        if (!c.allSelected) Editor()->SetSelectedRange({2, 0});
        upper.ids.clear();
        Key(c.key, c.mods);
        EXPECT_EQ(upper.Count("LEditText_Down"), c.goesUp ? 1 : 0);
        EXPECT_EQ(Str(f->GetText()), c.text);
        DeleteField();
    }
}

// Keys that go up as "LEditText_Down" and that nobody above takes come back to the editor, whatever
// the root of the chain: here the chain ends at a plain handler.
TEST_F(LEditTextTest, CaretKeysOfAOneLineFieldReachTheEditorWhenNobodyTakesThem) {
    struct Case {
        const char* name;
        plat::TextRange start;  // in "abcd"; {0, 4} is all selected
        const char* key;
        uint32_t mods;
        plat::TextRange selection;
    };
    constexpr uint32_t kShift = plat::kShiftKeyMask, kCmd = plat::kCommandKeyMask;
    const Case cases[] = {
        {"right collapses all to its end", {0, 4}, kRight, 0, {4, 0}},
        {"left collapses all to its start", {0, 4}, kLeft, 0, {0, 0}},
        {"right collapses a part to its end", {1, 2}, kRight, 0, {3, 0}},
        {"left collapses a part to its start", {1, 2}, kLeft, 0, {1, 0}},
        {"right", {2, 0}, kRight, 0, {3, 0}},
        {"left", {2, 0}, kLeft, 0, {1, 0}},
        {"shift right", {2, 0}, kRight, kShift, {2, 1}},
        {"shift left", {2, 0}, kLeft, kShift, {1, 1}},
        {"home", {2, 0}, kHome, 0, {0, 0}},
        {"end", {2, 0}, kEnd, 0, {4, 0}},
        {"home from all", {0, 4}, kHome, 0, {0, 0}},
        {"end from all", {0, 4}, kEnd, 0, {4, 0}},
        {"shift home", {2, 0}, kHome, kShift, {0, 2}},
        {"shift end", {2, 0}, kEnd, kShift, {2, 2}},
        {"command a", {2, 0}, "a", kCmd, {0, 4}},
        {"command a over a part", {1, 1}, "a", kCmd, {0, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LEditText* f = Add(LEditText::kSingleLine);
        f->SetText("abcd");
        Focus(f);
        Editor()->SetSelectedRange(c.start);
        Key(c.key, c.mods);
        EXPECT_EQ(Editor()->SelectedRange(), c.selection);
        EXPECT_EQ(Str(f->GetText()), "abcd");
        DeleteField();
    }
}

TEST_F(LEditTextTest, AKeyTakenAboveIsNotPerformedByTheEditor) {
    LEditText* f = Add(LEditText::kSingleLine);
    f->SetText("ab");
    Focus(f);
    upper.consume = {"LEditText_Down"};
    Key(kLeft);  // all selected: goes up and is taken there
    EXPECT_EQ(Editor()->SelectedRange(), (plat::TextRange{0, 2}));
    EXPECT_TRUE(keyboard.Handled());
}

TEST_F(LEditTextTest, TheCharacterFilterDropsRefusedCharacters) {
    auto* f = Add<PickyEdit>(LEditText::kSingleLine);
    f->refused = "xyz";
    Focus(f);
    Type("axbyc");
    EXPECT_EQ(Str(f->GetText()), "abc");
    upper.ids.clear();
    board.WriteString("zzz");
    Editor()->PerformSelector("paste:");
    EXPECT_EQ(Str(f->GetText()), "abc");
    EXPECT_EQ(upper.Count("LEditText_Change"), 0);
    board.WriteString("xqx");
    Editor()->PerformSelector("paste:");
    EXPECT_EQ(Str(f->GetText()), "abcq");
    Key("\x7f");  // deleting passes the filter
    EXPECT_EQ(Str(f->GetText()), "abc");
}

TEST_F(LEditTextTest, HidingTheWindowKeepsTheTextAndSaysNothing) {
    LEditText* f = Add(LEditText::kSingleLine);
    Focus(f);
    Type("kept");
    upper.ids.clear();
    frame->HideWindow();
    EXPECT_EQ(f->Editor(), nullptr);
    EXPECT_EQ(Str(f->GetText()), "kept");
    EXPECT_EQ(upper.Count("LEditText_Unfocused"), 0);
}

TEST_F(LEditTextTest, PasswordFieldsEditSecurelyAndMeasureStars) {
    LEditText* f = Add(LEditText::kSingleLine, LEditText::kPassword);
    f->SetText("pässword");
    LPanePort port(f);
    LDrawContext measure(port);
    LTextBox stars;
    stars.SetStyle(f->TextStyle());
    stars.SetText("********");
    EXPECT_EQ(f->MeasureText(measure).width, stars.Width());
    Focus(f);
    board.Mark();
    EXPECT_TRUE(f->Editor()->Field()->IsSecure());
    Editor()->PerformSelector("selectAll:");
    Editor()->PerformSelector("copy:");
    EXPECT_EQ(board.Changes(), 0);
}

TEST_F(LEditTextTest, APasswordFieldDrawsOneStarPerCharacter) {
    // The same place in two windows' worth of drawing: the password, then its stars as plain text.
    auto draw = [&](uint32_t options, const char* text) {
        LEditText* f = Add(LEditText::kSingleLine, options, {10, 10, 210, 40});
        f->SetText(text);
        frame->Invalidate(CRgn(CLRect{0, 0, 300, 100}), CRgn(CLRect{0, 0, 300, 100}));
        native->Display();
        plat::DrawContext* store = native->BackingStore();
        std::vector<uint32_t> pixels;
        for (int y = 12; y < 38; ++y)
            for (int x = 12; x < 208; ++x) pixels.push_back(store->PixelAt(x, y));
        DeleteField();
        return pixels;
    };
    const std::vector<uint32_t> password = draw(LEditText::kPassword, "p\xC3\xA4ss");
    const std::vector<uint32_t> stars = draw(0, "****");
    const std::vector<uint32_t> plain = draw(0, "p\xC3\xA4ss");
    EXPECT_EQ(password, stars);
    EXPECT_NE(password, plain);
}

TEST_F(LEditTextTest, ModesBuildTheirScrollBarsAndGeometry) {
    struct Case {
        uint32_t mode;
        uint32_t options;
        bool v, h;
        CLRect text;
    };
    const Case cases[] = {
        {LEditText::kSingleLine, LEditText::kScrollBars, false, false, {12, 12, 208, 38}},
        {LEditText::kSingleLine,
         LEditText::kNoFrame | LEditText::kNoHMargin,
         false,
         false,
         {10, 11, 210, 39}},
        {LEditText::kWrapped, LEditText::kScrollBars, true, false, {12, 12, 208, 38}},
        {LEditText::kMultiLine, LEditText::kScrollBars, true, true, {12, 12, 208, 38}},
        {LEditText::kMultiLine, 0, false, false, {12, 12, 208, 38}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode * 100 + c.options);
        LEditText* f = Add(c.mode, c.options, {10, 10, 210, 40});
        EXPECT_EQ(f->VerticalBar() != nullptr, c.v);
        EXPECT_EQ(f->HorizontalBar() != nullptr, c.h);
        CLRect want = c.text;
        if (c.v) want.right -= f->VerticalBar()->Bounds().Width();
        if (c.h) want.bottom -= f->HorizontalBar()->Bounds().Height();
        EXPECT_EQ(f->TextRect(), want);
        DeleteField();
    }
}

TEST_F(LEditTextTest, SettingTheSameTextDoesNothing) {
    FakeOwner owner(&upper, {0, 0, 300, 100});
    LEditText f(&owner, LEditText::kSingleLine, 0);
    f.ChangeState(LPane::kChainShow);
    f.SetBounds({10, 10, 100, 30});
    f.SetText("same");
    const size_t before = owner.invalids.size();
    f.SetText("same");
    EXPECT_EQ(owner.invalids.size(), before);
    f.SetText("other");
    EXPECT_GT(owner.invalids.size(), before);
    EXPECT_TRUE(upper.ids.empty() || upper.Count("LEditText_Change") == 0);
}

TEST_F(LEditTextTest, ReadOnlyFieldsNeverEdit) {
    LEditText* f = Add(LEditText::kSingleLine);
    f->SetReadOnly(true);
    f->TakeFocus(0, true);
    EXPECT_EQ(f->Editor(), nullptr);
    EXPECT_FALSE(f->CanTakeFocus());
}

TEST_F(LEditTextTest, AnUnfocusedSingleLineFieldDrawsItsWholeLineInsideTheField) {
    // Digits have no descenders: all their ink lies between the baseline and the ascent.
    LEditText* f = Add(LEditText::kSingleLine, 0, {10, 10, 210, 40});
    f->SetText("8888");
    ASSERT_EQ(f->Editor(), nullptr);
    frame->Invalidate(CRgn(CLRect{0, 0, 300, 100}), CRgn(CLRect{0, 0, 300, 100}));
    native->Display();
    plat::DrawContext* store = native->BackingStore();
    const CLRect text = f->TextRect();
    const CLRect inner = f->InnerFrameRect();
    int inkRows = 0, inkAbove = 0;
    for (int y = inner.top; y < inner.bottom; ++y) {
        bool ink = false;
        for (int x = text.left; x < text.right && !ink; ++x) {
            const uint32_t p = store->PixelAt(x, y);
            ink = ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 3 * 128;
        }
        if (!ink) continue;
        if (y >= text.top && y < text.bottom) ++inkRows;
        if (y < text.top) ++inkAbove;
    }
    EXPECT_GE(inkRows, 6) << "text " << text.top << ".." << text.bottom;
    EXPECT_EQ(inkAbove, 0);
}

TEST_F(LEditTextTest, DestroyingAFocusedFieldTellsTheUpperHandler) {
    LEditText* f = Add(LEditText::kSingleLine);
    Focus(f);
    upper.ids.clear();
    DeleteField();
    EXPECT_EQ(upper.Count("LEditText_Unfocused"), 1);
    EXPECT_EQ(native->FirstResponder(), native->ContentView());
}

}  // namespace

namespace {

class LatentTest : public ::testing::Test {
protected:
    LatentTest() {
        field.ChangeState(LPane::kChainShow);
        field.ChangeState(LPane::kChainEnable);
        field.SetBounds({10, 10, 110, 30});
        clock.AdvanceMs(5000);
    }
    void Press() {
        plat::Event e;
        e.type = plat::EventType::kLeftMouseDown;
        e.timestamp = plat::ClockNow();
        e.eventNumber = plat::Application::Shared()->NextEventNumber();
        mouse.Fill(e, {20, 20});
    }
    void Click() {
        Press();
        LHandler::Dispatch(LMessage(LMouse_Click, &mouse, &field));
    }
    void Wait(uint32_t ms) {
        clock.AdvanceMs(ms);
        for (LMessage m = LTimer::NextExpired(LTimer::Now(), nullptr, nullptr, true); !m.IsEmpty();
             m = LTimer::NextExpired(LTimer::Now(), nullptr, nullptr, true))
            LHandler::Dispatch(m);
    }

    testsupport::HeadlessScreens screens;
    testsupport::FakeClock clock;
    LMouse mouse;
    UpperRecorder upper{nullptr};
    FakeOwner owner{&upper, {0, 0, 300, 100}};
    CLatentEditText field{&owner, LEditText::kSingleLine};
};

TEST_F(LatentTest, OneClickLeftAloneStartsEditingAfterHalfASecond) {
    Click();
    EXPECT_EQ(upper.Count("LMouse_Click"), 1);  // the click goes on
    EXPECT_TRUE(field.IsPending());
    Wait(CLatentEditText::kLatentDelayMs - 1);
    EXPECT_EQ(upper.Count("LPane_ReqFocus"), 0);
    Wait(1);
    EXPECT_EQ(upper.Count("LPane_ReqFocus"), 1);
}

TEST_F(LatentTest, ADoubleClickNeverEdits) {
    Click();
    Wait(50);
    Click();
    EXPECT_FALSE(field.IsPending());
    Wait(2000);
    EXPECT_EQ(upper.Count("LPane_ReqFocus"), 0);
    EXPECT_EQ(upper.Count("LMouse_Click"), 2);
}

TEST_F(LatentTest, AClickElsewhereCancelsThePendingEdit) {
    Click();
    Wait(200);
    Press();  // somewhere else
    Wait(400);
    EXPECT_EQ(upper.Count("LPane_ReqFocus"), 0);
}

TEST_F(LatentTest, TheFieldTakesNoFocusByItselfAndShowsNoIBeam) {
    EXPECT_FALSE(field.TakeFocus(0, true));
    EXPECT_EQ(upper.Count("LPane_ReqFocus"), 0);
    LHandler::Dispatch(LMessage(LMouse_Cursor, &mouse, &field));
    EXPECT_EQ(upper.Count("LMouse_Cursor"), 0);
    EXPECT_FALSE(field.State() & LPane::kOwnBackground);
}

}  // namespace
