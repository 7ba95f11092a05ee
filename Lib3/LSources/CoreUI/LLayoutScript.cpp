#include "Lib3/LSources/CoreUI/LLayoutScript.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "Common/Container/CU32Array.h"
#include "Lib3/LSources/CoreUI/CLayoutScriptSource.h"
#include "Lib3/LSources/CoreUI/LLayoutPanes.h"
#include "Platform/Foundation/Check.h"

static_assert(sizeof(SLayoutInstr) == 24 || sizeof(void*) != 8, "instructions are 24 bytes");

namespace {

enum : int { kEnd = 0, kName = 1, kNumber = 2, kArgCount = 3 };
// "!=", "<=", "==", ">=", "*=", "+=", "-=", "/=" are the first character plus 128; "++" and "--" plus 160.
constexpr int Op2(char c) {
    return (unsigned char)c + 128;
}
constexpr int Inc2(char c) {
    return (unsigned char)c + 160;
}

// Column numbers of the variable operation table.
enum : int { kLoad = 0, kRef = 1, kAssign = 2, kPreInc = 7, kPostInc = 14, kFused = 15 };
constexpr int kColumns = 19;

bool IsNameStart(unsigned char c) {
    return std::isalpha(c) || c == '_';
}
bool IsNameByte(unsigned char c) {
    return std::isalnum(c) || c == '_';
}

int CompareNames(const LString& a, const unsigned char* b, uint32_t bLength) {
    uint32_t n = a.Length() < bLength ? a.Length() : bLength;
    int c = n ? std::memcmp(a.Text(), b, n) : 0;
    if (c) return c;
    return a.Length() < bLength ? -1 : a.Length() > bLength ? 1 : 0;
}

bool SameName(const LString& a, const LString& b) {
    return CompareNames(a, b.Text(), b.Length()) == 0;
}

int32_t Arith(int k, int32_t a, int32_t b) {
    switch (k) {
        case 0:
            return ULayoutMath::Add(a, b);
        case 1:
            return ULayoutMath::Sub(a, b);
        case 2:
            return ULayoutMath::Mul(a, b);
        default:
            return ULayoutMath::Div(a, b);
    }
}

// Values taken and left by the variable operations: rows 0 and 1, and row 2 (element on the stack).
void VarEffect(int row, int col, int32_t& pops, int32_t& pushes) {
    if (row < 2) {
        static const int8_t kPops[kColumns] = {0, 0, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 0, 0, 1, 1, 1, 1};
        static const int8_t kPushes[kColumns] = {1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1};
        pops = kPops[col];
        pushes = kPushes[col];
    } else {
        static const int8_t kPops[kColumns] = {2, 2, 3, 3, 3, 3, 3, 2, 3, 3, 3, 3, 3, 2, 2, 0, 0, 0, 0};
        static const int8_t kPushes[kColumns] = {1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
        pops = kPops[col];
        pushes = kPushes[col];
    }
}

}  // namespace

struct LLayoutScript::SProc {
    LString name;
    std::vector<SLayoutInstr> code;
    uint32_t locals = 0;
    uint32_t maxDepth = 0;
};

struct LLayoutScript::SProgram {
    std::vector<std::unique_ptr<SProc>> procs;  // in order of definition; the main procedure last
    struct SName {
        LString name;
        uint32_t slot;
    };
    std::vector<SName> globals;  // sorted by name bytes
};

// The procedure being compiled.
struct LLayoutScript::SUnit {
    struct SInfo {
        int8_t row;
        int8_t col;
        bool isConst;
        int32_t net;  // stack depth change, undone when the instruction is removed
    };
    SProc* proc;
    bool inProc;
    std::vector<SInfo> info;
    std::vector<SProgram::SName> locals;  // sorted by name bytes
    int32_t depth = 0;
    int32_t maxDepth = 0;
};

// Run-time operations.
struct LLayoutScriptOps {
    using M = LLayoutScript;
    using I = SLayoutInstr;

    static int32_t* S(M& m) { return m.fStack.data(); }
    static void Push(M& m, int32_t v) { m.fStack[m.fSp++] = v; }
    static int32_t Pop(M& m) { return m.fStack[--m.fSp]; }
    static int32_t& Top(M& m) { return m.fStack[m.fSp - 1]; }

    template <int Row>
    static int32_t& Var(M& m, const I* ip) {
        if constexpr (Row == 0)
            return m.fGlobals[size_t(ip->index)];
        else
            return reinterpret_cast<int32_t&>((*m.fFrame)[uint32_t(ip->index)]);
    }

