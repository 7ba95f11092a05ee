#include <string>

#include "Lib3/LSources/CoreUI/LModalDialog.h"
#include "Orbilume/CSources/Editors/CNoteVol.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"

namespace {

TEST(CNoteVol, ParsesNoteNames) {
    struct Case {
        const char* text;
        int32_t note;
    } cases[] = {
        {"c#4", 61},
        {"B3", 59},
        {"", 60},
        {"E#4", 65},
        {"B#4", 72},
        {"C-2", 0},
        {"G9", 127},
        {"C 4", 60},
        {"C -1", 0},
        {"G 9", 127},
        {"a4", 69},
        {"#", 61},
        {"5", 72},
        {"F#-1", 6},
        {"G10", 127},  // clamped
        // Long digit runs and repeated minus signs saturate or end the number, never overflow.
        {"C99999999999999999999", 127},
        {"C-99999999999999999999", 0},
        {"C--2", 12},
        {"C-2-3", 0},
        {"C2-", 36},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CNoteVol::ParseNote(c.text, uint32_t(std::string(c.text).size())), c.note) << c.text;
        EXPECT_EQ(CNoteVol::ParseNote(nullptr, 0), 60);
    }
}

TEST(CNoteVol, FormatsNoteNames) {
    struct Case {
        int32_t note;
        const char* text;
    } cases[] = {{60, "C 4"}, {0, "C -1"},  {127, "G 9"}, {61, "C#4"},
                 {59, "B 3"}, {-5, "C -1"}, {300, "G 9"}};
    for (const Case& c : cases) EXPECT_STREQ(CNoteVol::FormatNote(c.note).CStr(), c.text) << c.note;
}

class CNoteVolKnob : public dialogtest::HeadlessDialogTest {};

TEST_F(CNoteVolKnob, KnobReadsAndShowsNames) {
    LModalDialog d(&root, nullptr);
    auto* knob = new CNoteVol(&d);
    EXPECT_FLOAT_EQ(knob->GetValue(), 60);
    EXPECT_STREQ(knob->GetText().CStr(), "C 4");
    EXPECT_FLOAT_EQ(knob->Minimum(), 0);
    EXPECT_FLOAT_EQ(knob->Maximum(), 127);
    EXPECT_TRUE(knob->StepBy(1));
    EXPECT_STREQ(knob->GetText().CStr(), "C#4");
    knob->SetValue(200);
    EXPECT_STREQ(knob->GetText().CStr(), "G 9");
    EXPECT_FALSE(knob->StepBy(1));
    (void)knob->SetText(LString("d#2"));
    EXPECT_FLOAT_EQ(knob->GetValue(), 39);
    for (char ch : std::string("ABCDEFGabcdefg#- 0123456789"))
        EXPECT_TRUE(knob->AcceptChar(uint8_t(ch))) << ch;
    for (char ch : std::string("HhZz.,:+")) EXPECT_FALSE(knob->AcceptChar(uint8_t(ch))) << ch;
}

}  // namespace
