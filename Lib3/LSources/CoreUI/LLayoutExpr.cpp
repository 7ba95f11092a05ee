#include "Lib3/LSources/CoreUI/LLayoutExpr.h"

#include <cctype>
#include <cstring>

#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreUI/LLayoutPanes.h"

namespace {

enum : int { kEnd = 0, kNumber = 256, kName = 257, kBlock = 258 };

bool IsNameStart(unsigned char c) {
    return std::isalpha(c) || c == '_';
}
bool IsNameByte(unsigned char c) {
    return std::isalnum(c) || c == '_';
}

bool SameText(const LString& a, const LString& b) {
    return a.Length() == b.Length() && std::memcmp(a.Text(), b.Text(), a.Length()) == 0;
}

int32_t FnSqrt(LLayoutExpr& e) {
    return e.ArgumentCount() ? ULayoutMath::Sqrt(e.Argument(0)) : 0;
}

int32_t FnMin(LLayoutExpr& e) {
    uint32_t n = e.ArgumentCount();
    if (!n) return 0;
    int32_t v = e.Argument(0);
    for (uint32_t i = 1; i < n; ++i)
        if (e.Argument(int32_t(i)) < v) v = e.Argument(int32_t(i));
    return v;
}

int32_t FnMax(LLayoutExpr& e) {
    uint32_t n = e.ArgumentCount();
    if (!n) return 0;
    int32_t v = e.Argument(0);
    for (uint32_t i = 1; i < n; ++i)
        if (e.Argument(int32_t(i)) > v) v = e.Argument(int32_t(i));
    return v;
}

}  // namespace

LLayoutExpr::LLayoutExpr() {
    DefineFunction("sqrt", FnSqrt);
    DefineFunction("min", FnMin);
    DefineFunction("max", FnMax);
}

LLayoutExpr::~LLayoutExpr() = default;

int32_t LLayoutExpr::Evaluate(const LString& text) {
    if (text.IsEmpty() || fEvaluating) return 0;
    fEvaluating = true;
    fInput = SInput{text, 0};
    fNesting = 0;
    fSteps = 0;
    fAborted = false;
    int32_t value = Program();
    fInput = SInput{};
    fEvaluating = false;
    return fAborted ? 0 : value;
}

int32_t LLayoutExpr::DefineVariable(const LString& name, int32_t value) {
    for (size_t i = 0; i < fLocalCount; ++i) {
        SVariable& v = fVariables[fVariables.size() - 1 - i];
        if (SameText(v.name, name)) {
            v.value = value;
            return value;
        }
    }
    fVariables.push_back(SVariable{name, value});
    ++fLocalCount;
    return value;
}

void LLayoutExpr::DefineFunction(const LString& name, Function fn) {
    for (SFunction& f : fFunctions) {
        if (SameText(f.name, name)) {
            f.fn = fn;
            return;
        }
    }
    fFunctions.push_back(SFunction{name, fn});
}

int32_t LLayoutExpr::Argument(int32_t i) const {
    if (i < 0 || uint32_t(i) >= fArgCount) return 0;
    return fArgs[fArgBase - fArgCount + uint32_t(i)];
}

bool LLayoutExpr::Step() {
    if (fAborted) return false;
    if (++fSteps > fStepLimit) fAborted = true;
    return !fAborted;
}

bool LLayoutExpr::GetByte(unsigned char& c) {
    if (fInput.pos >= fInput.text.Length()) return false;
    c = fInput.text.Text()[fInput.pos++];
    return true;
}

void LLayoutExpr::Next() {
    unsigned char c;
    for (;;) {
        if (fAborted || !GetByte(c)) {
            fToken = kEnd;
            return;
        }
        switch (c) {
            case '\n':
            case '\r':
                fToken = ';';
                return;
            case '%':
            case '(':
            case ')':
            case '*':
            case '+':
            case ',':
            case '-':
            case '/':
            case ';':
            case '=':
                fToken = c;
                return;
            case '#': {
                const unsigned char* start = fInput.text.Text() + fInput.pos;
                uint32_t length = 0;
                while (GetByte(c) && c != '#') ++length;
                fText = LString(start, length);
                fToken = kBlock;
                return;
            }
            default:
                break;
        }
        if (std::isdigit(c)) {
            uint32_t v = uint32_t(c - '0');
            while (GetByte(c)) {
                if (!std::isdigit(c)) {
                    UngetByte();
                    break;
                }
                v = v * 10 + uint32_t(c - '0');
            }
            fNumber = int32_t(v);
            fToken = kNumber;
            return;
        }
        if (IsNameStart(c)) {
            const unsigned char* start = fInput.text.Text() + fInput.pos - 1;
            uint32_t length = 1;
            while (GetByte(c)) {
                if (!IsNameByte(c)) {
                    UngetByte();
                    break;
                }
                ++length;
            }
            fText = LString(start, length);
            fToken = kName;
            return;
        }
        // Blanks and every other byte are skipped.
    }
}