    template <int Row, int Col>
    static const I* OpVar(M& m, const I* ip) {
        int32_t& v = Var<Row>(m, ip);
        const int32_t step = int32_t(ip->operand);
        if constexpr (Col <= 1) {
            Push(m, v);
        } else if constexpr (Col == 2) {
            v = Top(m);
        } else if constexpr (Col <= 6) {
            v = Arith(Col - 3, v, Top(m));
            Top(m) = v;
        } else if constexpr (Col == 7) {
            v = ULayoutMath::Add(v, step);
            Push(m, v);
        } else if constexpr (Col == 8) {
            v = Pop(m);
        } else if constexpr (Col <= 12) {
            v = Arith(Col - 9, v, Pop(m));
        } else if constexpr (Col == 13) {
            v = ULayoutMath::Add(v, step);
        } else if constexpr (Col == 14) {
            Push(m, v);
            v = ULayoutMath::Add(v, step);
        } else {
            Top(m) = Arith(Col - 15, Top(m), v);
        }
        return ip + 1;
    }

    // Element references act on the base value left on the stack below the index.
    template <int Col>
    static const I* OpElem(M& m, const I* ip) {
        const int32_t step = int32_t(ip->operand);
        if constexpr (Col <= 1) {
            --m.fSp;
        } else if constexpr (Col <= 6) {
            int32_t value = Pop(m);
            --m.fSp;
            Top(m) = Col == 2 ? value : Arith(Col - 3, Top(m), value);
        } else if constexpr (Col == 7) {
            --m.fSp;
            Top(m) = ULayoutMath::Add(Top(m), step);
        } else if constexpr (Col <= 12) {
            m.fSp -= 3;
        } else if constexpr (Col == 13) {
            m.fSp -= 2;
        } else {
            --m.fSp;
        }
        return ip + 1;
    }

    template <int Row, size_t... C>
    static constexpr std::array<LayoutOp, kColumns> VarRow(std::index_sequence<C...>) {
        return {OpVar<Row, int(C)>...};
    }
    template <size_t... C>
    static constexpr std::array<LayoutOp, kColumns> ElemRow(std::index_sequence<C...>) {
        return {(C < 15 ? static_cast<LayoutOp>(OpElem<int(C)>) : static_cast<LayoutOp>(nullptr))...};
    }

    static const I* PushConst(M& m, const I* ip) {
        Push(m, int32_t(ip->operand));
        return ip + 1;
    }
    static const I* PopOp(M& m, const I* ip) {
        --m.fSp;
        return ip + 1;
    }
    static const I* Not(M& m, const I* ip) {
        Top(m) = Top(m) == 0;
        return ip + 1;
    }
    static const I* Negate(M& m, const I* ip) {
        Top(m) = ULayoutMath::Neg(Top(m));
        return ip + 1;
    }
    template <int K>
    static const I* Binary(M& m, const I* ip) {
        int32_t b = Pop(m);
        int32_t& a = Top(m);
        switch (K) {
            case 0:
            case 1:
            case 2:
            case 3:
                a = Arith(K, a, b);
                break;
            case 4:
                a = a < b;
                break;
            case 5:
                a = a > b;
                break;
            case 6:
                a = a <= b;
                break;
            case 7:
                a = a >= b;
                break;
            case 8:
                a = a == b;
                break;
            default:
                a = a != b;
                break;
        }
        return ip + 1;
    }
    static const I* Jump(M&, const I* ip) { return ip + ip->index; }
    static const I* JumpIfFalse(M& m, const I* ip) { return Pop(m) == 0 ? ip + ip->index : ip + 1; }
    static const I* Nop(M&, const I* ip) { return ip + 1; }
    static const I* ArgN(M& m, const I* ip) {
        uint32_t n = uint32_t(Top(m));
        Top(m) = n < m.fArgCount ? m.fStack[m.fArgBase + n] : 0;
        return ip + 1;
    }
    static const I* ArgCount(M& m, const I* ip) {
        Push(m, int32_t(m.fArgCount));
        return ip + 1;
    }
    static const I* Call(M& m, const I* ip) {
        m.Invoke(*reinterpret_cast<const LLayoutScript::SProc*>(ip->operand), uint32_t(ip->index));
        return ip + 1;
    }
    // Stands for a call that did not compile; never runs.
    static const I* NoCall(M& m, const I* ip) {
        m.ReplaceTop(uint32_t(ip->index), 0);
        return ip + 1;
    }

