#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <string>

#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "tests/Orbilume/CSources/Engine/TestUnitHost.h"

namespace {

// Runs the body in the C locale, then with a decimal comma when de_DE is installed.
template <typename F>
void InBothLocales(F&& body) {
    body("C");
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8")) {
        body("de_DE");
        std::setlocale(LC_ALL, saved.c_str());
    }
}

TEST(CUnitParam, DecimalsFollowTheLargerBound) {
    const float inf = INFINITY, nan = NAN;
    struct Case {
        float min, max;
        uint8_t decimals;
    } cases[] = {
        {-1000, 1000, 0}, {0, 1, 3},    {0, 10, 2},     {0, 0, 3},     {0, 9.99f, 3}, {0, 99, 2},
        {-500, 5, 1},     {0, 1e9f, 0}, {0, 0.001f, 3}, {nan, nan, 3}, {0, inf, 0},   {-inf, 0, 0},
    };
    InBothLocales([&](const char* locale) {
        for (const Case& c : cases)
            EXPECT_EQ(CUnitParam::DecimalsForRange(c.min, c.max), c.decimals)
                << c.min << ".." << c.max << " " << locale;
    });
}

TEST(CUnitParam, ColourTextsReadAndWrite) {
    struct Case {
        const char* text;
        float r, g, b, a;
    } cases[] = {
        {"ff8000", 1, 128 / 255.0f, 0, 1},
        {"rgba(1,0.5)", 1, 0.5f, 0, 1},
        {"rgba(0.25,0.5,0.75,0.5)", 0.25f, 0.5f, 0.75f, 0.5f},
        {"rgba(1,0.5,0,0.5,9)", 1, 0.5f, 0, 0.5f},
        {"rgba(0.5;1)", 0.5f, 0, 0, 1},  // stops at the first character that is not ","
        {"rgba 1,1", 0, 0, 0, 1},
        {"rgba(nan,inf,0.5)", 0, 0, 0.5f, 1},               // non-finite numbers read as 0
        {"rgba(1e99,-1e99,0,1)", FLT_MAX, -FLT_MAX, 0, 1},  // and float overflow is kept finite
        {"", 0, 0, 0, 1},
        {"zz", 0, 0, 0, 1},
    };
    InBothLocales([&](const char* locale) {
        for (const Case& c : cases) {
            float rgba[4];
            CUnitParam::ParseRgba(c.text, rgba);
            EXPECT_NEAR(rgba[0], c.r, std::fabs(c.r) * 1e-6 + 1e-6) << c.text << " " << locale;
            EXPECT_NEAR(rgba[1], c.g, std::fabs(c.g) * 1e-6 + 1e-6) << c.text << " " << locale;
            EXPECT_NEAR(rgba[2], c.b, 1e-6) << c.text << " " << locale;
            EXPECT_NEAR(rgba[3], c.a, 1e-6) << c.text << " " << locale;
        }
        const float half[4] = {0.5f, 0, 0, 1};
        EXPECT_EQ(CUnitParam::FormatRgba(half), "rgba(0.5,0,0,1)") << locale;
        const float odd[4] = {0.12345f, 1, 0.0004f, 0.25f};
        EXPECT_EQ(CUnitParam::FormatRgba(odd), "rgba(0.123,1,0,0.25)") << locale;
    });
}

TEST(CUnitParam, NumberTextsReadInTheCLocaleAndOnlyWhenFinite) {
    struct Case {
        const char* text;
        double value;
    } cases[] = {
        {"0.5", 0.5}, {"0,5", 0}, {"-2.25e1", -22.5}, {"nan", 0}, {"inf", 0}, {"-INF", 0},
        {"1e999", 0}, {"", 0},    {"abc", 0},
    };
    InBothLocales([&](const char* locale) {
        for (const Case& c : cases)
            EXPECT_EQ(CUnitParam::ReadNumber(c.text), c.value) << c.text << " " << locale;
        EXPECT_EQ(CUnitParam::ReadInt("1"), 1);
        EXPECT_EQ(CUnitParam::ReadInt("0"), 0);
        EXPECT_EQ(CUnitParam::ReadInt(""), 0);
    });
}

TEST(CUnitParam, SettingAValueMarksItOnlyWhenItChanges) {
    enginetest::TestUnitHost host;
    struct Case {
        uint32_t kind;
        bool hidden;
        bool dirty;
        bool stored;
    } cases[] = {
        {CUnitParam::kBoolean, false, true, true},     {CUnitParam::kNumber, false, true, true},
        {CUnitParam::kString, false, true, true},      {CUnitParam::kColor, false, true, true},
        {CUnitParam::kStructure, false, false, false}, {CUnitParam::kImage, false, false, false},
        {CUnitParam::kNumber, true, false, true},
    };
    for (const Case& c : cases) {
        auto p = CUnitParam::Engine("k", c.kind, 0, 0, 1, "", 0);
        p->fHidden = c.hidden;
        host.signals = 0;
        p->SetValue(&host, "1", nullptr, false);
        EXPECT_EQ(p->fDirty != 0, c.dirty) << c.kind;
        EXPECT_EQ(p->Value(&host) == "1", c.stored) << c.kind;
        EXPECT_EQ(p->fWriteBack != 0, c.stored) << c.kind;
        EXPECT_EQ(host.signals, c.stored ? 1u : 0u) << c.kind;
        // The same text again changes nothing.
        p->fDirty = p->fWriteBack = 0;
        p->SetValue(&host, c.stored ? "1" : "", nullptr, false);
        EXPECT_EQ(p->fDirty, 0) << c.kind;
        EXPECT_EQ(p->fWriteBack, 0) << c.kind;
        EXPECT_EQ(host.signals, c.stored ? 1u : 0u) << c.kind;
    }
    // A monitored parameter is not written back.
    auto monitored = CUnitParam::Engine("m", CUnitParam::kNumber, 0, 0, 1, "", 0);
    monitored->fHidden = 0;
    monitored->monitorKey = "out";
    monitored->SetValue(&host, "0.5", nullptr, false);
    EXPECT_EQ(monitored->fWriteBack, 0);
    EXPECT_EQ(monitored->fDirty, 1);
}

}  // namespace
