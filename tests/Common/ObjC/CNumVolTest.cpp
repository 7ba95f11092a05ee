#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

#include "Common/ObjC/CEditText.h"
#include "Common/ObjC/CNumVol.h"
#include "Common/ObjC/LNumEdit.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/CGenCtlEv.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LTextBox.h"
#include "Platform/AppKit/InputSource.h"
#include "tests/Common/ObjC/EditFieldFixture.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"

namespace {

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

const char* const kUp = "\xEF\x9C\x80";

// Numeric controls outside a window: the owner is a fake, the messages go to a recorder.
class NumericTest : public ::testing::Test {
protected:
    NumericTest() {
        knob.ChangeState(LPane::kChainShow);
        knob.ChangeState(LPane::kChainEnable);
        knob.SetBounds({0, 0, 100, 20});
        knob.SetUpper(&upper);
    }
    // Focused in the key window, as the frame would make it.
    void FocusKnob() {
        knob.ChangeState(LPane::kKeyOn);
        knob.ChangeState(LPane::kFocus);
    }
    void FireDueTimers() {
        for (LMessage m = LTimer::NextExpired(LTimer::Now(), nullptr, nullptr, true); !m.IsEmpty();
             m = LTimer::NextExpired(LTimer::Now(), nullptr, nullptr, true))
            LHandler::Dispatch(m);
    }
    void KeyDown(const char* chars, uint32_t mods) {
        plat::Event e;
        e.type = plat::EventType::kKeyDown;
        e.characters = e.charactersIgnoringModifiers = chars;
        e.modifierFlags = mods;
        keyboard.Fill(e);
        LHandler::Dispatch(LMessage(LKeyboard_Down, &keyboard, &knob));
    }

