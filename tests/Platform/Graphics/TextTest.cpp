#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Text.h"
#include "tests/support/PinnedFonts.h"

using namespace plat;

namespace {
const bool kFontsPinned = testsupport::PinFontsToDejaVu();

struct TextFixture : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(kFontsPinned);
        font = Font::CreateUser(12);
        ctx = DrawContext::CreateImage(120, 60);
        ctx->SetFillColor({1, 1, 1, 1});
        ctx->FillRect({0, 0, 120, 60});
    }
    double Width(const char* s) { return TextWidth(*font, s, std::strlen(s)); }
    double Height(const char* s, double w) { return TextHeightForWidth(*font, s, std::strlen(s), w); }
    // Leftmost and rightmost columns with dark ink between rows y0 and y1.
    std::pair<int, int> InkColumns(int y0, int y1) {
        int lo = 1000, hi = -1;
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < ctx->Width(); ++x)
                if ((ctx->PixelAt(x, y) & 0xFF) < 128) lo = std::min(lo, x), hi = std::max(hi, x);
        return {lo, hi};
    }
    int InkRows() {
        int rows = 0;
        for (int y = 0; y < ctx->Height(); ++y)
            for (int x = 0; x < ctx->Width(); ++x)
                if ((ctx->PixelAt(x, y) & 0xFF) < 128) {
                    ++rows;
                    break;
                }
        return rows;
    }
    Ref<Font> font;
    Ref<DrawContext> ctx;
};
}  // namespace

TEST_F(TextFixture, WidthsOfThePinnedFont) {
    EXPECT_NEAR(Width("M"), 10.36, 0.05);  // DejaVu Sans "M" advance: 0.863 em
    EXPECT_EQ(Width(""), 0);
    EXPECT_NEAR(Width("MM"), 2 * Width("M"), 0.01);
    EXPECT_NEAR(Width("MM\nM"), Width("MM"), 0.01);  // the widest line
    EXPECT_GT(Width("\xff\xfe"), 0);                 // invalid bytes draw as replacement characters
}

TEST_F(TextFixture, LineBreaksAndWrapping) {
    double line = Height("x", 0);
    EXPECT_NEAR(line, font->LineHeight(), 0.5);
    EXPECT_NEAR(Height("a\r\nb\rc", 0), 3 * line, 0.01);  // CR LF and a lone CR break once each
    EXPECT_NEAR(Height("a\n\nb", 0), 3 * line, 0.01);
    const char* words = "one two three four five six";
    EXPECT_NEAR(Height(words, 10000), line, 0.01);
    EXPECT_NEAR(Height(words, 1e12), line, 0.01);  // beyond what Pango holds: unwrapped
    EXPECT_NEAR(Height(words, std::nan("")), line, 0.01);
    double narrow = Height(words, 40);
    EXPECT_GE(narrow, 3 * line - 0.01);
    EXPECT_NEAR(narrow / line, std::round(narrow / line), 0.01);
}

TEST_F(TextFixture, AlignmentPlacesInkInTheBox) {
    struct Case {
        TextAlign align;
        int minLeft, maxLeft;
    } cases[] = {
        {TextAlign::kLeft, 10, 12},
        {TextAlign::kCenter, 49, 52},
        {TextAlign::kRight, 88, 92},
    };
    double w = Width("MM");
    for (const Case& c : cases) {
        ctx->SetFillColor({1, 1, 1, 1});
        ctx->FillRect({0, 0, 120, 60});
        TextDrawSpec spec;
        spec.box = {10, 10, 100, 30};
        spec.align = c.align;
        spec.colour = {0, 0, 0, 1};
        DrawText(*ctx, *font, "MM", 2, spec);
        auto [lo, hi] = InkColumns(0, 60);
        EXPECT_GE(lo, c.minLeft) << int(c.align);
        EXPECT_LE(lo, c.maxLeft) << int(c.align);
        EXPECT_NEAR(hi - lo, w, 5);
    }
}

TEST_F(TextFixture, SingleLineSitsOnItsBaselineAndClipsAtTheSides) {
    TextDrawSpec spec;
    spec.box = {0, 0, 30, 60};
    spec.singleLine = true;
    spec.baseline = 30;
    spec.colour = {0, 0, 0, 1};
    DrawText(*ctx, *font, "MMMMMM", 6, spec);
    auto [lo, hi] = InkColumns(0, 60);
    EXPECT_LE(hi, 29);  // clipped at the box's right side
    // "M" stands on the baseline: ink in the rows just above it, none below.
    EXPECT_LT(InkColumns(25, 30).second, 30);
    EXPECT_GE(InkColumns(25, 30).second, 0);
    EXPECT_EQ(InkColumns(31, 60).second, -1);
    (void)lo;
}

TEST_F(TextFixture, WrappedDrawingUsesSeveralLinesAndSlantMovesInk) {
    TextDrawSpec spec;
    spec.box = {0, 0, 45, 60};
    spec.wrap = true;
    spec.colour = {0, 0, 0, 1};
    DrawText(*ctx, *font, "MM MM MM", 8, spec);
    EXPECT_GT(InkRows(), 20);  // at least two lines of capitals

    plat::Ref<Font> light = Font::CreateWithName("DejaVu Sans Light", 24);
    plat::Ref<Font> slanted = light->CopyWithTrait(Font::kItalicTrait);
    ASSERT_TRUE(slanted->SyntheticSlant());
    int right[2];
    Font* fonts[2] = {light.get(), slanted.get()};
    for (int i = 0; i < 2; ++i) {
        ctx->SetFillColor({1, 1, 1, 1});
        ctx->FillRect({0, 0, 120, 60});
        TextDrawSpec s;
        s.box = {10, 0, 100, 60};
        s.singleLine = true;
        s.baseline = 40;
        s.colour = {0, 0, 0, 1};
        DrawText(*ctx, *fonts[i], "l", 1, s);
        right[i] = InkColumns(24, 28).second;  // well above the baseline
        if (getenv("ORBILUME_TEXT_PNG")) {
            EXPECT_TRUE(ctx->WritePNG(
                (std::string(getenv("ORBILUME_TEXT_PNG")) + std::to_string(i) + ".png").c_str()));
        }
    }
    EXPECT_GT(right[1], right[0] + 2);
    light = nullptr;
    slanted = nullptr;
}
