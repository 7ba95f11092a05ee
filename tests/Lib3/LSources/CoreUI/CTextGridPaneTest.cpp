#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "Lib3/LSources/CoreUI/CTextGridPane.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "PaneTestSupport.h"
#include "TestSurface.h"
#include "tests/support/PinnedFonts.h"

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

uint32_t Hex(const LColor& colour) {
    const plat::GfxColor c = LDrawContext::NativeColor(colour);
    auto byte = [](double v) { return uint32_t(std::lround(v * 255)); };
    return byte(c.red) << 16 | byte(c.green) << 8 | byte(c.blue);
}

// A grid whose cells say "c,r"; cell (1, 0) is dim.
class LabelGrid : public CTextGridPane {
public:
    using CTextGridPane::CTextGridPane;
    LString GetCellText(const CLPoint& cell, bool& dim) override {
        dim = cell.x == 1 && cell.y == 0;
        return LString((std::to_string(cell.x) + "," + std::to_string(cell.y)).c_str());
    }
};

struct TextGridTest : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(kFontsPinned); }
    MessageLog log;
    FakeOwner owner{&log, {0, 0, 300, 300}};
};

std::string Text(CTextGridPane& grid, CLPoint cell) {
    bool dim = false;
    return grid.GetCellText(cell, dim).CStr();
}

TEST_F(TextGridTest, NumberGridsCountAlongTheirLongerSide) {
    CNumberGridPane grid(&owner, LListPane::kSelectNone);
    struct Case {
        int32_t columns, rows;
        CLPoint cell;
        const char* text;
    } cases[] = {
        {1, 8, {0, 0}, "1"}, {1, 8, {0, 7}, "8"}, {8, 1, {0, 0}, "1"},
        {8, 1, {7, 0}, "8"}, {3, 3, {2, 1}, "3"},  // as many columns as rows: columns count
        {1, 8, {0, 8}, ""},  {1, 8, {1, 0}, ""},  {8, 1, {-1, 0}, ""},
    };
    for (const Case& c : cases) {
        grid.SetGridSize(c.columns, c.rows);
        EXPECT_EQ(Text(grid, c.cell), c.text)
            << c.columns << "x" << c.rows << " at " << c.cell.x << "," << c.cell.y;
    }
    // Kind -13 is the width of "M"; other kinds the cell width.
    TestSurface surface(10, 10);
    LDrawContext ctx(surface.port, surface.native.get());
    grid.SetCellSize(40, grid.CellHeight());
    EXPECT_EQ(grid.PreferredWidth(ctx, -13), LTextBox().WidthOf("M"));
    EXPECT_EQ(grid.PreferredWidth(ctx, 0), 40);
}

TEST_F(TextGridTest, MetricsFollowTheStyle) {
    CTextGridPane grid(&owner, LListPane::kSelectNone);
    LTextBox probe;
    EXPECT_EQ(grid.CellHeight(), probe.LineHeight());
    EXPECT_EQ(int32_t(grid.LeftInset()), probe.WidthOf(" "));
    const LTextStyleH big(LTextStyleData::kSystem, 0, 30, 0, 0);
    grid.SetCellSize(77, grid.CellHeight());
    grid.SetTextStyle(big);
    probe.SetStyle(big);
    EXPECT_EQ(grid.CellHeight(), probe.LineHeight());
    EXPECT_EQ(grid.CellWidth(), 77) << "the width stays as set";
    EXPECT_EQ(int32_t(grid.LeftInset()), probe.WidthOf(" "));
}

TEST_F(TextGridTest, BackgroundDecidesWhetherInvalidationErases) {
    CTextGridPane grid(&owner, LListPane::kSelectMultiple);
    grid.ChangeState(LPane::kChainShow);
    grid.ChangeState(LPane::kChainEnable);
    grid.SetBounds({0, 0, 100, 100});
    owner.invalids.clear();
    owner.erases.clear();
    grid.InvalidateCells(Rgn({0, 0, 10, 10}));
    ASSERT_EQ(owner.erases.size(), 1u);
    EXPECT_TRUE(owner.erases[0] == Rgn({0, 0, 10, 10}));
    grid.SetBackground(LColor::Grey(3));
    owner.erases.clear();
    grid.InvalidateCells(Rgn({0, 0, 10, 10}));
    ASSERT_EQ(owner.erases.size(), 1u);
    EXPECT_TRUE(owner.erases[0].IsEmpty());
}

TEST_F(TextGridTest, CellsDrawSelectionBackgroundAndText) {
    LabelGrid grid(&owner, LListPane::kSelectMultiple);
    grid.ChangeState(LPane::kChainShow);
    grid.ChangeState(LPane::kChainEnable);
    grid.SetBounds({0, 0, 200, 3 * grid.CellHeight()});
    grid.SetCellSize(100, grid.CellHeight());
    grid.SetGridSize(2, 3);
    grid.SelectCell({0, 1});
    const LColor red(LRGB(255, 0, 0), 0);
    grid.SetBackground(red);

    TestSurface surface(200, 3 * grid.CellHeight());
    {
        LDrawContext ctx(surface.port, surface.native.get());
        grid.Draw(ctx);
    }
    const int32_t h = grid.CellHeight();
    // The right end of each cell holds no text: only the fill shows there.
    EXPECT_EQ(surface.At(95, h + h / 2), Hex(LColor::System(3))) << "selected";
    EXPECT_EQ(surface.At(95, h / 2), 0xFF0000u) << "background";
    EXPECT_EQ(surface.At(195, 2 * h + h / 2), 0xFF0000u);
    // Text starts after the inset: nothing left of it, something right of it.
    auto inked = [&](int32_t x0, int32_t x1, int32_t y0, int32_t y1, uint32_t fill) {
        for (int32_t y = y0; y < y1; ++y)
            for (int32_t x = x0; x < x1; ++x)
                if (surface.At(x, y) != fill) return true;
        return false;
    };
    const int32_t inset = int32_t(grid.LeftInset());
    EXPECT_FALSE(inked(0, inset, 0, h, 0xFF0000u));
    EXPECT_TRUE(inked(inset, 60, 0, h, 0xFF0000u));
    EXPECT_TRUE(inked(100 + inset, 160, 0, h, 0xFF0000u)) << "dim text is drawn too";

    // A baseline low in the cell pushes the text down: with a baseline at the line height the top
    // rows of the cell stay empty.
    grid.SetBaseline(uint32_t(h));
    TestSurface lower(200, 3 * h);
    {
        LDrawContext ctx(lower.port, lower.native.get());
        grid.Draw(ctx);
    }
    auto inkedLower = [&](int32_t y0, int32_t y1) {
        for (int32_t y = y0; y < y1; ++y)
            for (int32_t x = inset; x < 60; ++x)
                if (lower.At(x, y) != 0xFF0000u) return true;
        return false;
    };
    const int32_t shift = h - LTextBox().Ascent();
    ASSERT_GT(shift, 1);
    EXPECT_FALSE(inkedLower(0, shift));
    EXPECT_TRUE(inkedLower(shift, h));
}

}  // namespace
