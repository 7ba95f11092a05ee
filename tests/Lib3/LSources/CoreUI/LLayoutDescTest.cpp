#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <string>

#include "Lib3/LSources/CoreUI/LLayoutDesc.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/Lib3/LSources/CoreUI/FakeLayoutPanes.h"

namespace {

// Every test starts from an empty prelude, so that only its own definitions count.
class LayoutDescTest : public ::testing::Test {
protected:
    void SetUp() override { LLayoutDesc::InstallPrelude(LString()); }
    void TearDown() override { LLayoutDesc::ResetPrelude(); }

    FakeLayoutPanes panes{{{{0, 0, 0, 0}, true, 30, 10}, {{5, 5, 9, 9}, false, 40, 20}}};
};

TEST_F(LayoutDescTest, ExamplePrograms) {
    struct Case {
        const char* text;
        int32_t value;
    } cases[] = {
        {"a=3;b=a*2+1;b", 7},
        {"a=3 b=2", 2},
        {"7/2", 3},
        {"-7/2", -3},
        {"5/0", 0},
        {"5/0*3", 3},
        {"5/0+4", 4},
        {"m#%0+%1#;m(2,3)", 5},
        {"c#%0+%1+7#;c()", 7},
        {"s#i=0;t=0;%i(t=t+%i);t#;s(4,5,6)", 15},
        {"s#i=0;t=0;%i(t=t+%i);t#;s(4,5,6);i*10+t", 0},
        {"x=5;f#y=x;x=x+1;y*10+x#;v=f();v*100+x", 5605},
        {"sqrt(10)", 3},
        {"sqrt(12)", 3},
        {"sqrt(13)", 4},
        {"sqrt()", 0},
        {"min()", 0},
        {"max()", 0},
        {"max(3,9,4)", 9},
        {"min(3,-9,4)", -9},
        {"pp(0,10,20,110,70);w(0)", 100},
        {"pp(0,10,20,110,70);h(0)", 50},
        {"shown(0)", 1},
        {"wp(99)", 0},
        {"1.5", 1},
        {"a=2\nb=3\r\na*b", 6},
        {"(1;2 3)", 2},
        {"(4", 4},
        {"#unclosed", 0},
        {"m#%0*2#\nm(m(m(1)))", 8},
        {"m#1#\nm#2#\nm()", 2},
        {"n=1;%n", 0},
        {"a#%0#\na(7,8,9)+%2", 7},
    };
    for (const Case& c : cases) {
        LLayoutDesc desc(&panes);
        EXPECT_EQ(desc.Evaluate(c.text), c.value) << c.text;
    }
}

TEST_F(LayoutDescTest, PaneBuiltins) {
    struct Case {
        const char* text;
        int32_t value;
    } cases[] = {
        {"sys(0)", 16},   {"sys(3)", 16},    {"sys(4)", 0},
        {"sys(0-1)", 0},  {"shown(1)", 1},   {"shown(2)", 0},
        {"shown(3)", 0},  {"shown(0-1)", 0}, {"wp(1)", 30},
        {"wp(1,55)", 55}, {"hp(2)", 20},     {"hp(3)", 0},
        {"l(2)", 5},      {"b(2)", 9},       {"w(2)", 4},
        {"h(3)", 0},      {"r()", 0},        {"pp(0,1,2,41,32);wp(0)*100+hp(0)", 4030},
    };
    for (const Case& c : cases) {
        LLayoutDesc desc(&panes);
        EXPECT_EQ(desc.Evaluate(c.text), c.value) << c.text;
    }
}

TEST_F(LayoutDescTest, PlacesPanesAndIgnoresMissingOnes) {
    LLayoutDesc desc(&panes);
    desc.LayoutRect() = {0, 0, 200, 100};
    EXPECT_EQ(desc.Evaluate("pp(1,l(0)+10,t(0)+10,r(0)-10,b(0)-10);pp(9,1,1,1,1);pp(0-1,1,1,1,1)"), 0);
    EXPECT_EQ(panes.panes[0].bounds, (SLayoutRect{10, 10, 190, 90}));
    EXPECT_EQ(panes.panes[1].bounds, (SLayoutRect{5, 5, 9, 9}));

    LLayoutDesc none(nullptr);
    EXPECT_EQ(none.Evaluate("pp(1,1,1,1,1);wp(1)+shown(1)+w(1)"), 0);
}

TEST_F(LayoutDescTest, VariablesLastFromOnePartToTheNext) {
    LLayoutDesc desc(&panes);
    desc.Evaluate("gap=12\nm#%0+gap#");
    EXPECT_EQ(desc.Evaluate("m(30)"), 42);
    EXPECT_EQ(desc.Evaluate(""), 0);
    LLayoutDesc other(&panes);
    EXPECT_EQ(other.Evaluate("m(30)+gap"), 0);
}

TEST_F(LayoutDescTest, ArithmeticWrapsAndNeverTraps) {
    struct Case {
        const char* text;
        int32_t value;
    } cases[] = {
        {"2147483647+1", INT_MIN},
        {"4294967297", 1},
        {"65536*65536", 0},
        {"0-2147483647-1-1", INT_MAX},
        {"-(0-2147483647-1)", INT_MIN},
        {"(0-2147483647-1)/-1", 0},
        {"(0-2147483647-1)/-1+5", 5},
        {"sqrt(0-4)", 0},
        {"sqrt(2147483647)", 46341},
        {"sqrt(0-2147483647-1)", 0},
    };
    for (const Case& c : cases) {
        LLayoutDesc desc(&panes);
        EXPECT_EQ(desc.Evaluate(c.text), c.value) << c.text;
    }
}

TEST_F(LayoutDescTest, RunawayProgramsEnd) {
    using Clock = std::chrono::steady_clock;
    constexpr int32_t kAnyValue = INT_MIN;
    struct Case {
        std::string text;
        int32_t value;
    } cases[] = {
        // A macro that calls itself: the call past the depth limit answers 0.
        {"m#m()+1#;m()", int32_t(LLayoutExpr::kMaxCallDepth)},
        // Work past the limit ends the evaluation with 0.
        {"m#m()+m()+1#;m()", 0},
        {"%i(i=0-5)\n7", 0},
        {std::string(100000, '(') + "1", 0},
        {std::string(100000, '-') + "1", kAnyValue},
        {"(((((1)))))" + std::string(50000, ')'), 0},
    };
    for (const Case& c : cases) {
        LLayoutDesc desc(&panes);
        const auto start = Clock::now();
        const int32_t value = desc.Evaluate(c.text.c_str());
        if (c.value != kAnyValue) {
            EXPECT_EQ(value, c.value) << c.text.substr(0, 40);
        }
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(60)) << c.text.substr(0, 40);
    }
}

