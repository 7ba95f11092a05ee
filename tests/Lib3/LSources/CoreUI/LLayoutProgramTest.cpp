#include <gtest/gtest.h>

#include <string>

#include "Lib3/LSources/CoreUI/LLayoutDesc.h"
#include "Lib3/LSources/CoreUI/LLayoutProgram.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/Lib3/LSources/CoreUI/FakeLayoutPanes.h"

namespace {

LLayoutParts Parts(std::initializer_list<const char*> texts) {
    LLayoutParts parts;
    for (const char* t : texts) parts.Append(t);
    return parts;
}

const LLayoutParts kNoStd;

class LayoutProgramTest : public ::testing::Test {
protected:
    FakeLayoutPanes panes{{{{1, 1, 2, 2}, true, 50, 18}, {{3, 3, 4, 4}, true, 90, 20}}};
};

TEST_F(LayoutProgramTest, PrefGivesThePreferredSize) {
    LLayoutProgram program;
    ASSERT_TRUE(program.Build(kNoStd, Parts({"", "pp(0,0,0,200,100)", ""})));
    EXPECT_EQ(program.RunPref(&panes), 1);
    const SLayoutRect& r = program.LayoutRect();
    EXPECT_EQ(r.right - r.left, 200);
    EXPECT_EQ(r.bottom - r.top, 100);
}

TEST_F(LayoutProgramTest, LayoPlacesTheFirstChildAndIgnoresMissingOnes) {
    LLayoutProgram program;
    ASSERT_TRUE(program.Build(kNoStd, Parts({"", "", "pp(1, l(0), t(0), r(0), b(0));\npp(9, 0, 0, 5, 5);"})));
    program.LayoutRect() = {10, 20, 110, 220};
    EXPECT_EQ(program.RunLayo(&panes), 1);
    EXPECT_EQ(panes.panes[0].bounds, (SLayoutRect{10, 20, 110, 220}));
    EXPECT_EQ(panes.panes[1].bounds, (SLayoutRect{3, 3, 4, 4}));
}

TEST_F(LayoutProgramTest, GlobalsLastFromPrefToLayo) {
    LLayoutProgram program;
    ASSERT_TRUE(program.Build(
        kNoStd, Parts({"gw = 0; runs = runs + 1;", "gw = wp(1) + 10; pp(0, 0, 0, gw, 50 + runs);",
                       "pp(1, 0, 0, gw, h(0));"})));
    ASSERT_EQ(program.RunPref(&panes), 1);
    // The main procedure ran once, at build time.
    EXPECT_EQ(program.LayoutRect(), (SLayoutRect{0, 0, 60, 51}));
    ASSERT_EQ(program.RunLayo(&panes), 1);
    EXPECT_EQ(panes.panes[0].bounds, (SLayoutRect{0, 0, 60, 51}));
}

TEST_F(LayoutProgramTest, CompileErrorInAnyPartRunsNothing) {
    const LLayoutParts cases[] = {
        Parts({"x = ;", "pp(0,0,0,200,100);", "pp(1,0,0,9,9);"}),
        Parts({"", "pp(0,0,0,200,100", "pp(1,0,0,9,9);"}),
        Parts({"", "pp(0,0,0,200,100);", "pp(1,0,0,9,9) pp(2,0,0,9,9);"}),
    };
    for (const LLayoutParts& parts : cases) {
        LLayoutProgram program;
        EXPECT_FALSE(program.Build(kNoStd, parts));
        EXPECT_NE(program.ErrorReport().Length(), 0u);
        EXPECT_EQ(program.RunPref(&panes), 0);
        EXPECT_EQ(program.RunLayo(&panes), 0);
        EXPECT_EQ(program.LayoutRect(), (SLayoutRect{0, 0, 0, 0}));
        EXPECT_EQ(panes.panes[0].bounds, (SLayoutRect{1, 1, 2, 2}));
    }
    // An error in the prelude too.
    LLayoutProgram program;
    EXPECT_FALSE(program.Build(Parts({"", "kStdSpc = 8"}), Parts({"", "pp(0,0,0,200,100);", ""})));
    EXPECT_EQ(program.RunPref(&panes), 0);
}

TEST_F(LayoutProgramTest, PreferredHeightProcedure) {
    LLayoutProgram program;
    ASSERT_TRUE(program.Build(kNoStd, Parts({"PREFH#($0 > 0 ? hp(2, $0) + 4 : -32768);", "", ""})));
    int32_t height = -32768;
    const int32_t kind = 30;
    EXPECT_EQ(program.RunWith(&panes, "PREFH", 1, &kind, height), 1);
    EXPECT_EQ(height, 34);
    // Built-ins see no panes outside a run.
    ASSERT_EQ(program.RunWith(nullptr, "PREFH", 1, &kind, height), 1);
    EXPECT_EQ(height, 4);
}

// The standard helpers give the same results in both languages.
TEST_F(LayoutProgramTest, StandardHelpersAgreeAcrossLanguages) {
    LLayoutParts std;
    ASSERT_TRUE(ReadLayoutFile(ORBILUME_LAYOUT_DIR, "STDLAYOUT", std));
    ASSERT_GE(std.Count(), 2u);

    struct Case {
        const char* expr;
        int32_t value;
        SLayoutRect pane1;
        SLayoutRect pane2;
    } cases[] = {
        {"kStdSpc * 1000 + kGrpSpc * 100 + kMargin", 9620, {1, 1, 2, 2}, {3, 3, 4, 4}},
        {"CalcTwoButtonW(1, 2)", 188, {1, 1, 2, 2}, {3, 3, 4, 4}},
        {"pp(0, 0, 0, 300, 100); PlaceTwoButton(1, 2)", 104, {202, 72, 292, 92}, {104, 72, 194, 92}},
        {"CalcTextBoxW(2) * 1000 + CalcTextW(1, 20)", 90666, {1, 1, 2, 2}, {3, 3, 4, 4}},
        {"PlaceTextBoxLTR(1, 20, 10, 300)", 290, {20, 10, 300, 290}, {3, 3, 4, 4}},
        {"CalcStdIconR(2)", 56, {1, 1, 2, 2}, {3, 3, 4, 4}},
        {"PlaceStdIcon(2) * 1000 + GetStdIconR(2)", 40056, {1, 1, 2, 2}, {8, 8, 40, 40}},
    };
    for (const Case& c : cases) {
        std::string blanks = c.expr;
        std::string compact;
        for (char ch : blanks)
            if (ch != ' ') compact += ch;

        FakeLayoutPanes scriptPanes = panes;
        LLayoutProgram program;
        const std::string proc = "T#(" + blanks + ");";
        ASSERT_TRUE(program.Build(std, Parts({proc.c_str(), "", ""}))) << program.ErrorReport().CStr();
        int32_t v = 0;
        ASSERT_EQ(program.RunWith(&scriptPanes, "T", 0, nullptr, v), 1);
        EXPECT_EQ(v, c.value) << c.expr;
        EXPECT_EQ(scriptPanes.panes[0].bounds, c.pane1) << c.expr;
        EXPECT_EQ(scriptPanes.panes[1].bounds, c.pane2) << c.expr;

        FakeLayoutPanes descPanes = panes;
        LLayoutDesc::InstallPrelude(std.Part(0));
        LLayoutDesc desc(&descPanes);
        EXPECT_EQ(desc.Evaluate(compact.c_str()), c.value) << c.expr;
        EXPECT_EQ(descPanes.panes[0].bounds, c.pane1) << c.expr;
        EXPECT_EQ(descPanes.panes[1].bounds, c.pane2) << c.expr;
    }
    LLayoutDesc::ResetPrelude();
}

TEST_F(LayoutProgramTest, StandardLayoutFromTheResources) {
    LLayoutProgram program;
    {
        BundleResources resources;
        ASSERT_TRUE(resources.Ok());
        ASSERT_TRUE(
            program.Build(Parts({"", "pp(0, 0, 0, kMargin * 2 + CalcTwoButtonW(1, 2), kMargin * 2 + kBtnH);",
                                 "PlaceTwoButton(1, 2);"})));
    }
    ASSERT_EQ(program.RunPref(&panes), 1);
    EXPECT_EQ(program.LayoutRect(), (SLayoutRect{0, 0, 228, 60}));
    ASSERT_EQ(program.RunLayo(&panes), 1);
    EXPECT_EQ(panes.panes[0].bounds, (SLayoutRect{130, 32, 220, 52}));
    EXPECT_EQ(panes.panes[1].bounds, (SLayoutRect{32, 32, 122, 52}));
}

}  // namespace
