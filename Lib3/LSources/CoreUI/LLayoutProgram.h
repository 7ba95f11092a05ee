#pragma once

#include "Lib3/LSources/CoreUI/LLayoutPanes.h"
#include "Lib3/LSources/CoreUI/LLayoutScript.h"

class LLayoutParts;

// The layout script of one frame: part 1 of "STDLAYOUT", then the frame's part 0 and its
// procedures "PREF" (part 1, computes the preferred size into the layout rectangle) and "LAYO"
// (part 2, places the child panes), compiled into one program. Globals keep their values from
// one run to the next.
class LLayoutProgram : public LLayoutScript {
public:
    LLayoutProgram();
    ~LLayoutProgram() override;

    // Compiles the program and runs its main procedure once; false after a compile error (the
    // program then runs nothing). The first form takes "STDLAYOUT" from LoadLayout.
    [[nodiscard]] bool Build(const LLayoutParts& frameParts);
    bool Build(const LLayoutParts& stdLayout, const LLayoutParts& frameParts);

    // Run "PREF" or "LAYO" (no arguments) over the panes; 1 when it ran.
    int RunPref(LLayoutPanes* panes);
    int RunLayo(LLayoutPanes* panes);
    // Any procedure over the panes (frames run "PREFH" with one argument).
    int RunWith(LLayoutPanes* panes, const LString& name, uint32_t count, const int32_t* args,
                int32_t& result);

    // The frame reads and sets the layout rectangle directly.
    SLayoutRect& LayoutRect() { return fRect; }

protected:
    void InstallBuiltins() override;

private:
    template <ELayoutBuiltin K>
    static const SLayoutInstr* Builtin(LLayoutScript& machine, const SLayoutInstr* ip);
    static const SLayoutInstr* Sqrt(LLayoutScript& machine, const SLayoutInstr* ip);

    SLayoutRect fRect;
    LLayoutPanes* fPanes = nullptr;  // set only while a procedure runs
};
