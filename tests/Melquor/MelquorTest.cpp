#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "Melquor/MelquorOutput.h"
#include "Melquor/MelquorText.h"
#include "tests/support/PinnedFonts.h"

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

std::shared_ptr<MelquorText> Layout(const char* text, bool vertical = false,
                                    const char* font = "Lucida Grande", double size = 20,
                                    uint32_t width = 0) {
    MelquorText::Settings s;
    s.text = text;
    s.font = font;
    s.size = size;
    s.width = width;
    s.vertical = vertical;
    return MelquorText::Create(s);
}

struct Pixels {
    int width = 0, height = 0;
    std::vector<unsigned char> bgra;
    // Counts pixels whose colour (unpremultiplied) is near r, g, b with some coverage.
    int Count(int r, int g, int b) const {
        int n = 0;
        for (size_t i = 0; i + 3 < bgra.size(); i += 4) {
            int a = bgra[i + 3];
            if (a < 128) continue;
            auto near = [&](int premul, int want) { return std::abs(premul * 255 / a - want) < 40; };
            if (near(bgra[i + 2], r) && near(bgra[i + 1], g) && near(bgra[i], b)) ++n;
        }
        return n;
    }
};

Pixels Render(MelquorOutput& out) {
    plat::PlugInRect b = out.Bounds();
    Pixels p;
    p.width = int(b.width), p.height = int(b.height);
    p.bgra.assign(size_t(p.width) * size_t(p.height) * 4, 0);
    EXPECT_TRUE(out.RenderToBuffer(p.bgra.data(), size_t(p.width) * 4, plat::PlugInBufferFormat::BGRA8, b));
    return p;
}

TEST(MelquorTest, LineOffsetsFollowTheSpacingFactor) {
    ASSERT_TRUE(kFontsPinned);
    auto text = Layout("one\ntwo\nthree");
    ASSERT_TRUE(text);
    const auto& lines = text->Lines();
    ASSERT_EQ(lines.size(), 3u);
    const double a = lines[0].ascent, d = lines[0].descent;
    EXPECT_GT(a, 10);
    EXPECT_GT(d, 1);
    // L = 1: natural spacing, each line one line height below the previous.
    auto natural = MelquorLineOffsets(lines, 1);
    ASSERT_EQ(natural.size(), 3u);
    EXPECT_DOUBLE_EQ(natural[0], 0);
    EXPECT_NEAR(natural[1], a + d, 1e-9);
    EXPECT_NEAR(natural[2], 2 * (a + d), 1e-9);
    // L = 0: every later line shares the first baseline, so its top lies at that baseline minus its ascent.
    auto stacked = MelquorLineOffsets(lines, 0);
    EXPECT_DOUBLE_EQ(stacked[0], 0);
    EXPECT_NEAR(stacked[1], a - lines[1].ascent, 1e-9);
    EXPECT_NEAR(stacked[2], a - lines[2].ascent, 1e-9);
}

TEST(MelquorTest, EmptyStringIsOnePixelAndDrawsNothing) {
    auto text = Layout("");
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->Lines().empty());
    MelquorOutput out(text, 0, 1, {1, 1, 1, 1});
    plat::PlugInRect b = out.Bounds();
    EXPECT_EQ(b.x, 0);
    EXPECT_EQ(b.y, 0);
    EXPECT_EQ(b.width, 1);
    EXPECT_EQ(b.height, 1);
    Pixels p = Render(out);
    EXPECT_EQ(p.bgra, std::vector<unsigned char>(4, 0));
}

TEST(MelquorTest, VerticalSwapsWidthAndHeightAndKeepsTheColour) {
    MelquorOutput across(Layout("Wide text"), 0, 1, {1, 0, 0, 1});
    MelquorOutput down(Layout("Wide text", true), 0, 1, {1, 0, 0, 1});
    plat::PlugInRect a = across.Bounds(), v = down.Bounds();
    EXPECT_GT(a.width, a.height);
    EXPECT_GT(v.height, v.width);
    EXPECT_GT(Render(across).Count(255, 0, 0), 20);
    EXPECT_GT(Render(down).Count(255, 0, 0), 20);
}

