#include <gtest/gtest.h>

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LFrameSpec.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/Font.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"
#include "tests/support/PinnedFonts.h"

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

struct TextPaneFixture : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(kFontsPinned); }
    MessageLog log;
    FakeOwner owner{&log, {0, 0, 300, 200}};
};

}  // namespace

TEST(LTextStyleH, EqualStylesShareOneRecord) {
    LTextStyleH a(LTextStyleData::kUser), b(LTextStyleData::kUser);
    EXPECT_TRUE(a.IsSame(b));
    EXPECT_TRUE(Equal(a, b));
    LTextStyleH c(LTextStyleData::kSystem);
    EXPECT_FALSE(c.IsSame(a));
    EXPECT_FALSE(Equal(a, LTextStyleH()));
    EXPECT_TRUE(Equal(LTextStyleH(), LTextStyleH()));

    LTextStyleH sized = a;
    sized.SetSize(-1);  // the current size: same record
    EXPECT_TRUE(sized.IsSame(a));
    sized.SetSize(20);
    EXPECT_FALSE(sized.IsSame(a));
    EXPECT_TRUE(sized.IsSame(LTextStyleH(LTextStyleData::kUser, 0, 20, 0, 0)));
    EXPECT_EQ(sized.GetKindWords(), (std::pair<int32_t, int32_t>(0, 20)));
    sized.SetFourthWord(150);
    EXPECT_EQ(sized.Get()->Word(LTextStyleData::kPercent), 150);

    LTextStyleH serif(LTextStyleData::kNamed, 0, 12, 0, 0, "DejaVu Serif");
    LTextStyleH mono(LTextStyleData::kNamed, 0, 12, 0, 0, "DejaVu Sans Mono");
    EXPECT_FALSE(serif.IsSame(mono));
    EXPECT_TRUE(serif.IsSame(LTextStyleH(LTextStyleData::kNamed, 0, 12, 0, 0, "DejaVu Serif")));

    // A record goes with its last handle.
    uint32_t before = LTextStyleH::RecordCount();
    { LTextStyleH temp(LTextStyleData::kUser, 0, 77, 0, 0); }
    EXPECT_EQ(LTextStyleH::RecordCount(), before);
}

TEST(LTextStyleH, FontResolution) {
    ASSERT_TRUE(kFontsPinned);
    struct Case {
        LTextStyleH style;
        const char* family;
        double size;
        uint32_t traits;
    } cases[] = {
        // Size and percent of 0 or less keep the kind's default.
        {LTextStyleH(LTextStyleData::kUser), "DejaVu Sans", 12, 0},
        {LTextStyleH(LTextStyleData::kUser, 0, 0, 0, 0), "DejaVu Sans", 12, 0},
        {LTextStyleH(LTextStyleData::kUser, 0, -1, 0, -5), "DejaVu Sans", 12, 0},
        {LTextStyleH(LTextStyleData::kSystem), "DejaVu Sans", 13, 0},
        {LTextStyleH(LTextStyleData::kSmallSystem), "DejaVu Sans", 11, 0},
        {LTextStyleH(LTextStyleData::kFixedPitch), "DejaVu Sans Mono", 10, plat::Font::kFixedPitchTrait},
        {LTextStyleH(LTextStyleData::kUser, 2, 14, 0, 50), "DejaVu Sans", 7, plat::Font::kBoldTrait},
        {LTextStyleH(LTextStyleData::kUser, 0, 10, 2, 200), "DejaVu Sans", 20, plat::Font::kItalicTrait},
        {LTextStyleH(LTextStyleData::kNamed, 0, 9, 0, 0, "DejaVu Serif"), "DejaVu Serif", 9, 0},
        {LTextStyleH(LTextStyleData::kNamed, 0, 9, 0, 0, "Missing Face"), "DejaVu Sans", 9, 0},
    };
    for (const Case& c : cases) {
        plat::Font* f = c.style.Font();
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->FamilyName(), c.family);
        EXPECT_EQ(f->Size(), c.size) << c.family;
        EXPECT_EQ(
            f->Traits() & (plat::Font::kBoldTrait | plat::Font::kItalicTrait | plat::Font::kFixedPitchTrait),
            c.traits)
            << c.family << " " << c.size;
    }

    EXPECT_TRUE(LTextStyleH().FamilyName().IsEmpty());
    EXPECT_EQ(LTextStyleH().PointSize(), 12);
    EXPECT_TRUE(LTextStyleH(LTextStyleData::kFixedPitch).FamilyName() == "DejaVu Sans Mono");

    // A font override wins; InvalidateFonts makes fonts again.
    LTextStyleH user(LTextStyleData::kUser);
    plat::Font* before = user.Font();
    EXPECT_EQ(user.Font(), before);  // cached
    LTextStyleH::SetFontOverride([](uint32_t kind, LString& name, double& size) {
        if (kind != LTextStyleData::kUser) return false;
        name = "DejaVu Serif";
        size = 15;
        return true;
    });
    LTextStyleH::InvalidateFonts();
    EXPECT_EQ(user.Font()->FamilyName(), "DejaVu Serif");
    EXPECT_EQ(user.Font()->Size(), 15);
    LTextStyleH::SetFontOverride(nullptr);
    LTextStyleH::InvalidateFonts();
    EXPECT_EQ(user.Font()->FamilyName(), "DejaVu Sans");
}

