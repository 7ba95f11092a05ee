#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"

// Evaluator of the integer expression language of layout descriptions: variables, text macros
// with positional arguments, a counted loop over the arguments, and native functions.
class LLayoutExpr {
public:
    // A native function reads its arguments through Argument and ArgumentCount.
    using Function = int32_t (*)(LLayoutExpr& expr);

    // Bounds: nested factors and calls, macro call depth, and work per evaluation (calls and loop
    // passes). A call past the depth answers 0; past the work limit the evaluation ends with 0.
    static constexpr uint32_t kMaxNesting = 256;
    static constexpr uint32_t kMaxCallDepth = 64;
    static constexpr uint32_t kDefaultStepLimit = 100000;

    LLayoutExpr();
    LLayoutExpr(const LLayoutExpr&) = delete;
    LLayoutExpr& operator=(const LLayoutExpr&) = delete;
    virtual ~LLayoutExpr();

    // Evaluates the text as a program; the value of its last expression, 0 for an empty text.
    int32_t Evaluate(const LString& text);

    int32_t DefineVariable(const LString& name, int32_t value);
    void DefineFunction(const LString& name, Function fn);

    int32_t Argument(int32_t i) const;
    uint32_t ArgumentCount() const { return fArgCount; }
    // The arguments of the current call, ArgumentCount() of them.
    const int32_t* Arguments() const { return fArgs.data() + (fArgBase - fArgCount); }

    void SetStepLimit(uint32_t steps) { fStepLimit = steps; }

    struct SVariable {
        LString name;
        int32_t value;
    };
    struct SMacro {
        LString name;
        LString body;
    };

protected:
    // Newest last: the head of the list is the back of the vector.
    std::vector<SVariable> fVariables;
    std::vector<SMacro> fMacros;

private:
    struct SInput {
        LString text;  // keeps a macro body alive while it runs, even if it is redefined
        uint32_t pos = 0;
    };
    struct SFunction {
        LString name;
        Function fn;
    };
    struct SCallFrame {
        uint32_t localCount;
        uint32_t argCount;
        uint32_t argBase;
        SInput input;
    };

    void Next();
    bool GetByte(unsigned char& c);
    void UngetByte() { --fInput.pos; }
    bool Step();

    int32_t Program();
    int32_t Sum();
    int32_t Product();
    int32_t Factor();
    int32_t Parenthesised();
    int32_t CountedLoop(const LString& name);
    int32_t Call(const LString& name);
    int32_t Lookup(const LString& name) const;
    const SMacro* FindMacro(const LString& name) const;
    void DefineMacro(const LString& name, const LString& body);

    int fToken = 0;
    int32_t fNumber = 0;
    LString fText;
    uint32_t fLocalCount = 0;
    uint32_t fArgCount = 0;
    uint32_t fArgBase = 0;
    SInput fInput;
    bool fEvaluating = false;
    std::vector<SFunction> fFunctions;
    std::vector<int32_t> fArgs;
    std::vector<SCallFrame> fCalls;
    uint32_t fNesting = 0;
    uint32_t fSteps = 0;
    uint32_t fStepLimit = kDefaultStepLimit;
    bool fAborted = false;
};
