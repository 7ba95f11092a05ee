#include <clocale>
#include <cmath>
#include <limits>
#include <string>

#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"
#include "Orbilume/CSources/Editors/CTimeVol.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"

namespace {

void CheckFormats() {
    struct Case {
        double seconds;
        uint32_t decimals;
        const char* text;
    } cases[] = {
        {0, 0, "  0:00"},
        {-90.5, 1, "  -1:30.5"},
        {59.999, 2, "  1:00.00"},
        {60000, 2, "999:59.99"},  // the cap
        {-60000, 0, "-999:59"},
        {90, 0, "  1:30"},
        {0.5, 0, "  0:01"},  // half away from zero
        {-0.5, 0, "  -0:01"},
        {1.5, 9, "  0:01.500000"},  // decimals clamped to 6
        {std::nan(""), 1, "  0:00.0"},
        {std::numeric_limits<double>::infinity(), 0, "  0:00"},
        {1e30, 3, "999:59.999"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(CTimeVol::Format(c.seconds, c.decimals).CStr(), c.text)
            << c.seconds << " " << c.decimals;
}

void CheckParses() {
    struct Case {
        const char* text;
        double seconds;
    } cases[] = {
        {"", 0},
        {"5", 5},
        {"1:30", 90},
        {"-1:30", -90},
        {"2:00:00", 7200},
        {"  1:30.5", 90.5},
        {"1:", 60},
        {"-0:30", 30},  // -0 is not negative
        {"x:10", 10},
        {"99999999999999999999999999", 1e12},
        {"-99999999999999999999:1:1", -1e12},
        {"1:1:1:1:1:1:1:1:1:1:1", 1e12},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(CTimeVol::Parse(c.text, uint32_t(std::string(c.text).size())), c.seconds) << c.text;
}

TEST(CTimeVol, Formats) {
    CheckFormats();
}

TEST(CTimeVol, Parses) {
    CheckParses();
}

// The same tables where the user's locale writes decimal commas.
TEST(CTimeVol, TablesUnderAGermanLocale) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "no de_DE.UTF-8 locale";
    CheckFormats();
    CheckParses();
    std::setlocale(LC_ALL, before.c_str());
}

// A field 16 wide with margins of 2 holding 6 characters: c = x - 2.
TEST(CTimeVol, ClickFields) {
    struct Case {
        int64_t x;
        bool negativeMinimum;
        uint32_t decimals;
        double step;
        int32_t direction;
    } cases[] = {
        {2, false, 0, 60, -1},   {6, false, 0, 60, 1},   {8, false, 0, 60, 1}, {9, false, 0, 1, -1},
        {11, false, 0, 1, -1},   {12, false, 0, 1, 1},   {14, false, 0, 1, 1}, {15, false, 1, 0.1, -1},
        {16, false, 1, 0.1, -1}, {17, false, 1, 0.1, 1}, {8, true, 0, 60, 1},  {4, true, 0, 60, -1},
        {11, true, 0, 1, -1},
    };
    for (const Case& c : cases) {
        CTimeVol::Click click{};
        ASSERT_TRUE(CTimeVol::ClickField(6, c.x, 16, 2, c.negativeMinimum, c.decimals, click)) << c.x;
        EXPECT_DOUBLE_EQ(click.step, c.step) << c.x;
        EXPECT_EQ(click.direction, c.direction) << c.x;
    }
    // A field no wider than its margins: no step (and no division by zero).
    CTimeVol::Click click{};
    EXPECT_FALSE(CTimeVol::ClickField(6, 3, 4, 2, false, 0, click));
    EXPECT_FALSE(CTimeVol::ClickField(6, 3, 0, 2, false, 0, click));
}

class CTimeVolKnob : public dialogtest::HeadlessDialogTest {};

// The value reads back as decimal seconds in the C locale, whatever the user's.
TEST_F(CTimeVolKnob, ValueAsSecondsText) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    const bool german = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    {
        LModalDialog d(&root, nullptr);
        auto* knob = new CTimeVol(&d, 1);
        knob->SetRange(-600, 6000, 0.1f);
        knob->SetValue(-90.5f);
        EXPECT_STREQ(knob->GetText().CStr(), "  -1:30.5");
        EXPECT_STREQ(knob->SecondsText().CStr(), "-90.5");
        knob->SetValue(90);
        EXPECT_STREQ(knob->SecondsText().CStr(), "90");
        (void)knob->SetText(LString("2:05.25"));
        LHandler::Dispatch(LMessage(LEditText_Change, knob, knob));  // as typing reports it
        EXPECT_STREQ(knob->GetText().CStr(), "2:05.25");
        EXPECT_FLOAT_EQ(knob->GetValue(), 125.25f);
        knob->SetSeconds(std::nanf(""));
        EXPECT_STREQ(knob->GetText().CStr(), "  0:00.0");
        knob->SetSeconds(99999);  // clamped to the range
        EXPECT_STREQ(knob->GetText().CStr(), "100:00.0");
        for (char ch : std::string("aZ:.- 9")) EXPECT_TRUE(knob->AcceptChar(uint8_t(ch)));
    }
    std::setlocale(LC_ALL, before.c_str());
    if (!german) GTEST_SKIP() << "no de_DE.UTF-8 locale; ran in C";
}

}  // namespace