TEST_F(TextPaneFixture, PreferredSizeHints) {
    struct Case {
        uint32_t mode;
        const char* text;
        bool width;
        int32_t hint;
        int32_t expect;
    } cases[] = {
        // DejaVu Sans 12: "M" 10.4 wide, ascent 11.1, line height 14.
        {0, "Hello", true, -13, 11},
        {0, "Hello", true, -11, 0},
        {0, "Hello", true, 0, 31},
        {2, "Hello\nworld", true, 5, 34},  // the wider line
        {0, "Hello", false, -12, 12},
        {0, "Hello", false, -10, 12},
        {0, "Hello", false, -11, 0},
        {0, "Hello", false, -1, 14},
        {0, "a\nb", false, 0, 14},
        {3, "a\nb", false, 0, 14},
        {1, "a\nb", false, 0, 28},
        {1, "a\r\nb\rc", false, 0, 42},  // CR LF and a lone CR: three lines
        {2, "a\r\nb\rc", false, 7, 42},
        {1, "a\nb", false, 100, 28},
        {0, "a\nb", false, 100, 14},
        {2, "one two three four", false, 0, 14},
        {2, "one two three four", false, 40, 56},
        {2, "one two three four", false, 1000, 14},
        {2, "one two three four", false, INT32_MAX, 14},
        {2, "one two three four", false, -7, 14},
    };
    for (const Case& c : cases) {
        LTextPane pane(&owner, c.mode);
        pane.SetTextStyle(LTextStyleH(LTextStyleData::kUser));
        pane.SetText(c.text);
        LPanePort port(&pane);
        LDrawContext ctx(port);
        int32_t got = c.width ? pane.PreferredWidth(ctx, c.hint) : pane.PreferredHeight(ctx, c.hint);
        EXPECT_EQ(got, c.expect) << (c.width ? "width" : "height") << " mode " << c.mode << " hint " << c.hint
                                 << " \"" << c.text << "\"";
    }
}

TEST_F(TextPaneFixture, RedrawsOnlyOnRealChanges) {
    LTextPane pane(&owner, 0);
    EXPECT_NE(pane.State() & LPane::kLocked, 0u);
    pane.SetBounds({10, 10, 110, 30});
    pane.ChangeState(LPane::kChainShow);
    owner.invalids.clear();

    EXPECT_TRUE(pane.SetText("Hello"));
    EXPECT_FALSE(pane.SetText("Hello"));
    EXPECT_EQ(owner.invalids.size(), 1u);
    EXPECT_TRUE(owner.invalids[0] == Rgn({10, 10, 110, 30}));

    EXPECT_TRUE(pane.SetTextStyle(LTextStyleH(LTextStyleData::kSystem)));
    EXPECT_FALSE(pane.SetTextStyle(LTextStyleH(LTextStyleData::kSystem)));
    pane.SetAlignment(1);
    pane.SetAlignment(1);
    pane.SetWrapMode(2);
    pane.SetWrapMode(2);
    pane.SetTextColor(LColorSpec::MakeIndexed(4));
    pane.SetTextColor(LColorSpec::MakeIndexed(4));
    EXPECT_EQ(owner.invalids.size(), 5u);

    pane.ChangeState(LPane::kHide);
    owner.invalids.clear();
    pane.SetText("Hidden");
    EXPECT_TRUE(owner.invalids.empty());
}

TEST_F(TextPaneFixture, RelayoutPicksUpNewFonts) {
    LTextPane pane(&owner, 0);
    pane.SetText("MMMM");
    LPanePort port(&pane);
    LDrawContext ctx(port);
    int32_t before = pane.PreferredWidth(ctx, 0);
    LTextStyleH::SetFontOverride([](uint32_t, LString& name, double& size) {
        name = "DejaVu Sans";
        size = 24;
        return true;
    });
    LTextStyleH::InvalidateFonts();
    pane.ChangeState(LPane::kRelayout);
    EXPECT_GT(pane.PreferredWidth(ctx, 0), before * 3 / 2);
    LTextStyleH::SetFontOverride(nullptr);
    LTextStyleH::InvalidateFonts();
}

