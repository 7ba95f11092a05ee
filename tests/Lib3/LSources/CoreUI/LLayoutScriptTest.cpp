#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <string>

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreUI/CLayoutScriptSource.h"
#include "Lib3/LSources/CoreUI/LLayoutProgram.h"
#include "Lib3/LSources/CoreUI/LLayoutScript.h"

namespace {

void CompileText(LLayoutScript& script, const std::string& text) {
    LCStrCharIn input(reinterpret_cast<const unsigned char*>(text.data()), uint32_t(text.size()));
    CLayoutScriptSource source(input);
    script.Compile(source);
}

// Compiles the text (with the layout built-ins) and runs its main procedure.
struct MainRun {
    int error;
    int ran;
    int32_t value;
};

MainRun RunMain(const std::string& text) {
    LLayoutProgram program;
    CompileText(program, text);
    MainRun r{program.ErrorCode(), 0, -12345};
    r.ran = program.Run(LString(), 0, nullptr, r.value);
    return r;
}

TEST(LayoutScript, ExamplePrograms) {
    struct Case {
        const char* text;
        int32_t value;
    } cases[] = {
        {"a=2; b=a*3+1; b", 7},
        {"7/2", 3},
        {"-7/2", -3},
        {"f#($0+$1); f(2,3)", 5},
        {"f#($#); f(2,3)", 2},
        {"f#($5); f(2,3)", 0},
        {"f#($(0-1)); f(2,3)", 0},
        {"i=0; @i<3 i=i+1", 0},
        {"i=0; @i<3 i=i+1; i", 3},
        {"x=4; x[5]", 4},
        {"a=6; a.b", 6},
        {"x=3; x[1]=7", 7},
        {"x=3; x[1]=7; x", 3},
        {"x=3; x[1]+=2; x[0]++; ++x.y; x", 3},
        {"/* block */ 1 + // line\n 2", 3},
        {"{ 1 + /* x * / */ 2 } // end", 3},
        {"max(4, 9, 2)", 9},
        {"min(5)", 5},
        {"abs(-7)", 7},
        {"arraylength(5)", 0},
        {"sqrt(10) * 10 + sqrt(13)", 34},
        {"1 ? 2 : 3", 2},
        {"0 ? 2 : 3", 3},
        {"0 ? 2", 0},
        {"0 ? 1 : 0 ? 2 : 3", 3},
        {"0 | 5", 5},
        {"3 | 0", 1},
        {"x=0; 0 & (x=9); x", 0},
        {"x=0; 1 | (x=9); x", 0},
        {"2 & 5", 5},
        {"0 & 5", 0},
        {"(3 < 4) + (4 <= 4) * 2 + (5 == 5) * 4 + (5 != 5) * 8 + (2 > 1) * 16 + (1 >= 2) * 32", 23},
        {"!0 + !7", 1},
        {"x=3; -x", -3},
        {"x=5; x++", 5},
        {"x=5; x++; x", 6},
        {"x=5; ++x", 6},
        {"x=5; --x; x--; x", 3},
        {"x=1; x+=4; x*=3; x-=1; x/=2; x", 7},
        {"x=2; y=x=x+5; x*10+y", 77},
        {"x=9; y=2; x-y*y+x/y", 9},
        {"1.5", 1},
        {".5", 0},
        {"1.5.5 + 2", 2},
        {"\"a b\" = 4; \"a\" \" b\"", 4},
        {"\"t\\tq\\\"\" = 3; \"t\tq\\\"\"", 3},
        {"f#(v=$0; v*2); f(4) + f(5)", 18},
        {"g=1; f#(g=g+1); f(); f(); g", 3},
        {"f#(1;); f()", 0},
        {"f#(); f()", 0},
        {"f#(1); g#(f()+1); f#(5); g() * 10 + f()", 25},
        {"f#(g#($0*3); g($0)+1); f(4)", 13},
        {"1 2 3", 3},
        {"()", 0},
        {"(1;2)", 2},
        {"(1;2;)", 0},
        {"", 0},
        {"x", 0},
    };
    for (const Case& c : cases) {
        MainRun r = RunMain(c.text);
        EXPECT_EQ(r.error, 0) << c.text;
        EXPECT_EQ(r.ran, 1) << c.text;
        EXPECT_EQ(r.value, c.value) << c.text;
    }
}

TEST(LayoutScript, ArithmeticWrapsAndNeverTraps) {
    struct Case {
        const char* text;
        int32_t value;
    } cases[] = {
        {"2147483647 + 1", INT_MIN},
        {"x = 2147483647; x + 1", INT_MIN},
        {"x = 2147483647; x++; x", INT_MIN},
        {"65536 * 65536", 0},
        {"4294967297", 1},
        {"99999999999999999999", -1},
        {"-2147483648 / -1", 0},
        {"m = -2147483648; n = -1; m / n", 0},
        {"m = -2147483648; m /= -1; m", 0},
        {"5 / 0", 0},
        {"y = 0; 5 / y", 0},
        {"x = 5; x /= 0; x", 0},
        {"-(-2147483648)", INT_MIN},
        {"abs(-2147483648)", INT_MIN},
        {"sqrt(-4)", 0},
        {"sqrt(2147483647)", 46341},
    };
    for (const Case& c : cases) {
        MainRun r = RunMain(c.text);
        EXPECT_EQ(r.ran, 1) << c.text;
        EXPECT_EQ(r.value, c.value) << c.text;
    }
}

TEST(LayoutScript, CompileErrorsAreReportedWithTheirPlace) {
    struct Case {
        const char* text;
        int code;
        const char* report;  // null: only the message and line are checked
    } cases[] = {
        {nullptr, LLayoutScript::kMemory, nullptr},
        {"(1;)+2", LLayoutScript::kStack, "Error: Stack, Line 1, Char 6\n"},
        {"(1;2", LLayoutScript::kEOF, "Error: EOF, Line 1, Char 4\n"},
        {")", LLayoutScript::kPrim, "Error: Prim, Line 1, Char 1\n"},
        {"(1 2)", LLayoutScript::kClose, "Error: Close, Line 1, Char 5\n"},
        {"min(1,2 x)", LLayoutScript::kArgList, "Error: ArgList, Line 1, Char 10\n"},
        {"abs(1,2)", LLayoutScript::kNumArgs, "Error: NumArgs, Line 1, Char 8\n"},
        {"f(1); f#($0)", LLayoutScript::kNoMethod, "Error: NoMethod, Line 1, Char 5\n"},
        {"3=4", LLayoutScript::kNoLvalue, "Error: NoLvalue, Line 1, Char 3\n"},
        {"a.5", LLayoutScript::kMember, "Error: Member, Line 1, Char 3\n"},
        {"a=1;\nb=2;\n  3=4", LLayoutScript::kNoLvalue, "Error: NoLvalue, Line 3, Char 5\n"},
        {"a=1;\r\nb=2;\r\n  3=4", LLayoutScript::kNoLvalue, "Error: NoLvalue, Line 3, Char 5\n"},
        {"a=1;\rb=2;\r  3=4", LLayoutScript::kNoLvalue, "Error: NoLvalue, Line 3, Char 5\n"},
        {"x[1", LLayoutScript::kClose, "Error: Close, Line 1, Char 3\n"},
        {"min(1", LLayoutScript::kEOF, "Error: EOF, Line 1, Char 5\n"},
        {"1 ? (2;) : 3", LLayoutScript::kStack, nullptr},
        {"0 | (2;)", LLayoutScript::kStack, nullptr},
        {"@ 1 (2;)", LLayoutScript::kStack, nullptr},
        {"x++ ++", LLayoutScript::kNoLvalue, nullptr},
        {"(1 ? a : b) = 2", LLayoutScript::kNoLvalue, nullptr},
        {"f(1)[2]", LLayoutScript::kNoMethod, nullptr},
        {"5[2]", LLayoutScript::kNoLvalue, nullptr},
        {"x = ; y = 2", LLayoutScript::kPrim, nullptr},
    };
    const std::string deep = std::string(2000, '(') + "1" + std::string(2000, ')');
    for (const Case& c : cases) {
        const std::string text = c.text ? c.text : deep;
        LLayoutProgram program;
        CompileText(program, text);
        EXPECT_EQ(program.ErrorCode(), c.code) << text.substr(0, 40);
        const std::string report = program.ErrorReport().CStr();
        if (c.report) {
            EXPECT_EQ(report, c.report) << text;
        } else {
            const std::string head = std::string("Error: ") + LLayoutScript::ErrorName(c.code) + ", Line ";
            EXPECT_EQ(report.rfind(head, 0), 0u) << report;
        }
        // Nothing runs after a compile error, and the result is left alone.
        int32_t result = 4321;
        EXPECT_EQ(program.Run(LString(), 0, nullptr, result), 0) << text.substr(0, 40);
        EXPECT_EQ(result, 4321);
    }
}

TEST(LayoutScript, OnlyTheFirstErrorIsReported) {
    LLayoutProgram program;
    CompileText(program, "abs(1,2);\n)\nq(");
    EXPECT_EQ(program.ErrorCode(), LLayoutScript::kNumArgs);
    EXPECT_STREQ(program.ErrorReport().CStr(), "Error: NumArgs, Line 1, Char 9\n");

    // A later compilation starts afresh.
    CompileText(program, "f#($0*2)");
    EXPECT_EQ(program.ErrorCode(), 0);
    EXPECT_STREQ(program.ErrorReport().CStr(), "");
    int32_t v = 0;
    const int32_t arg = 21;
    EXPECT_EQ(program.Run("f", 1, &arg, v), 1);
    EXPECT_EQ(v, 42);
}

TEST(LayoutScript, RunFindsProceduresByExactName) {
    LLayoutProgram program;
    CompileText(program, "g = 5; Twice#($0 * 2 + g); Sum#(s = 0; i = 0; @ i < $# (s += $i; i++); s)");
    ASSERT_EQ(program.ErrorCode(), 0);
    int32_t v = -1;
    EXPECT_EQ(program.Run("twice", 0, nullptr, v), 0);
    EXPECT_EQ(v, -1);
    // Globals are zero until the main procedure runs.
    const int32_t args[] = {3, 4, 5};
    EXPECT_EQ(program.Run("Twice", 1, args, v), 1);
    EXPECT_EQ(v, 6);
    EXPECT_EQ(program.Run("", 0, nullptr, v), 1);
    EXPECT_EQ(program.Run("Twice", 1, args, v), 1);
    EXPECT_EQ(v, 11);
    EXPECT_EQ(program.Run("Sum", 3, args, v), 1);
    EXPECT_EQ(v, 12);
    EXPECT_EQ(program.Run("Sum", 0, nullptr, v), 1);
    EXPECT_EQ(v, 0);
}

TEST(LayoutScript, RunawayProgramsEnd) {
    using Clock = std::chrono::steady_clock;
    struct Case {
        std::string text;
        int ran;
        int32_t value;
    };
    // A body calls the previous definition of its own name, so deep or costly calls come from
    // chains of redefinitions.
    auto chain = [](const char* body, int count) {
        std::string text = "f#(0);";
        for (int i = 0; i < count; ++i) text += std::string("f#(") + body + ");";
        return text + "f()";
    };
    const Case cases[] = {
        // Calls past the depth limit answer 0.
        {chain("f() + 1", int(LLayoutScript::kMaxCallDepth) + 100), 1, int32_t(LLayoutScript::kMaxCallDepth) - 1},
        // Work past the limit stops the run.
        {chain("f() + f() + 1", 40), 0, 0},
        {"@ 1 0", 0, 0},
        {"i = 0; @ 1 i++", 0, 0},
    };
    for (const Case& c : cases) {
        LLayoutProgram program;
        CompileText(program, c.text);
        ASSERT_EQ(program.ErrorCode(), 0) << c.text;
        const auto start = Clock::now();
        int32_t v = 0;
        EXPECT_EQ(program.Run(LString(), 0, nullptr, v), c.ran) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(60)) << c.text;
        // The machine is usable again afterwards.
        program.SetStepLimit(100);
        CompileText(program, "1 + 2");
        EXPECT_EQ(program.Run(LString(), 0, nullptr, v), 1);
        EXPECT_EQ(v, 3);
    }
}