TEST_F(LayoutDescTest, CustomFunctionsAndVariables) {
    LLayoutDesc desc(&panes);
    desc.DefineFunction("twice",
                        [](LLayoutExpr& e) { return e.Argument(0) * 2 + int32_t(e.ArgumentCount()); });
    desc.DefineVariable("base", 10);
    EXPECT_EQ(desc.Evaluate("twice(base,0)"), 22);
    desc.DefineFunction("twice", [](LLayoutExpr&) { return 1; });
    EXPECT_EQ(desc.Evaluate("twice(base)"), 1);
    EXPECT_EQ(desc.Argument(0), 0);
}

TEST_F(LayoutDescTest, PreludeIsEvaluatedWithoutPanes) {
    LLayoutDesc::InstallPrelude("p=7\nq#%0*2#\npp(1,1,2,3,4)\npp(0,1,2,3,4)");
    LLayoutDesc desc(&panes);
    EXPECT_EQ(desc.Evaluate("q(p)"), 14);
    EXPECT_EQ(panes.panes[0].bounds, (SLayoutRect{0, 0, 0, 0}));
    EXPECT_EQ(desc.LayoutRect(), (SLayoutRect{0, 0, 0, 0}));

    // Each description gets its own copy of the definitions.
    desc.Evaluate("p=1\nq#0#");
    LLayoutDesc next(&panes);
    EXPECT_EQ(next.Evaluate("q(p)"), 14);
}

TEST_F(LayoutDescTest, PreludeComesFromTheStandardLayout) {
    {
        BundleResources resources;
        ASSERT_TRUE(resources.Ok());
        LLayoutDesc::ResetPrelude();
        LLayoutDesc desc(&panes);
        EXPECT_EQ(desc.Evaluate("kStdSpc*100+kGrpSpc"), 816);
    }
    // The prelude was kept for the process.
    LLayoutDesc kept(&panes);
    EXPECT_EQ(kept.Evaluate("CalcStdIconR(0)"), 56);

    // Without the resource the prelude is absent and defines nothing.
    LLayoutDesc::ResetPrelude();
    LLayoutDesc bare(&panes);
    EXPECT_EQ(bare.Evaluate("kStdSpc+1"), 1);
}

}  // namespace