    static const I* Min(M& m, const I* ip) {
        uint32_t n = uint32_t(ip->index);
        const int32_t* a = m.StackTop(n);
        int32_t v = a[0];
        for (uint32_t i = 1; i < n; ++i)
            if (a[i] < v) v = a[i];
        m.ReplaceTop(n, v);
        return ip + 1;
    }
    static const I* Max(M& m, const I* ip) {
        uint32_t n = uint32_t(ip->index);
        const int32_t* a = m.StackTop(n);
        int32_t v = a[0];
        for (uint32_t i = 1; i < n; ++i)
            if (a[i] > v) v = a[i];
        m.ReplaceTop(n, v);
        return ip + 1;
    }
    static const I* Abs(M& m, const I* ip) {
        m.ReplaceTop(1, ULayoutMath::Abs(*m.StackTop(1)));
        return ip + 1;
    }
    static const I* ArrayLength(M& m, const I* ip) {
        m.ReplaceTop(uint32_t(ip->index), 0);
        return ip + 1;
    }
};

namespace {

using Ops = LLayoutScriptOps;

const std::array<LayoutOp, kColumns> kRows[3] = {
    Ops::VarRow<0>(std::make_index_sequence<kColumns>{}),
    Ops::VarRow<1>(std::make_index_sequence<kColumns>{}),
    Ops::ElemRow(std::make_index_sequence<kColumns>{}),
};

}  // namespace

const char* LLayoutScript::ErrorName(int code) {
    static const char* const kNames[] = {"",        "Memory",  "Stack",    "EOF",      "Prim",  "Close",
                                         "ArgList", "NumArgs", "NoMethod", "NoLvalue", "Member"};
    return code >= 0 && code <= kMember ? kNames[code] : "";
}

LLayoutScript::LLayoutScript() = default;
LLayoutScript::~LLayoutScript() = default;

void LLayoutScript::InstallBuiltins() {
    DefineBuiltin("min", Ops::Min, 1, 255);
    DefineBuiltin("max", Ops::Max, 1, 255);
    DefineBuiltin("abs", Ops::Abs, 1, 1);
    DefineBuiltin("arraylength", Ops::ArrayLength, 1, 1);
}

void LLayoutScript::CompileDone() {}

int LLayoutScript::StringToken() {
    return kName;
}

void LLayoutScript::DefineBuiltin(const LString& name, LayoutOp op, uint8_t minArgs, uint8_t maxArgs) {
    fBuiltins.push_back(SBuiltin{name, op, minArgs, maxArgs});
}

// ---- Lexer

bool LLayoutScript::Peek(unsigned char& c) {
    return !fStopped && fSource && fSource->Get(c);
}

void LLayoutScript::Next() {
    fPrevToken = fToken;
    unsigned char c, d;
    for (;;) {
        if (!Peek(c)) {
            fToken = kEnd;
            return;
        }
        if (IsNameStart(c)) {
            ReadName(c);
            return;
        }
        if (std::isdigit(c)) {
            ReadNumber(c);
            return;
        }
        switch (c) {
            case '"':
                ReadString();
                fToken = StringToken();
                return;
            case '.':
                // Directly after a name a point is member access, so "a.5" is not a number.
                if (fPrevToken != kName && Peek(d)) {
                    fSource->Unget();
                    if (std::isdigit(d)) {
                        ReadNumber(c);
                        return;
                    }
                }
                fToken = '.';
                return;
            case '$':
                if (Peek(d)) {
                    if (d == '#') {
                        fToken = kArgCount;
                        return;
                    }
                    fSource->Unget();
                }
                fToken = '$';
                return;
            case '/':
                if (Peek(d)) {
                    if (d == '*') {
                        SkipBlockComment();
                        continue;
                    }
                    if (d == '/') {
                        SkipLineComment();
                        continue;
                    }
                    if (d == '=') {
                        fToken = Op2('/');
                        return;
                    }
                    fSource->Unget();
                }
                fToken = '/';
                return;
            case '!':
            case '<':
            case '=':
            case '>':
            case '*':
            case '+':
            case '-':
                fToken = c;
                if (Peek(d)) {
                    if (d == '=')
                        fToken = Op2(char(c));
                    else if ((c == '+' || c == '-') && d == c)
                        fToken = Inc2(char(c));
                    else
                        fSource->Unget();
                }
                return;
            case '#':
            case '&':
            case '(':
            case ')':
            case ',':
            case ':':
            case ';':
            case '?':
            case '@':
            case '[':
            case ']':
            case '^':
            case '|':
                fToken = c;
                return;
            default:
                break;  // blanks and bytes that start no token
        }
    }
}

void LLayoutScript::ReadName(unsigned char first) {
    fText.Reset();
    fText.Append(first);
    unsigned char c;
    while (Peek(c)) {
        if (!IsNameByte(c)) {
            fSource->Unget();
            break;
        }
        fText.Append(c);
    }
    fToken = kName;
}

void LLayoutScript::ReadNumber(unsigned char first) {
    fText.Reset();
    fText.Append(first);
    bool point = first == '.';
    unsigned char c;
    while (Peek(c)) {
        if (c == '.' && !point) {
            point = true;
        } else if (!std::isdigit(c)) {
            fSource->Unget();
            break;
        }
        fText.Append(c);
    }
    // The integer part; the low 32 bits of what strtol gives, as the language wraps.
    fNumber = int32_t(uint32_t(std::strtol(fText.CStr(), nullptr, 10)));
    fToken = kNumber;
}

void LLayoutScript::ReadString() {
    fText.Reset();
    unsigned char c;
    for (;;) {
        bool closed = false;
        while (Peek(c)) {
            if (c == '"') {
                closed = true;
                break;
            }
            if (c == '\\') {
                if (!Peek(c)) break;
                c = c == 't' ? '\t' : c == 'n' ? '\n' : c;
            }
            fText.Append(c);
        }
        if (!closed) return;
        // Literals separated only by white space are joined.
        bool more = false;
        while (Peek(c)) {
            if (std::isspace(c)) continue;
            if (c == '"')
                more = true;
            else
                fSource->Unget();
            break;
        }
        if (!more) return;
    }
}

void LLayoutScript::SkipBlockComment() {
    unsigned char c;
    bool star = false;
    while (Peek(c)) {
        if (star && c == '/') return;
        star = c == '*';
    }
}

void LLayoutScript::SkipLineComment() {
    unsigned char c;
    while (Peek(c))
        if (c == '\n' || c == '\r') return;
}

// ---- Code

void LLayoutScript::RaiseError(int code) {
    if (fError) return;
    fError = code;
    if (fSource) fSource->Error(ErrorName(code));
}

size_t LLayoutScript::Emit(LayoutOp op, intptr_t operand, int32_t index, int32_t pops, int32_t pushes,
                           int row, int col, bool isConst) {
    SUnit& u = *fUnit;
    const int32_t before = u.depth;
    if (u.depth < pops) {
        RaiseError(kStack);
        u.depth = 0;
    } else {
        u.depth -= pops;
    }
    u.depth += pushes;
    if (u.depth > u.maxDepth) u.maxDepth = u.depth;
    u.proc->code.push_back(SLayoutInstr{op, operand, index});
    u.info.push_back(SUnit::SInfo{int8_t(row), int8_t(col), isConst, u.depth - before});
    return u.proc->code.size() - 1;
}

void LLayoutScript::EmitVar(int row, int col, int32_t slot, int32_t operand) {
    int32_t pops, pushes;
    VarEffect(row, col, pops, pushes);
    Emit(kRows[row][size_t(col)], operand, slot, pops, pushes, row, col);
}

void LLayoutScript::EmitConst(int32_t value) {
    Emit(Ops::PushConst, value, 0, 0, 1, -1, -1, true);
}

void LLayoutScript::EmitEnd() {
    fUnit->proc->code.push_back(SLayoutInstr{nullptr, 0, 0});
}

void LLayoutScript::RemoveLast() {
    SUnit& u = *fUnit;
    if (u.info.empty()) return;
    u.depth -= u.info.back().net;
    if (u.depth < 0) u.depth = 0;
    u.info.pop_back();
    u.proc->code.pop_back();
}

void LLayoutScript::PatchJump(size_t at, size_t target) {
    std::vector<SLayoutInstr>& code = fUnit->proc->code;
    if (at < code.size()) code[at].index = int32_t(target) - int32_t(at);
}

// Drops the value of the expression just compiled, by its last instruction.
void LLayoutScript::Discard() {
    SUnit& u = *fUnit;
    if (!u.info.empty()) {
        const SUnit::SInfo last = u.info.back();
        const SLayoutInstr instr = u.proc->code.back();
        if (last.isConst || (last.row >= 0 && last.row < 2 && (last.col == kLoad || last.col == kRef))) {
            RemoveLast();
            return;
        }
        if (last.row >= 0 && ((last.col >= kAssign && last.col <= kPreInc) || last.col == kPostInc)) {
            RemoveLast();
            EmitVar(last.row, last.col == kPostInc ? kPreInc + 6 : last.col + 6, instr.index,
                    int32_t(instr.operand));
            return;
        }
    }
    Emit(Ops::PopOp, 0, 0, 1, 0);
}

// The last instruction must load or reference a variable; it is removed and its place returned.
bool LLayoutScript::TakeTarget(int& row, int32_t& slot) {
    SUnit& u = *fUnit;
    if (u.info.empty() || u.info.back().row < 0 ||
        (u.info.back().col != kLoad && u.info.back().col != kRef)) {
        RaiseError(kNoLvalue);
        return false;
    }
    row = u.info.back().row;
    slot = u.proc->code.back().index;
    RemoveLast();
    return true;
}

void LLayoutScript::EmitArith(int op) {
    const int k = op == '+' ? 0 : op == '-' ? 1 : op == '*' ? 2 : 3;
    SUnit& u = *fUnit;
    if (!u.info.empty() && u.info.back().row >= 0 && u.info.back().row < 2 && u.info.back().col == kLoad) {
        const int row = u.info.back().row;
        const int32_t slot = u.proc->code.back().index;
        RemoveLast();
        EmitVar(row, kFused + k, slot);
        return;
    }
    static const LayoutOp kGeneric[4] = {Ops::Binary<0>, Ops::Binary<1>, Ops::Binary<2>, Ops::Binary<3>};
    Emit(kGeneric[k], 0, 0, 2, 1);
}

uint32_t LLayoutScript::MemberIndex(const LString& name) {
    for (size_t i = 0; i < fMembers.size(); ++i)
        if (SameName(fMembers[i], name)) return uint32_t(i);
    fMembers.push_back(name);
    return uint32_t(fMembers.size() - 1);
}

// ---- Parser

bool LLayoutScript::Enter() {
    if (fNesting >= kMaxNesting) {
        // Too deep to compile: stop reading, which unwinds at once.
        RaiseError(kMemory);
        fStopped = true;
        fToken = kEnd;
        return false;
    }
    ++fNesting;
    return true;
}

namespace {
struct SLeave {
    uint32_t& nesting;
    ~SLeave() { --nesting; }
};
}  // namespace

void LLayoutScript::Compile(CLayoutScriptSource& source) {
    fProgram = std::make_shared<SProgram>();
    fGlobals.clear();
    fGlobalCount = 0;
    fError = kNoError;
    fReport = LString();
    fMembers.clear();
    fBuiltins.clear();
    fNesting = 0;
    fStopped = false;
    fSource = &source;
    fToken = kEnd;
    fPrevToken = kEnd;

    auto main = std::make_unique<SProc>();
    SUnit unit{main.get(), false, {}, {}, 0, 0};
    fUnit = &unit;
    InstallBuiltins();

    Next();
    TopLevel();
    EmitEnd();
    main->maxDepth = uint32_t(unit.maxDepth);

    if (fError && source.HasError()) {
        LVariStr<64> report;
        source.Report(report);
        fReport = LString(report);
#ifndef NDEBUG
        // Debug builds can show it to the layout's author; the user never sees it.
        if (std::getenv("ORBILUME_LAYOUT_DEBUG")) std::fprintf(stderr, "layout script: %s", fReport.CStr());
#endif
    }
    fSource = nullptr;
    fBuiltins.clear();
    fUnit = nullptr;
    CompileDone();

    if (!Reserve(uint64_t{main->maxDepth} + 1) && !fError) fError = kMemory;
    fProgram->procs.push_back(std::move(main));
    fGlobals.assign(fGlobalCount, 0);
}

void LLayoutScript::TopLevel() {
    while (fToken != kEnd) {
        Assignment();
        if (fToken == ';') {
            Discard();
            Next();
        } else if (fToken != kEnd) {
            Next();  // one stray token is skipped at top level
        }
    }
}

// Assignment expressions separated by ";", up to ")" or the end.
void LLayoutScript::Sequence() {
    for (;;) {
        Assignment();
        if (fToken != ';') return;
        Discard();
        Next();
        if (fToken == ')' || fToken == kEnd) return;
    }
}

void LLayoutScript::Assignment() {
    if (!Enter()) return;
    SLeave leave{fNesting};
    Conditional();
    int col;
    switch (fToken) {
        case '=':
            col = kAssign;
            break;
        case Op2('+'):
            col = 3;
            break;
        case Op2('-'):
            col = 4;
            break;
        case Op2('*'):
            col = 5;
            break;
        case Op2('/'):
            col = 6;
            break;
        default:
            return;
    }
    int row = 0;
    int32_t slot = 0;
    const bool ok = TakeTarget(row, slot);
    Next();
    Assignment();
    if (ok) EmitVar(row, col, slot);
}

void LLayoutScript::Conditional() {
    if (!Enter()) return;
    SLeave leave{fNesting};
    Or();
    if (fToken != '?') return;
    Next();
    const size_t toElse = Emit(Ops::JumpIfFalse, 0, 0, 1, 0);
    const int32_t base = fUnit->depth;
    Assignment();
    const int32_t thenDepth = fUnit->depth;
    const size_t toEnd = Emit(Ops::Jump, 0, 0, 0, 0);
    PatchJump(toElse, fUnit->proc->code.size());
    fUnit->depth = base;
    if (fToken == ':') {
        Next();
        Conditional();
    } else {
        EmitConst(0);
    }
    // Both branches must leave the same values, or the stack would not match the code.
    if (fUnit->depth != thenDepth) RaiseError(kStack);
    PatchJump(toEnd, fUnit->proc->code.size());
    Emit(Ops::Nop, 0, 0, 0, 0);
}

void LLayoutScript::Or() {
    if (!Enter()) return;
    SLeave leave{fNesting};
    And();
    if (fToken != '|') return;
    Next();
    const size_t toRight = Emit(Ops::JumpIfFalse, 0, 0, 1, 0);
    EmitConst(1);
    const int32_t trueDepth = fUnit->depth;
    const size_t toEnd = Emit(Ops::Jump, 0, 0, 0, 0);
    PatchJump(toRight, fUnit->proc->code.size());
    fUnit->depth = trueDepth - 1;
    Or();
    if (fUnit->depth != trueDepth) RaiseError(kStack);
    PatchJump(toEnd, fUnit->proc->code.size());
    Emit(Ops::Nop, 0, 0, 0, 0);
}

void LLayoutScript::And() {
    if (!Enter()) return;
    SLeave leave{fNesting};
    Equality();
    if (fToken != '&') return;
    Next();
    const size_t toFalse = Emit(Ops::JumpIfFalse, 0, 0, 1, 0);
    const int32_t base = fUnit->depth;
    And();
    const int32_t rightDepth = fUnit->depth;
    const size_t toEnd = Emit(Ops::Jump, 0, 0, 0, 0);
    PatchJump(toFalse, fUnit->proc->code.size());
    fUnit->depth = base;
    EmitConst(0);
    if (fUnit->depth != rightDepth) RaiseError(kStack);
    PatchJump(toEnd, fUnit->proc->code.size());
    Emit(Ops::Nop, 0, 0, 0, 0);
}

void LLayoutScript::Equality() {
    Relation();
    while (fToken == Op2('=') || fToken == Op2('!')) {
        const LayoutOp op = fToken == Op2('=') ? Ops::Binary<8> : Ops::Binary<9>;
        Next();
        Relation();
        Emit(op, 0, 0, 2, 1);
    }
}

void LLayoutScript::Relation() {
    Sum();
    for (;;) {
        LayoutOp op;
        if (fToken == '<')
            op = Ops::Binary<4>;
        else if (fToken == '>')
            op = Ops::Binary<5>;
        else if (fToken == Op2('<'))
            op = Ops::Binary<6>;
        else if (fToken == Op2('>'))
            op = Ops::Binary<7>;
        else
            return;
        Next();
        Sum();
        Emit(op, 0, 0, 2, 1);
    }
}

void LLayoutScript::Sum() {
    Product();
    while (fToken == '+' || fToken == '-') {
        const int op = fToken;
        Next();
        Product();
        EmitArith(op);
    }
}

void LLayoutScript::Product() {
    Unary();
    while (fToken == '*' || fToken == '/') {
        const int op = fToken;
        Next();
        Unary();
        EmitArith(op);
    }
}

void LLayoutScript::Unary() {
    if (!Enter()) return;
    SLeave leave{fNesting};
    if (fToken == '+') {
        Next();
        Unary();
    } else if (fToken == '-') {
        Next();
        if (fToken == kNumber) {
            EmitConst(ULayoutMath::Neg(fNumber));
            Next();
        } else {
            Unary();
            Emit(Ops::Negate, 0, 0, 1, 1);
        }
    } else if (fToken == '!') {
        Next();
        Unary();
        Emit(Ops::Not, 0, 0, 1, 1);
    } else if (fToken == Inc2('+') || fToken == Inc2('-')) {
        const int32_t step = fToken == Inc2('+') ? 1 : -1;
        Next();
        Unary();
        int row = 0;
        int32_t slot = 0;
        if (TakeTarget(row, slot)) EmitVar(row, kPreInc, slot, step);
    } else {
        Postfix();
    }
}

// The base of "[" or "." must be a variable; a load becomes a reference.
bool LLayoutScript::ElementBase() {
    SUnit& u = *fUnit;
    if (u.info.empty() || u.info.back().row < 0 ||
        (u.info.back().col != kLoad && u.info.back().col != kRef)) {
        RaiseError(kNoLvalue);
        return false;
    }
    if (u.info.back().col == kLoad) {
        const int row = u.info.back().row;
        const int32_t slot = u.proc->code.back().index;
        RemoveLast();
        EmitVar(row, kRef, slot);
    }
    return true;
}

void LLayoutScript::Postfix() {
    Primary();
    for (;;) {
        if (fToken == Inc2('+') || fToken == Inc2('-')) {
            const int32_t step = fToken == Inc2('+') ? 1 : -1;
            int row = 0;
            int32_t slot = 0;
            if (TakeTarget(row, slot)) EmitVar(row, kPostInc, slot, step);
            Next();
        } else if (fToken == '[') {
            ElementBase();
            Next();
            Assignment();
            if (fToken == ']')
                Next();
            else
                RaiseError(kClose);
            EmitVar(2, kRef, 0);
        } else if (fToken == '.') {
            ElementBase();
            Next();
            if (fToken != kName) {
                RaiseError(kMember);
                return;
            }
            EmitConst(int32_t(MemberIndex(LString(fText))));
            Next();
            EmitVar(2, kRef, 0);
        } else {
            return;
        }
    }
}

void LLayoutScript::Primary() {
    if (!Enter()) return;
    SLeave leave{fNesting};
    switch (fToken) {
        case kNumber:
            EmitConst(fNumber);
            Next();
            return;
        case kName: {
            const LString name(fText);
            Next();
            if (fToken == '#')
                ProcDefinition(name);
            else if (fToken == '(')
                CallExpression(name);
            else
                Variable(name);
            return;
        }
        case kArgCount:
            Emit(Ops::ArgCount, 0, 0, 0, 1);
            Next();
            return;
        case '$':
            Next();
            Primary();
            Emit(Ops::ArgN, 0, 0, 1, 1);
            return;
        case '(':
            Parenthesised();
            return;
        case '@':
            Next();
            Loop();
            return;
        default:
            RaiseError(kPrim);
            return;
    }
}

void LLayoutScript::Parenthesised() {
    Next();
    if (fToken == ')') {
        EmitConst(0);
        Next();
        return;
    }
    Sequence();
    if (fToken == ')')
        Next();
    else
        RaiseError(fToken == kEnd ? kEOF : kClose);
}

void LLayoutScript::Loop() {
    const size_t top = fUnit->proc->code.size();
    Assignment();
    const size_t toExit = Emit(Ops::JumpIfFalse, 0, 0, 1, 0);
    const int32_t base = fUnit->depth;
    Assignment();
    Discard();
    if (fUnit->depth != base) RaiseError(kStack);
    const size_t back = Emit(Ops::Jump, 0, 0, 0, 0);
    PatchJump(back, top);
    PatchJump(toExit, fUnit->proc->code.size());
    EmitConst(0);
}

void LLayoutScript::ProcDefinition(const LString& name) {
    // Listed only after its body is compiled: in the body the name still means an earlier
    // procedure of that name (or a built-in), so a redefinition can wrap what it replaces.
    auto made = std::make_unique<SProc>();
    SProc* proc = made.get();
    proc->name = name;
    SUnit unit{proc, true, {}, {}, 0, 0};
    SUnit* outer = fUnit;
    fUnit = &unit;
    Next();
    Primary();
    EmitEnd();
    proc->locals = uint32_t(unit.locals.size());
    proc->maxDepth = uint32_t(unit.maxDepth);
    fUnit = outer;
    if (proc->maxDepth >= kMaxStack) RaiseError(kMemory);
    fProgram->procs.push_back(std::move(made));
    EmitConst(0);
}

void LLayoutScript::CallExpression(const LString& name) {
    Next();  // past "("
    int32_t count = 0;
    if (fToken == ')') {
        Next();
    } else {
        for (;;) {
            Assignment();
            ++count;
            if (fToken == ',') {
                Next();
                continue;
            }
            if (fToken == ')') {
                Next();
                break;
            }
            RaiseError(fToken == kEnd ? kEOF : kArgList);
            break;
        }
    }
    for (size_t i = fProgram->procs.size(); i-- > 0;) {
        const SProc* proc = fProgram->procs[i].get();
        if (SameName(proc->name, name)) {
            Emit(Ops::Call, reinterpret_cast<intptr_t>(proc), count, count, 1);
            return;
        }
    }
    for (size_t i = fBuiltins.size(); i-- > 0;) {
        const SBuiltin& b = fBuiltins[i];
        if (SameName(b.name, name)) {
            if (count < b.minArgs || count > b.maxArgs) {
                RaiseError(kNumArgs);
                Emit(Ops::NoCall, 0, count, count, 1);
            } else {
                Emit(b.op, 0, count, count, 1);
            }
            return;
        }
    }
    RaiseError(kNoMethod);
    Emit(Ops::NoCall, 0, count, count, 1);
}

namespace {
// Halving search of a table sorted by name bytes: the index of the name, or of its place.
template <class Table>
size_t FindName(const Table& table, const LString& name, bool& found) {
    size_t lo = 0, hi = table.size();
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        int c = CompareNames(table[mid].name, name.Text(), name.Length());
        if (c == 0) {
            found = true;
            return mid;
        }
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    found = false;
    return lo;
}
}  // namespace

void LLayoutScript::Variable(const LString& name) {
    bool found;
    std::vector<SProgram::SName>& globals = fProgram->globals;
    size_t at = FindName(globals, name, found);
    if (found) {
        EmitVar(0, kLoad, int32_t(globals[at].slot));
        return;
    }
    if (!fUnit->inProc) {
        globals.insert(globals.begin() + long(at), SProgram::SName{name, fGlobalCount});
        EmitVar(0, kLoad, int32_t(fGlobalCount++));
        return;
    }
    std::vector<SProgram::SName>& locals = fUnit->locals;
    size_t local = FindName(locals, name, found);
    if (!found) locals.insert(locals.begin() + long(local), SProgram::SName{name, uint32_t(locals.size())});
    EmitVar(1, kLoad, int32_t(locals[local].slot));
}

// ---- Machine

bool LLayoutScript::Reserve(uint64_t size) {
    if (size > kMaxStack) return false;
    if (fStack.size() < size) fStack.resize(size_t(size));
    return true;
}

void LLayoutScript::Invoke(const SProc& proc, uint32_t count) {
    PLAT_DCHECK(fSp >= count);  // the compiler's stack accounting put the arguments there
    const uint32_t base = fSp - count;
    CU32Array frame;
    bool ok = fCallDepth < kMaxCallDepth && Reserve(uint64_t{fSp} + proc.maxDepth + 1);
    for (uint32_t i = 0; ok && i < proc.locals; ++i) ok = frame.Insert(i, 0);
    if (!ok) {
        // Too deep (a procedure that keeps calling itself): the call answers 0.
        fSp = base;
        fStack[fSp++] = 0;
        return;
    }
    const uint32_t callerBase = fArgBase, callerCount = fArgCount;
    CU32Array* callerFrame = fFrame;
    fArgBase = base;
    fArgCount = count;
    fFrame = &frame;
    ++fCallDepth;
    Execute(proc);
    --fCallDepth;
    const int32_t result = fSp > base + count ? fStack[fSp - 1] : 0;
    fStack[base] = result;
    fSp = base + 1;
    fArgBase = callerBase;
    fArgCount = callerCount;
    fFrame = callerFrame;
}

void LLayoutScript::Execute(const SProc& proc) {
    const SLayoutInstr* ip = proc.code.data();
    while (ip->op) {
        if (++fSteps > fStepLimit) {
            fAborted = true;
            return;
        }
        ip = ip->op(*this, ip);
    }
}

int LLayoutScript::Run(const LString& name, uint32_t count, const int32_t* args, int32_t& result) {
    if (fRunning || !fProgram || fError) return 0;
    const SProc* proc = nullptr;
    for (size_t i = fProgram->procs.size(); i-- > 0 && !proc;)
        if (SameName(fProgram->procs[i]->name, name)) proc = fProgram->procs[i].get();
    if (!proc || !Reserve(uint64_t{count} + proc->maxDepth + 1)) return 0;

    std::shared_ptr<SProgram> keep = fProgram;
    fRunning = true;
    fSteps = 0;
    fAborted = false;
    fCallDepth = 0;
    fFrame = nullptr;
    fSp = count;
    for (uint32_t i = 0; i < count; ++i) fStack[i] = args[i];
    Invoke(*proc, count);
    const bool ran = !fAborted;
    if (ran) result = fStack[0];
    fSp = 0;
    fRunning = false;
    return ran ? 1 : 0;
}