TEST(LColorSpec, Equality) {
    EXPECT_TRUE(LColorSpec() == LColorSpec());
    EXPECT_FALSE(LColorSpec() == LColorSpec::MakeIndexed(0));
    EXPECT_TRUE(LColorSpec::MakeIndexed(4) == LColorSpec::MakeIndexed(4));
    EXPECT_FALSE(LColorSpec::MakeIndexed(4) == LColorSpec::MakeIndexed(5));
    EXPECT_FALSE(LColorSpec::MakeIndexed(255) == LColorSpec::MakeRGB(LRGB(0, 0, 0)) &&
                 !(LColorSpec::MakeRGB(LRGB(0, 0, 0)) == LColorSpec::MakeRGB(LRGB(0, 0, 0))));
    EXPECT_FALSE(LColorSpec::MakeIndexed(4) == LColorSpec::MakeRGB(LRGB(0, 0, 0)));
    EXPECT_TRUE(LColorSpec::MakeRGB(LRGB(1, 2, 3)) == LColorSpec::MakeRGB(LRGB(1, 2, 3)));
    EXPECT_FALSE(LColorSpec::MakeRGB(LRGB(1, 2, 3)) == LColorSpec::MakeRGB(LRGB(1, 2, 4)));
    EXPECT_TRUE(LColorSpec::MakeRGB(LRGB(9, 9, 9)).Resolve().IsSame(LColor(LRGB(9, 9, 9), 0)));

    EXPECT_EQ(LFrameSpec::Default().kind, 1u);
    EXPECT_EQ(LFrameSpec::Default().windowKind.Data(), nullptr);
    EXPECT_EQ(LFrameSpec::Default().menus, nullptr);
}

TEST_F(TextPaneFixture, DrawsInItsBoundsWithItsColour) {
    plat::Ref<plat::DrawContext> native = plat::DrawContext::CreateImage(300, 120);
    native->SetFillColor({1, 1, 1, 1});
    native->FillRect({0, 0, 300, 120});
    struct Item {
        uint32_t mode, align;
        CLRect bounds;
        const char* text;
        LColorSpec colour;
    } items[] = {
        {0, 0, {10, 10, 290, 30}, "Left aligned label", LColorSpec::MakeIndexed(4)},
        {0, 1, {10, 30, 290, 50}, "Centred in red", LColorSpec::MakeRGB(LRGB(200, 0, 0))},
        {0, 2, {10, 50, 290, 70}, "Right aligned", LColorSpec::MakeRGB(LRGB(0, 0, 200))},
        {2,
         0,
         {10, 72, 150, 118},
         "Wrapped text that runs over more than one line",
         LColorSpec::MakeIndexed(4)},
        {0, 0, {160, 72, 200, 90}, "Clipped at the pane", LColorSpec::MakeIndexed(4)},
    };
    std::vector<std::unique_ptr<LTextPane>> panes;
    for (const Item& i : items) {
        auto p = std::make_unique<LTextPane>(&owner, i.mode);
        p->ChangeState(LPane::kChainShow);
        p->SetBounds(i.bounds);
        p->SetAlignment(i.align);
        p->SetTextStyle(LTextStyleH(LTextStyleData::kUser));
        p->SetTextColor(i.colour);
        p->SetText(i.text);
        panes.push_back(std::move(p));
    }
    {
        LPanePort port(&owner);
        LDrawContext ctx(port, native.get());
        for (auto& p : panes) p->Draw(ctx);
    }
    if (getenv("ORBILUME_PANE_PNG")) {
        EXPECT_TRUE(native->WritePNG((std::string(getenv("ORBILUME_PANE_PNG")) + "text.png").c_str()));
    }

    auto ink = [&](const CLRect& r, uint32_t* colour) {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                uint32_t p = native->PixelAt(x, y) & 0xFFFFFF;
                if (p != 0xFFFFFF) {
                    ++n;
                    // Glyph centres carry the full colour; edges blend with white.
                    uint32_t r = p >> 16, g = (p >> 8) & 255, b = p & 255;
                    if (colour && r > 150 && g < 40 && b < 40) *colour = 0xC80000;
                    if (colour && b > 150 && g < 40 && r < 40) *colour = 0x0000C8;
                }
            }
        return n;
    };
    uint32_t seen = 0;
    EXPECT_GT(ink({10, 10, 40, 30}, nullptr), 20);  // left label starts at the left
    EXPECT_EQ(ink({200, 10, 290, 30}, nullptr), 0);
    EXPECT_GT(ink({120, 30, 180, 50}, &seen), 20);  // centred label around the middle
    EXPECT_EQ(seen, 0xC80000u);
    EXPECT_EQ(ink({10, 30, 60, 50}, nullptr), 0);
    EXPECT_GT(ink({250, 50, 290, 70}, &seen), 20);  // right label ends at the right
    EXPECT_EQ(seen, 0x0000C8u);
    EXPECT_GT(ink({10, 90, 150, 118}, nullptr), 20);  // the wrapped pane's later lines
    EXPECT_EQ(ink({200, 72, 290, 90}, nullptr), 0);   // clipped at its bounds
    native = nullptr;
}