TEST(LayoutScript, BodyNamesTheEarlierProcedureOfItsName) {
    struct Case {
        const char* text;
        int code;
        int32_t value;
    } cases[] = {
        // Not yet defined inside its own body.
        {"f#(f(1))", LLayoutScript::kNoMethod, 0},
        {"f#($0 * 2); f#(f($0) + 1); f(5)", 0, 11},
        {"f#($0 * 2); f#(f($0) + 1); f#(f($0) + 10); f(5)", 0, 21},
        // A procedure named like a built-in calls the built-in inside, and replaces it after.
        {"min#(min($0, $1) - 1); min(3, 4)", 0, 2},
        {"abs#(abs($0) * 10); abs(0 - 3)", 0, 30},
        // Procedures defined inside a body are callable from later code of that body and after.
        {"f#(g#($0 + 1); g($0) * 2); f(3) + g(1)", 0, 10},
    };
    for (const Case& c : cases) {
        LLayoutProgram program;
        CompileText(program, c.text);
        EXPECT_EQ(program.ErrorCode(), c.code) << c.text;
        if (c.code) continue;
        int32_t v = -1;
        EXPECT_EQ(program.Run(LString(), 0, nullptr, v), 1) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
}

TEST(LayoutScript, SubclassBuiltinsAndHooks) {
    struct Script : LLayoutScript {
        int done = 0;
        void InstallBuiltins() override {
            LLayoutScript::InstallBuiltins();
            DefineBuiltin(
                "sum3",
                [](LLayoutScript& m, const SLayoutInstr* ip) -> const SLayoutInstr* {
                    const int32_t* a = m.StackTop(3);
                    m.ReplaceTop(uint32_t(ip->index), a[0] + a[1] + a[2]);
                    return ip + 1;
                },
                3, 3);
        }
        void CompileDone() override { ++done; }
    } script;
    CompileText(script, "sum3(1, 2, 3) * 2");
    EXPECT_EQ(script.done, 1);
    int32_t v = 0;
    EXPECT_EQ(script.Run(LString(), 0, nullptr, v), 1);
    EXPECT_EQ(v, 12);
    // The layout built-ins belong to the layout program only.
    CompileText(script, "pp(0, 0, 0, 1, 1)");
    EXPECT_EQ(script.ErrorCode(), LLayoutScript::kNoMethod);
}

}  // namespace
