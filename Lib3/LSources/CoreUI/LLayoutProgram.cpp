#include "Lib3/LSources/CoreUI/LLayoutProgram.h"

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreUI/CLayoutScriptSource.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"

LLayoutProgram::LLayoutProgram() = default;
LLayoutProgram::~LLayoutProgram() = default;

template <ELayoutBuiltin K>
const SLayoutInstr* LLayoutProgram::Builtin(LLayoutScript& machine, const SLayoutInstr* ip) {
    auto& program = static_cast<LLayoutProgram&>(machine);
    const uint32_t count = uint32_t(ip->index);
    const int32_t value = CallLayoutBuiltin(K, program.fRect, program.fPanes, machine.StackTop(count), count);
    machine.ReplaceTop(count, value);
    return ip + 1;
}

const SLayoutInstr* LLayoutProgram::Sqrt(LLayoutScript& machine, const SLayoutInstr* ip) {
    machine.ReplaceTop(1, ULayoutMath::Sqrt(*machine.StackTop(1)));
    return ip + 1;
}

void LLayoutProgram::InstallBuiltins() {
    LLayoutScript::InstallBuiltins();
    DefineBuiltin("sqrt", Sqrt, 1, 1);
    DefineBuiltin("sys", Builtin<ELayoutBuiltin::kSys>, 1, 1);
    DefineBuiltin("pp", Builtin<ELayoutBuiltin::kPp>, 5, 5);
    DefineBuiltin("shown", Builtin<ELayoutBuiltin::kShown>, 1, 1);
    DefineBuiltin("wp", Builtin<ELayoutBuiltin::kWp>, 1, 2);
    DefineBuiltin("hp", Builtin<ELayoutBuiltin::kHp>, 1, 2);
    DefineBuiltin("l", Builtin<ELayoutBuiltin::kL>, 1, 1);
    DefineBuiltin("t", Builtin<ELayoutBuiltin::kT>, 1, 1);
    DefineBuiltin("r", Builtin<ELayoutBuiltin::kR>, 1, 1);
    DefineBuiltin("b", Builtin<ELayoutBuiltin::kB>, 1, 1);
    DefineBuiltin("w", Builtin<ELayoutBuiltin::kW>, 1, 1);
    DefineBuiltin("h", Builtin<ELayoutBuiltin::kH>, 1, 1);
}

bool LLayoutProgram::Build(const LLayoutParts& frameParts) {
    LLayoutParts stdLayout;
    (void)LoadLayout("STDLAYOUT", stdLayout);  // without it the program has no standard part
    return Build(stdLayout, frameParts);
}

bool LLayoutProgram::Build(const LLayoutParts& stdLayout, const LLayoutParts& frameParts) {
    LVariStr<64> text;
    text.Append(stdLayout.Part(1));
    text.Append(frameParts.Part(0));
    text.Append("PREF#(\n");
    text.Append(frameParts.Part(1));
    text.Append(");\n");
    text.Append("LAYO#(\n");
    text.Append(frameParts.Part(2));
    text.Append(");\n");
    const LString program(text);
    LStrCharIn input(program);
    CLayoutScriptSource source(input);
    Compile(source);
    if (ErrorCode()) return false;
    int32_t ignored = 0;
    RunWith(nullptr, LString(), 0, nullptr, ignored);
    return true;
}

int LLayoutProgram::RunWith(LLayoutPanes* panes, const LString& name, uint32_t count, const int32_t* args,
                            int32_t& result) {
    fPanes = panes;
    const int ran = Run(name, count, args, result);
    fPanes = nullptr;
    return ran;
}

int LLayoutProgram::RunPref(LLayoutPanes* panes) {
    int32_t ignored = 0;
    return RunWith(panes, "PREF", 0, nullptr, ignored);
}

int LLayoutProgram::RunLayo(LLayoutPanes* panes) {
    int32_t ignored = 0;
    return RunWith(panes, "LAYO", 0, nullptr, ignored);
}