int32_t LLayoutExpr::Program() {
    int32_t value = 0;
    Next();
    while (fToken != kEnd) {
        value = Sum();
        Next();  // the separator, or whatever token ended the expression
    }
    return value;
}

int32_t LLayoutExpr::Sum() {
    int32_t value = Product();
    while (fToken == '+' || fToken == '-') {
        int op = fToken;
        Next();
        int32_t right = Product();
        value = op == '+' ? ULayoutMath::Add(value, right) : ULayoutMath::Sub(value, right);
    }
    return value;
}

int32_t LLayoutExpr::Product() {
    int32_t value = Factor();
    while (fToken == '*' || fToken == '/') {
        int op = fToken;
        Next();
        int32_t right = Factor();
        if (op == '*') {
            value = ULayoutMath::Mul(value, right);
        } else {
            // A zero divisor ends the product; the token after it is left to the caller.
            if (right == 0) return 0;
            value = ULayoutMath::Div(value, right);
        }
    }
    return value;
}

int32_t LLayoutExpr::Factor() {
    // Too deep: answer 0 and leave the token, which the enclosing loops skip.
    if (fNesting >= kMaxNesting) return 0;
    ++fNesting;
    int32_t value = 0;
    switch (fToken) {
        case kNumber:
            value = fNumber;
            Next();
            break;
        case '-':
            Next();
            value = ULayoutMath::Neg(Factor());
            break;
        case '(':
            value = Parenthesised();
            break;
        case kName: {
            LString name = fText;
            Next();
            if (fToken == '=') {
                Next();
                value = DefineVariable(name, Sum());
            } else if (fToken == kBlock) {
                DefineMacro(name, fText);
                Next();
            } else if (fToken == '(') {
                value = Call(name);
            } else {
                value = Lookup(name);
            }
            break;
        }
        case '%':
            Next();
            if (fToken == kNumber) {
                value = Argument(fNumber);
                Next();
            } else if (fToken == kName) {
                LString name = fText;
                Next();
                if (fToken == '(')
                    value = CountedLoop(name);
                else
                    value = Argument(Lookup(name));
            }
            break;
        default:
            break;  // not a factor: 0, token left to the caller
    }
    --fNesting;
    return value;
}

int32_t LLayoutExpr::Parenthesised() {
    int32_t value = 0;
    Next();
    while (fToken != ')' && fToken != kEnd) {
        value = Sum();
        if (fToken != ')' && fToken != kEnd) Next();
    }
    if (fToken == ')') Next();
    return value;
}

int32_t LLayoutExpr::CountedLoop(const LString& name) {
    const uint32_t bodyStart = fInput.pos;  // just after the "("
    while (Step()) {
        Next();
        while (fToken != ')' && fToken != kEnd) {
            Sum();
            if (fToken != ')' && fToken != kEnd) Next();
        }
        int32_t i = DefineVariable(name, ULayoutMath::Add(Lookup(name), 1));
        if (int64_t{i} < int64_t{fArgCount} && !fAborted) {
            fInput.pos = bodyStart;
            continue;
        }
        break;
    }
    if (fToken == ')') Next();
    return 0;
}

int32_t LLayoutExpr::Call(const LString& name) {
    // The token is "(".
    uint32_t count = 0;
    Next();
    if (fToken == ')') {
        fArgs.push_back(0);
        count = 1;
    } else {
        for (;;) {
            fArgs.push_back(Sum());
            ++count;
            if (fToken != ',') break;
            Next();
        }
    }

    int32_t value = 0;
    if (fCalls.size() < kMaxCallDepth && Step()) {
        fCalls.push_back(SCallFrame{fLocalCount, fArgCount, fArgBase, fInput});
        fLocalCount = 0;
        fArgCount = count;
        fArgBase = uint32_t(fArgs.size());
        if (const SMacro* macro = FindMacro(name)) {
            fInput = SInput{macro->body, 0};
            value = Program();
        } else {
            for (const SFunction& f : fFunctions) {
                if (SameText(f.name, name)) {
                    value = f.fn(*this);
                    break;
                }
            }
        }
        fVariables.resize(fVariables.size() - fLocalCount);
        SCallFrame& caller = fCalls.back();
        fLocalCount = caller.localCount;
        fArgCount = caller.argCount;
        fArgBase = caller.argBase;
        fInput = caller.input;
        fCalls.pop_back();
    }
    Next();  // past the ")"
    fArgs.resize(fArgs.size() - count);
    return value;
}

int32_t LLayoutExpr::Lookup(const LString& name) const {
    for (size_t i = fVariables.size(); i-- > 0;)
        if (SameText(fVariables[i].name, name)) return fVariables[i].value;
    return 0;
}

const LLayoutExpr::SMacro* LLayoutExpr::FindMacro(const LString& name) const {
    for (const SMacro& m : fMacros)
        if (SameText(m.name, name)) return &m;
    return nullptr;
}

void LLayoutExpr::DefineMacro(const LString& name, const LString& body) {
    for (SMacro& m : fMacros) {
        if (SameText(m.name, name)) {
            m.body = body;
            return;
        }
    }
    fMacros.push_back(SMacro{name, body});
}
