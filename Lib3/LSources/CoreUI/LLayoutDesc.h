#pragma once

#include "Lib3/LSources/CoreUI/LLayoutExpr.h"
#include "Lib3/LSources/CoreUI/LLayoutPanes.h"

// A layout description: the expression evaluator with the pane built-ins over one frame's child
// panes, and the definitions of the standard prelude (part 0 of "STDLAYOUT").
class LLayoutDesc : public LLayoutExpr {
public:
    // panes may be null: pane built-ins then see no child panes.
    explicit LLayoutDesc(LLayoutPanes* panes);
    ~LLayoutDesc() override;

    // The frame reads and sets the layout rectangle directly.
    SLayoutRect& LayoutRect() { return fRect; }

    // Evaluates the prelude text without panes and keeps its variables and macros for every later
    // description of the process. Without a call, the first description loads "STDLAYOUT" part 0
    // through LoadLayout; an absent prelude defines nothing.
    static void InstallPrelude(const LString& text);
    // Forgets the prelude, so that the next description loads it again.
    static void ResetPrelude();

private:
    struct SNoPrelude {};
    LLayoutDesc(LLayoutPanes* panes, SNoPrelude);
    void RegisterBuiltins();

    template <ELayoutBuiltin K>
    static int32_t Builtin(LLayoutExpr& expr);

    SLayoutRect fRect;
    LLayoutPanes* fPanes;
};
