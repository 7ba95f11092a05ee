#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreString/LVariStr.h"

class CLayoutScriptSource;
class CU32Array;
class LLayoutScript;
struct SLayoutInstr;

// The native function that executes an instruction; it returns the next instruction.
using LayoutOp = const SLayoutInstr* (*)(LLayoutScript& machine, const SLayoutInstr* ip);

// Threaded code: operation, operand (constant, increment or procedure), index (variable slot,
// argument count or jump distance in instructions). Code ends with a null operation.
struct SLayoutInstr {
    LayoutOp op;
    intptr_t operand;
    int32_t index;
};

// Compiler and stack machine of the layout-script language: a small C-like integer language
// compiled once into threaded code, whose procedures run by name.
class LLayoutScript {
public:
    enum EError : int {
        kNoError = 0,
        kMemory = 1,
        kStack,
        kEOF,
        kPrim,
        kClose,
        kArgList,
        kNumArgs,
        kNoMethod,
        kNoLvalue,
        kMember,
    };
    static const char* ErrorName(int code);

    // Nesting of the source, depth of procedure calls at run time (a deeper call answers 0),
    // stack size, and instructions per run (past it the run stops and reports 0).
    static constexpr uint32_t kMaxNesting = 1024;
    static constexpr uint32_t kMaxCallDepth = 200;
    static constexpr uint32_t kMaxStack = 1u << 20;
    static constexpr uint32_t kDefaultStepLimit = 1000000;

    LLayoutScript();
    LLayoutScript(const LLayoutScript&) = delete;
    LLayoutScript& operator=(const LLayoutScript&) = delete;
    virtual ~LLayoutScript();

    // Compiles the whole text as the unnamed main procedure, replacing any earlier program.
    void Compile(CLayoutScriptSource& source);
    // 1 when the procedure ran (its value in result), 0 when the program has a compile error, no
    // procedure has that name, or the run was stopped; result is then left as it was.
    int Run(const LString& name, uint32_t count, const int32_t* args, int32_t& result);

    void DefineBuiltin(const LString& name, LayoutOp op, uint8_t minArgs, uint8_t maxArgs);

    int ErrorCode() const { return fError; }
    // The error report of the last compilation, for tests and debugging; never shown to the user.
    // Debug builds also print it to stderr when ORBILUME_LAYOUT_DEBUG is set.
    const LString& ErrorReport() const { return fReport; }
    void SetStepLimit(uint32_t steps) { fStepLimit = steps; }

    // For built-in operations: the top count values of the stack, and replacing them by a result.
    int32_t* StackTop(uint32_t count) { return fStack.data() + (fSp - count); }
    void ReplaceTop(uint32_t count, int32_t value) {
        fSp -= count;
        fStack[fSp++] = value;
    }

protected:
    virtual void InstallBuiltins();
    virtual void CompileDone();
    virtual int StringToken();

private:
    friend struct LLayoutScriptOps;
    struct SProc;
    struct SProgram;
    struct SUnit;
    struct SBuiltin {
        LString name;
        LayoutOp op;
        uint8_t minArgs;
        uint8_t maxArgs;
    };

    // Lexer
    void Next();
    void ReadName(unsigned char first);
    void ReadNumber(unsigned char first);
    void ReadString();
    void SkipBlockComment();
    void SkipLineComment();
    bool Peek(unsigned char& c);

    // Parser
    void RaiseError(int code);
    void TopLevel();
    void Sequence();
    void Assignment();
    void Conditional();
    void Or();
    void And();
    void Equality();
    void Relation();
    void Sum();
    void Product();
    void Unary();
    void Postfix();
    void Primary();
    void Parenthesised();
    void Loop();
    void ProcDefinition(const LString& name);
    void CallExpression(const LString& name);
    void Variable(const LString& name);
    bool ElementBase();
    bool TakeTarget(int& row, int32_t& slot);
    bool Enter();

    // Code
    size_t Emit(LayoutOp op, intptr_t operand, int32_t index, int32_t pops, int32_t pushes, int row = -1,
                int col = -1, bool isConst = false);
    void EmitVar(int row, int col, int32_t slot, int32_t operand = 0);
    void EmitConst(int32_t value);
    void EmitArith(int op);
    void EmitEnd();
    void RemoveLast();
    void Discard();
    void PatchJump(size_t at, size_t target);
    uint32_t MemberIndex(const LString& name);

    // Machine
    bool Reserve(uint64_t size);
    void Invoke(const SProc& proc, uint32_t count);
    void Execute(const SProc& proc);

    // Program
    std::shared_ptr<SProgram> fProgram;
    std::vector<int32_t> fGlobals;
    std::vector<int32_t> fStack;
    uint32_t fSp = 0;
    uint32_t fArgBase = 0;
    uint32_t fArgCount = 0;
    CU32Array* fFrame = nullptr;
    uint32_t fCallDepth = 0;
    uint32_t fSteps = 0;
    uint32_t fStepLimit = kDefaultStepLimit;
    bool fAborted = false;
    bool fRunning = false;

    // Compiler
    int fToken = 0;
    int fPrevToken = 0;
    int32_t fNumber = 0;
    LVariStr<64> fText;
    CLayoutScriptSource* fSource = nullptr;
    bool fStopped = false;
    SUnit* fUnit = nullptr;
    uint32_t fGlobalCount = 0;
    uint32_t fNesting = 0;
    std::vector<LString> fMembers;
    std::vector<SBuiltin> fBuiltins;
    int fError = kNoError;
    LString fReport;
};
