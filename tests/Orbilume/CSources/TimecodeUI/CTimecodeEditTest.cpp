#include <gtest/gtest.h>

#include <string>

#include "Common/ObjC/CEditText.h"
#include "Lib3/LSources/CoreUI/LTextBox.h"
#include "Orbilume/CSources/TimecodeUI/CTimecodeEdit.h"
#include "tests/Common/ObjC/EditFieldFixture.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"

namespace {

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

const char* const kUp = "\xEF\x9C\x80";
const char* const kDown = "\xEF\x9C\x81";

TEST(TimecodeEditText, CountsShowAsTheFieldWritesThem) {
    struct Case {
        int64_t count;
        uint32_t units;
        uint32_t code;
        bool isSigned;
        const char* text;
    };
    const Case cases[] = {
        {-1000, 1000, 25, false, "23:59:59:00"},  // wraps into the day
        {-1000, 1000, 25, true, "-00:00:01:00"},
        {-10, 1000, 25, true, " 00:00:00:00"},  // rounds to zero: blank sign column
        {2500, 1000, 30, true, " 00:00:02:15"},
        {3723 * 1024 + 512, 1024, 24, false, "01:02:03:12"},
        {90 * 1000, 1000, 1, false, "00:01:30"},
        {150, 100, 100, false, "00:00:01.50"},
        {-86400LL * 1000 * 3 - 1000, 1000, 30, false, "23:59:59:00"},  // several days back
        {12345, 0, 30, false, "00:00:00:00"},                          // no units: zero time
    };
    for (const Case& c : cases)
        EXPECT_EQ(CTimecodeEdit::CountText(c.count, c.units, c.code, c.isSigned), c.text)
            << c.count << " at " << c.units << " code " << c.code;
}

TEST(TimecodeEditText, FieldsAndTheirSteps) {
    FakeOwner owner{nullptr, {0, 0, 300, 100}};
    CTimecodeEdit plain(&owner, 30, false);
    CTimecodeEdit sign(&owner, 30, true);
    CTimecodeEdit seconds(&owner, 1, false);
    // Characters of "hh:mm:ss:ff" (and " hh:mm:ss:ff").
    const uint32_t plainFields[] = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
    const uint32_t signFields[] = {1, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4};
    for (uint32_t i = 0; i < 12; ++i) {
        EXPECT_EQ(plain.FieldAtIndex(i), plainFields[i]) << i;
        EXPECT_EQ(sign.FieldAtIndex(i), signFields[i]) << i;
    }
    EXPECT_EQ(seconds.FieldAtIndex(9), 3u);  // no frame field at code 1

    struct Step {
        uint32_t code, field;
        double seconds;
    };
    const Step steps[] = {
        {30, 1, 3600},           {30, 2, 60},         {30, 3, 1},        {24, 4, 1.0 / 24}, {25, 4, 1.0 / 25},
        {29, 4, 1001.0 / 30000}, {100, 4, 1.0 / 100}, {30, 4, 1.0 / 30}, {60, 4, 1.0 / 30}, {1, 4, 0}};
    for (const Step& s : steps)
        EXPECT_DOUBLE_EQ(CTimecodeEdit::FieldStep(s.code, s.field), s.seconds) << s.code << "/" << s.field;
}

TEST(TimecodeEditText, RangeValueAndCounts) {
    FakeOwner owner{nullptr, {0, 0, 300, 100}};
    CTimecodeEdit plain(&owner, 30, false);
    CTimecodeEdit sign(&owner, 30, true);
    EXPECT_EQ(plain.Maximum(), 86400.0f);
    EXPECT_EQ(plain.Minimum(), -86400.0f);
    EXPECT_EQ(sign.Maximum(), 86399.0f);
    EXPECT_EQ(Str(plain.GetText()), "00:00:00:00");
    EXPECT_EQ(Str(sign.GetText()), " 00:00:00:00");

    sign.SetText(LString("-00:00:02:15"));
    EXPECT_EQ(sign.GetCount(1000), -2500);
    EXPECT_FLOAT_EQ(sign.GetValue(), -2.5f);
    const Timecode tc = sign.GetTimecode();
    EXPECT_EQ(tc.seconds, 2);
    EXPECT_EQ(tc.frames, 15);

    plain.StoreValue(-1.0f);
    EXPECT_EQ(Str(plain.GetText()), "23:59:59:00");
    plain.SetCount(61 * 1000, 1000);
    EXPECT_EQ(Str(plain.GetText()), "00:01:01:00");
    // A time at another rate is converted to the field's.
    Timecode pal;
    pal.Init(25);
    pal.Set(0, 0, 1, 5);  // 1.2 s
    sign.SetTimecode(pal);
    EXPECT_EQ(Str(sign.GetText()), " 00:00:01:06");
    // Long digit runs typed or stored never overflow.
    plain.SetText(LString("99999999999999999999:99999999999:1:1"));
    EXPECT_GE(plain.GetCount(1024), 0);
    EXPECT_EQ(plain.GetTypedCount(1000), (int64_t{1000000} * 3600 + 1000000 * 60 + 1) * 1000 + 33);
    // As typed, past the day: not wrapped.
    CTimecodeEdit hundredths(&owner, 100, false);
    struct Typed {
        const char* text;
        int32_t wrapped;
        int64_t typed;
    } typed[] = {
        {"25:00:00.50", 3600500, 90000500}, {"24:00:00.00", 0, 86400000}, {"-00:00:01.25", -1250, -1250}};
    for (const Typed& t : typed) {
        hundredths.SetText(LString(t.text));
        EXPECT_EQ(hundredths.GetCount(1000), t.wrapped) << t.text;
        EXPECT_EQ(hundredths.GetTypedCount(1000), t.typed) << t.text;
    }
    hundredths.SetText(LString("00:00:01.50"));
    EXPECT_EQ(hundredths.GetTypedCount(1024), 1536);
}

// Keys through the keyboard record, the field focused in a fake key window.
class TimecodeEditKeys : public ::testing::Test {
protected:
    TimecodeEditKeys() {
        field.ChangeState(LPane::kChainShow);
        field.ChangeState(LPane::kChainEnable);
        field.SetBounds({0, 0, 120, 20});
        field.SetUpper(&upper);
    }
    void KeyDown(const char* chars, uint32_t mods) {
        plat::Event e;
        e.type = plat::EventType::kKeyDown;
        e.characters = e.charactersIgnoringModifiers = chars;
        e.modifierFlags = mods;
        keyboard.Fill(e);
        LHandler::Dispatch(LMessage(LKeyboard_Down, &keyboard, &field));
    }
    testsupport::FakeClock clock;
    LMouse mouse;
    LKeyboard keyboard;
    UpperRecorder upper{nullptr};
    FakeOwner owner{&upper, {0, 0, 300, 100}};
    CTimecodeEdit field{&owner, 30, false};
};

TEST_F(TimecodeEditKeys, ControlArrowsMoveByMinutesAndSecondsAndWrapWhenShown) {
    field.SetText(LString("00:00:30:00"));
    KeyDown(kDown, plat::kControlKeyMask);
    EXPECT_EQ(Str(field.GetText()), "23:59:30:00");
    EXPECT_EQ(upper.Count("CNumVol_Fix"), 1);
    field.SetText(LString("00:00:30:00"));
    KeyDown(kUp, plat::kControlKeyMask | plat::kShiftKeyMask);
    EXPECT_EQ(Str(field.GetText()), "00:00:31:00");
    KeyDown(kUp, plat::kControlKeyMask);
    EXPECT_EQ(Str(field.GetText()), "00:01:31:00");
    upper.ids.clear();
    KeyDown(kUp, 0);  // a plain arrow goes up unchanged
    EXPECT_EQ(Str(field.GetText()), "00:01:31:00");
    EXPECT_EQ(upper.Count("CNumVol_Fix"), 0);
}

TEST_F(TimecodeEditKeys, AClickWhileFocusedPicksTheFieldThatSteps) {
    field.ChangeState(LPane::kKeyOn);
    field.ChangeState(LPane::kFocus);
    field.SetText(LString("00:00:30:00"));
    LTextBox box;
    box.SetStyle(field.TextStyle());
    const int32_t x0 = 4;  // frame, margin and inset of the text
    struct Case {
        const char* prefix;  // the click falls on the last character of it
        uint32_t field;
        float step;
    };
    const Case cases[] = {{"0", CTimecodeEdit::kHours, 3600},
                          {"00:0", CTimecodeEdit::kMinutes, 60},
                          {"00:00:3", CTimecodeEdit::kSeconds, 1},
                          {"00:00:30:0", CTimecodeEdit::kFrames, 1.0f / 30}};
    for (const Case& c : cases) {
        field.SetText(LString("00:00:30:00"));
        const float before = field.GetValue();
        mouse.SetLocation({x0 + int32_t(box.WidthOf(c.prefix)) - 1, 10});
        LHandler::Dispatch(LMessage(LMouse_Click, &mouse, &field));
        LHandler::Dispatch(LMessage(LMouse_Release, &mouse, &field));
        EXPECT_EQ(field.FocusedField(), c.field) << c.prefix;
        EXPECT_FLOAT_EQ(field.Step(), c.step) << c.prefix;
        float moved = field.GetValue() - before;
        if (moved > 43200) moved -= 86400;  // shown wrapped into the day
        if (moved < -43200) moved += 86400;
        EXPECT_NEAR(moved, float(field.Direction()) * c.step, 0.002) << c.prefix;
    }
    field.ChangeState(LPane::kUnfocus);
    EXPECT_EQ(field.FocusedField(), CTimecodeEdit::kNoField);
}

// Typed in a shown window on the headless backend.
class TimecodeEditTyping : public EditFieldFixture {
protected:
    TimecodeEditTyping() : upper(frame) {}
    CTimecodeEdit* Add(CLRect bounds, uint32_t code, bool isSigned) {
        auto* f = new CTimecodeEdit(frame, code, isSigned);
        f->SetUpper(&upper);
        f->ChangeState(LPane::kChainShow);
        f->ChangeState(LPane::kChainEnable);
        f->SetBounds(bounds);
        return f;
    }
    UpperRecorder upper;
};

TEST_F(TimecodeEditTyping, TypedTimesSeparatorsAndFieldSelection) {
    CTimecodeEdit* tc = Add({10, 10, 200, 30}, 25, false);
    CTimecodeEdit* sign = Add({10, 40, 200, 60}, 25, true);
    tc->TakeFocus(0, true);
    ASSERT_NE(tc->Editor(), nullptr);
    Type("01:02:03:04");
    EXPECT_EQ(Str(tc->GetText()), "01:02:03:04");
    upper.ids.clear();
    Key("\r");
    EXPECT_EQ(upper.Count("CNumVol_Fix"), 1);
    EXPECT_NEAR(tc->GetValue(), 3723.16, 0.001);
    // Control+Down through the window, all selected: a minute back.
    tc->Editor()->SelectAll();
    Key(kDown, plat::kControlKeyMask);
    EXPECT_EQ(Str(tc->GetText()), "01:01:03:04");

    // A ':' typed with the caret in the middle cuts what follows it.
    tc->Editor()->SetSelection(5, 0);
    Key(":");
    EXPECT_EQ(Str(tc->GetText()), "01:01:");

    // The focused field's two digits are selected; the sign column shifts them by one.
    // While the user types (a caret, no selection) a new count leaves the text alone.
    tc->SetCount(0, 1000);
    EXPECT_EQ(Str(tc->GetText()), "01:01:");
    tc->Editor()->SelectAll();
    tc->SetFocusedField(CTimecodeEdit::kMinutes);
    tc->SetCount(0, 1000);
    uint32_t start = 9, length = 9;
    tc->Editor()->GetSelection(start, length);
    EXPECT_EQ(start, 3u);
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(Str(tc->GetText()), "00:00:00:00");

    sign->TakeFocus(0, true);
    ASSERT_NE(sign->Editor(), nullptr);
    EXPECT_EQ(tc->FocusedField(), CTimecodeEdit::kNoField);  // cleared with the focus
    sign->SetFocusedField(CTimecodeEdit::kFrames);
    sign->SetCount(-1000, 1000);
    sign->Editor()->GetSelection(start, length);
    EXPECT_EQ(Str(sign->GetText()), "-00:00:01:00");
    EXPECT_EQ(start, 10u);
    EXPECT_EQ(length, 2u);
    delete sign;
    delete tc;
}

TEST_F(TimecodeEditTyping, ClosingTheWindowWithATypedTimeRunsClean) {
    CTimecodeEdit* tc = Add({10, 10, 200, 30}, 29, true);
    tc->TakeFocus(0, true);
    ASSERT_NE(tc->Editor(), nullptr);
    Type("-1:2");
    EXPECT_TRUE(tc->IsDirty());
    upper.ids.clear();
    delete frame;  // deletes its children, the field among them
    frame = nullptr;
    upper.SetUpper(&root);
    EXPECT_EQ(upper.Count("LNumEdit_Enter"), 1);
}

}  // namespace