    testsupport::FakeClock clock;
    LMouse mouse;
    LKeyboard keyboard;
    UpperRecorder upper{nullptr};
    FakeOwner owner{&upper, {0, 0, 300, 100}};
    CNumVol knob{&owner, 0, 0};
};

TEST_F(NumericTest, ValuesAreClampedAndFormatted) {
    struct Case {
        uint32_t decimals;
        float value;
        const char* text;
    };
    const Case cases[] = {
        {0, 150, "100"}, {0, -3, "0"}, {0, 42.6f, "43"}, {2, 12.5f, "12.50"}, {1, 99.96f, "100.0"}};
    for (const Case& c : cases) {
        knob.SetDecimals(c.decimals);
        knob.SetValue(c.value);
        EXPECT_EQ(Str(knob.GetText()), c.text) << c.value;
    }
    EXPECT_TRUE(upper.ids.empty());
}

TEST_F(NumericTest, TextIsReadAsDecimalInTheCLocaleOnly) {
    struct Case {
        const char* text;
        float value;
    };
    const Case cases[] = {
        {"12.5", 12.5f}, {"  7", 7},         {"-3abc", -3},        {"", 0},        {"abc", 0},
        {"0x10", 0},     {"inf", 0},         {"nan", 0},           {"-.5", -0.5f}, {"1e3", 1000},
        {"1e", 1},       {"1e999", FLT_MAX}, {"-1e999", -FLT_MAX}, {"12,5", 12},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CNumVol::ParseValue(c.text, uint32_t(strlen(c.text))), c.value) << c.text;
}

TEST_F(NumericTest, TheFilterAndTheSanitisingPass) {
    LString dot(".");
    EXPECT_FALSE(LEditText::CharacterFilter(&knob, 0, dot));  // decimals off
    CNumVol withDecimals(&owner, 2, 0);
    LString dot2(".");
    EXPECT_TRUE(LEditText::CharacterFilter(&withDecimals, 0, dot2));
    LString mixed("1a-2.x");
    EXPECT_TRUE(LEditText::CharacterFilter(&knob, 0, mixed));
    EXPECT_EQ(Str(mixed), "1-2");
    struct Case {
        const char* in;
        bool decimals;
        const char* out;
    };
    const Case cases[] = {{"12-5", false, "12"}, {"-12", false, "-12"}, {"1.2.3", true, "1.2"},
                          {"1.5", false, "1"},   {"--1", false, "-"},   {"", false, ""}};
    for (const Case& c : cases) EXPECT_EQ(Str(LNumEdit::Sanitized(LString(c.in), c.decimals)), c.out) << c.in;
    // The change comes back unhandled: the text is cut.
    knob.SetText("12-5");
    LHandler::Dispatch(LMessage(LEditText_Change, &knob, &upper));
    EXPECT_EQ(Str(knob.GetText()), "12");
}

TEST_F(NumericTest, AHoldOnTheLeftHalfRepeatsAndStopsAtTheMinimum) {
    FocusKnob();
    knob.SetRange(46, 100, 1);
    knob.SetValue(50);
    mouse.SetLocation({10, 10});
    LHandler::Dispatch(LMessage(LMouse_Click, &mouse, &knob));
    EXPECT_EQ(knob.GetValue(), 49);
    EXPECT_EQ(upper.Count("CNumVol_Move"), 1);
    EXPECT_EQ(upper.Count("CNumVol_Fix"), 1);  // the move came back unhandled
    clock.AdvanceMs(CNumVol::InitialDelayMs() - 1);
    FireDueTimers();
    EXPECT_EQ(knob.GetValue(), 49);
    clock.AdvanceMs(1);
    FireDueTimers();
    EXPECT_EQ(knob.GetValue(), 48);
    for (int i = 0; i < 5; ++i) {
        clock.AdvanceMs(CNumVol::RepeatDelayMs());
        FireDueTimers();
    }
    EXPECT_EQ(knob.GetValue(), 46);
    EXPECT_FALSE(knob.RepeatTimer()->IsRunning());
    LHandler::Dispatch(LMessage(LMouse_Release, &mouse, &knob));
    EXPECT_EQ(knob.RepeatTimer(), nullptr);
}

TEST_F(NumericTest, DragsHaveADeadZoneThenStepQuadratically) {
    FocusKnob();
    knob.SetRange(-1000, 1000, 1);
    knob.SetValue(0);
    mouse.SetLocation({80, 10});
    LHandler::Dispatch(LMessage(LMouse_Click, &mouse, &knob));
    EXPECT_EQ(knob.GetValue(), 1);  // the right half steps up at once
    mouse.SetTracker(&knob);
    mouse.SetLocation({81, 10});
    LHandler::Dispatch(LMessage(LMouse_Move, &mouse, &knob));
    EXPECT_EQ(knob.GetValue(), 1);  // inside the dead zone
    mouse.SetLocation({86, 10});
    LHandler::Dispatch(LMessage(LMouse_Move, &mouse, &knob));
    EXPECT_EQ(knob.GetValue(), 1 + 12);  // 6 × 2: the drag runs
    EXPECT_EQ(knob.RepeatTimer(), nullptr);
    EXPECT_EQ(knob.Direction(), 0);
    mouse.SetLocation({94, 10});
    LHandler::Dispatch(LMessage(LMouse_Move, &mouse, &knob));
    EXPECT_EQ(knob.GetValue(), 13 + 16);
    mouse.SetLocation({94, 8});  // up is positive
    LHandler::Dispatch(LMessage(LMouse_Move, &mouse, &knob));
    EXPECT_EQ(knob.GetValue(), 29 + 2);
    mouse.SetLocation({95, 8});  // no dead zone once dragging
    LHandler::Dispatch(LMessage(LMouse_Move, &mouse, &knob));
    EXPECT_EQ(knob.GetValue(), 32);
    // Every move was fixed as it came back unhandled; the release has nothing left to fix.
    EXPECT_EQ(upper.Count("CNumVol_Move"), 5);
    EXPECT_EQ(upper.Count("CNumVol_Fix"), 5);
    mouse.SetTracker(nullptr);
    LHandler::Dispatch(LMessage(LMouse_Release, &mouse, &knob));
    EXPECT_EQ(upper.Count("CNumVol_Fix"), 5);
}

TEST_F(NumericTest, ControllerStepsScaleToTheRangeWithoutFaults) {
    struct Case {
        float min, max, step;
        int32_t n;
        int32_t scaled;
    };
    const Case cases[] = {
        {0, 100, 1, 20, 2},
        {0, 100, 1, 5, 5},
        {0, 100, 1, -20, -2},
        {0, 1000, 1, 20, 20},
        {0, 100, 0, 20, 2},
        {0, 100, -1, 30, 3},
        {100, 0, 1, 10, 1},
        {-FLT_MAX, FLT_MAX, 1e-30f, 20, INT32_MAX},
        {-FLT_MAX, FLT_MAX, 1e-30f, -20, INT32_MIN},
        {0, 100, NAN, 20, 2},
    };
    for (const Case& c : cases) {
        knob.SetRange(c.min, c.max, c.step);
        EXPECT_EQ(knob.ScaledStepCount(c.n), c.scaled)
            << c.min << " " << c.max << " " << c.step << " " << c.n;
    }
    knob.SetRange(0, 100, 1);
    knob.SetValue(50);
    CGenCtlEv twenty(20), five(5);
    LHandler::Dispatch(LMessage(CGenCtlEv_Step, &twenty, &knob));
    EXPECT_EQ(knob.GetValue(), 52);
    LHandler::Dispatch(LMessage(CGenCtlEv_Step, &five, &knob));
    EXPECT_EQ(knob.GetValue(), 57);
    EXPECT_EQ(upper.Count("CNumVol_Fix"), 2);
    knob.SetRange(0, 100, 0);
    LHandler::Dispatch(LMessage(CGenCtlEv_Step, &twenty, &knob));
    EXPECT_EQ(knob.GetValue(), 57);
    knob.SetRange(-FLT_MAX, FLT_MAX, 1e-30f);
    LHandler::Dispatch(LMessage(CGenCtlEv_Step, &twenty, &knob));
    EXPECT_TRUE(std::isfinite(knob.GetValue()));
}

TEST_F(NumericTest, ControlArrowsStepByATenthOfTheRangeOrByTheStepWithShift) {
    knob.SetRange(0, 100, 1);
    knob.SetValue(50);
    KeyDown(kUp, plat::kControlKeyMask);
    EXPECT_EQ(knob.GetValue(), 60);
    KeyDown(kUp, plat::kControlKeyMask | plat::kShiftKeyMask);
    EXPECT_EQ(knob.GetValue(), 61);
    EXPECT_EQ(upper.Count("CNumVol_Fix"), 2);
    upper.ids.clear();
    KeyDown(kUp, 0);  // a plain arrow goes up unchanged
    EXPECT_EQ(knob.GetValue(), 61);
    EXPECT_EQ(upper.Count("LKeyboard_Down"), 1);
    knob.SetRange(0, 0, 0);  // no step: handled without a change
    upper.ids.clear();
    KeyDown(kUp, plat::kControlKeyMask);
    EXPECT_EQ(knob.GetValue(), 61);
    EXPECT_TRUE(upper.ids.empty());
}

TEST_F(NumericTest, TheWheelStepsAtThePlaceValueUnderThePointer) {
    CNumVol wheel(&owner, 2, 0);
    wheel.SetUpper(&upper);
    wheel.ChangeState(LPane::kChainShow);
    wheel.ChangeState(LPane::kChainEnable);
    wheel.SetBounds({0, 0, 200, 20});
    wheel.SetRange(0, 10000, 0.01f);
    wheel.SetValue(123.45f);
    LTextBox box;
    box.SetStyle(wheel.TextStyle());
    const int32_t width = box.WidthOf("123.45");
    LPanePort port(&wheel);
    LDrawContext measure(port);
    const int32_t x0 = wheel.PreferredWidth(measure, -11);
    auto at = [&](int i) { return CLPoint{x0 + (i * width + width / 2) / 6, 10}; };
    EXPECT_DOUBLE_EQ(wheel.WheelStep(at(0)), 100);
    EXPECT_DOUBLE_EQ(wheel.WheelStep(at(3)), 1);
    EXPECT_NEAR(wheel.WheelStep(at(4)), 0.1, 1e-12);
    EXPECT_NEAR(wheel.WheelStep(at(5)), 0.01, 1e-12);
    EXPECT_DOUBLE_EQ(wheel.WheelStep({-500, 10}), 100);
    wheel.ChangeState(LPane::kKeyOn);
    wheel.ChangeState(LPane::kFocus);
    mouse.SetLocation(at(0));
    mouse.SetWheel(at(0), 0, 1, 0);
    LHandler::Dispatch(LMessage(LMouse_Wheel, &mouse, &wheel));
    EXPECT_EQ(Str(wheel.GetText()), "223.45");
}

TEST_F(NumericTest, TheAsciiSourceIsSelectedWhileFocused) {
    plat::InputSource::ResetForTesting();
    FocusKnob();
    EXPECT_TRUE(plat::InputSource::CopyCurrentKeyboard()->IsASCIICapable());
    knob.ChangeState(LPane::kUnfocus);
    EXPECT_FALSE(plat::InputSource::CopyCurrentKeyboard()->IsASCIICapable());
    EXPECT_EQ(plat::InputSource::Selections().size(), 2u);
}

// In a window: typing, Tab to the next field, Return.
class NumericFieldTest : public EditFieldFixture {
protected:
    NumericFieldTest() : upper(frame) {}
    template <class T, class... A>
    T* Add(CLRect bounds, A... args) {
        T* f = new T(frame, args...);
        f->SetUpper(&upper);
        f->ChangeState(LPane::kChainShow);
        f->ChangeState(LPane::kChainEnable);
        f->SetBounds(bounds);
        return f;
    }
    UpperRecorder upper;
};

TEST_F(NumericFieldTest, TypingAndReturnEnterTheCleanNumber) {
    auto* name = Add<LEditText>({10, 10, 200, 30}, LEditText::kSingleLine, 0u);
    auto* num = Add<LNumEdit>({10, 40, 200, 60}, true, 0u);
    name->TakeFocus(0, true);
    Type("Grüße 42");
    EXPECT_EQ(Str(name->GetText()), "Grüße 42");
    // Tab goes up and the frame moves the focus on.
    Key("\t");
    EXPECT_EQ(upper.Count("LEditText_Down"), 1);
    if (!(num->State() & LPane::kFocused)) num->TakeFocus(0, true);
    ASSERT_NE(num->Editor(), nullptr);
    Type("12a.5");
    EXPECT_EQ(Str(num->GetText()), "12.5");
    upper.ids.clear();
    Key("\r");
    EXPECT_EQ(upper.Count("LNumEdit_Enter"), 1);
    EXPECT_FALSE(num->IsDirty());
    EXPECT_EQ(Str(num->GetText()), "12.5");
    delete num;
    delete name;
}

TEST_F(NumericFieldTest, ClosingAWindowWithADirtyFocusedFieldRunsClean) {
    auto* num = Add<CNumVol>({10, 40, 200, 60}, 1u, 0u);
    num->TakeFocus(0, true);
    ASSERT_NE(num->Editor(), nullptr);
    Type("7");
    EXPECT_TRUE(num->IsDirty());
    upper.ids.clear();
    delete frame;  // deletes its children, the field among them
    frame = nullptr;
    upper.SetUpper(&root);
    EXPECT_EQ(upper.Count("LNumEdit_Enter"), 1);
    EXPECT_EQ(upper.Count("LEditText_Unfocused"), 1);
}

TEST_F(NumericFieldTest, HidingTheWindowKeepsAnUnenteredValue) {
    auto* num = Add<LNumEdit>({10, 40, 200, 60}, false, 0u);
    num->TakeFocus(0, true);
    Type("5");
    upper.ids.clear();
    frame->HideWindow();
    // The typed value was never entered: the field shows what the model does not have.
    EXPECT_EQ(upper.Count("LNumEdit_Enter"), 0);
    EXPECT_TRUE(num->IsDirty());
    EXPECT_EQ(Str(num->GetText()), "5");
    delete num;
}

}  // namespace