TEST(MelquorTest, UnknownFontStillColouredAndVertical) {
    auto text = Layout("Fallback", true, "No Such Font Family 12345");
    ASSERT_TRUE(text);
    MelquorOutput out(text, 0, 1, {0, 0, 1, 1});
    plat::PlugInRect b = out.Bounds();
    EXPECT_GT(b.height, b.width);
    EXPECT_GT(Render(out).Count(0, 0, 255), 20);
}

TEST(MelquorTest, BufferFormatsAgree) {
    MelquorOutput out(Layout("Agree 123\nsecond line"), 0.5, 1.2, {0.2f, 0.8f, 0.4f, 0.9f});
    plat::PlugInRect b = out.Bounds();
    const size_t w = size_t(b.width), h = size_t(b.height);
    std::vector<unsigned char> argb(w * h * 4), bgra(w * h * 4);
    std::vector<float> rgbaf(w * h * 4);
    ASSERT_TRUE(out.RenderToBuffer(argb.data(), w * 4, plat::PlugInBufferFormat::ARGB8, b));
    ASSERT_TRUE(out.RenderToBuffer(bgra.data(), w * 4, plat::PlugInBufferFormat::BGRA8, b));
    ASSERT_TRUE(out.RenderToBuffer(rgbaf.data(), w * 16, plat::PlugInBufferFormat::RGBAf, b));
    int covered = 0;
    for (size_t i = 0; i < w * h; ++i) {
        const unsigned char* p = &bgra[4 * i];
        const unsigned char* q = &argb[4 * i];
        EXPECT_EQ(q[0], p[3]);
        EXPECT_EQ(q[1], p[2]);
        EXPECT_EQ(q[2], p[1]);
        EXPECT_EQ(q[3], p[0]);
        const float* f = &rgbaf[4 * i];
        EXPECT_NEAR(f[0], p[2] / 255.0, 1 / 255.0);
        EXPECT_NEAR(f[1], p[1] / 255.0, 1 / 255.0);
        EXPECT_NEAR(f[2], p[0] / 255.0, 1 / 255.0);
        EXPECT_NEAR(f[3], p[3] / 255.0, 1 / 255.0);
        EXPECT_LE(f[0], f[3] + 1e-6);  // premultiplied
        if (p[3] > 0) ++covered;
    }
    EXPECT_GT(covered, 50);
}

TEST(MelquorTest, BandRendersItsPartOfTheImage) {
    MelquorOutput out(Layout("Band test"), 0, 1, {1, 1, 1, 1});
    plat::PlugInRect b = out.Bounds();
    Pixels whole = Render(out);
    // The lower half band (y up: from b.y to b.y + half) holds the image's lower rows.
    const int half = whole.height / 2;
    plat::PlugInRect lower{b.x, b.y, b.width, double(half)};
    std::vector<unsigned char> part(size_t(whole.width) * size_t(half) * 4);
    ASSERT_TRUE(
        out.RenderToBuffer(part.data(), size_t(whole.width) * 4, plat::PlugInBufferFormat::BGRA8, lower));
    const size_t skip = size_t(whole.height - half) * size_t(whole.width) * 4;
    EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.bgra.begin() + long(skip)));
}

TEST(MelquorTest, BadInputsStayBounded) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double size : {nan, -5.0, 0.0, inf, 1e12}) {
        auto text = Layout("x", false, "sans", size);
        ASSERT_TRUE(text) << size;
        MelquorOutput out(text, 0, 1, {1, 1, 1, 1});
        plat::PlugInRect b = out.Bounds();
        EXPECT_LE(b.width, MelquorOutput::kMaxSide) << size;
        EXPECT_LE(b.height, MelquorOutput::kMaxSide) << size;
    }
    std::string invalid = "ok \xff\xfe bytes";
    auto text = Layout(invalid.c_str(), false, "sans", 12, 0xffffffffu);
    ASSERT_TRUE(text);
    MelquorOutput out(text, 0, 1, {1, 1, 1, 1});
    std::vector<unsigned char> buffer(16);
    EXPECT_FALSE(out.RenderToBuffer(buffer.data(), 16, plat::PlugInBufferFormat::BGRA8, {0, 0, nan, 1}));
    EXPECT_FALSE(out.RenderToBuffer(buffer.data(), 2, plat::PlugInBufferFormat::BGRA8, {0, 0, 1, 1}));
    EXPECT_FALSE(out.RenderToBuffer(buffer.data(), 16, plat::PlugInBufferFormat(9), {0, 0, 1, 1}));
}

}  // namespace
