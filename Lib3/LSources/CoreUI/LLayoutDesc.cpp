#include "Lib3/LSources/CoreUI/LLayoutDesc.h"

#include <vector>

#include "Lib3/LSources/CoreUI/LLayoutText.h"

namespace {

struct SPreludeStore {
    bool done = false;
    std::vector<LLayoutExpr::SVariable> variables;
    std::vector<LLayoutExpr::SMacro> macros;
};

SPreludeStore& Prelude() {
    static SPreludeStore store;
    return store;
}

}  // namespace

template <ELayoutBuiltin K>
int32_t LLayoutDesc::Builtin(LLayoutExpr& expr) {
    auto& desc = static_cast<LLayoutDesc&>(expr);
    return CallLayoutBuiltin(K, desc.fRect, desc.fPanes, expr.Arguments(), expr.ArgumentCount());
}

LLayoutDesc::LLayoutDesc(LLayoutPanes* panes, SNoPrelude) : fPanes(panes) {
    RegisterBuiltins();
}

LLayoutDesc::LLayoutDesc(LLayoutPanes* panes) : LLayoutDesc(panes, SNoPrelude{}) {
    SPreludeStore& store = Prelude();
    if (!store.done) {
        LLayoutParts parts;
        (void)LoadLayout("STDLAYOUT", parts);  // without it the prelude is empty
        InstallPrelude(parts.Part(0));
    }
    fVariables = store.variables;
    fMacros = store.macros;
}

LLayoutDesc::~LLayoutDesc() = default;

void LLayoutDesc::RegisterBuiltins() {
    DefineFunction("sys", Builtin<ELayoutBuiltin::kSys>);
    DefineFunction("pp", Builtin<ELayoutBuiltin::kPp>);
    DefineFunction("shown", Builtin<ELayoutBuiltin::kShown>);
    DefineFunction("wp", Builtin<ELayoutBuiltin::kWp>);
    DefineFunction("hp", Builtin<ELayoutBuiltin::kHp>);
    DefineFunction("w", Builtin<ELayoutBuiltin::kW>);
    DefineFunction("h", Builtin<ELayoutBuiltin::kH>);
    DefineFunction("l", Builtin<ELayoutBuiltin::kL>);
    DefineFunction("t", Builtin<ELayoutBuiltin::kT>);
    DefineFunction("r", Builtin<ELayoutBuiltin::kR>);
    DefineFunction("b", Builtin<ELayoutBuiltin::kB>);
}

void LLayoutDesc::InstallPrelude(const LString& text) {
    // Its own evaluator without panes, so that nothing it does lands on a frame.
    LLayoutDesc prelude(nullptr, SNoPrelude{});
    prelude.Evaluate(text);
    SPreludeStore& store = Prelude();
    store.variables = prelude.fVariables;
    store.macros = prelude.fMacros;
    store.done = true;
}

void LLayoutDesc::ResetPrelude() {
    SPreludeStore& store = Prelude();
    store = SPreludeStore{};
}
