#pragma once

#include "Lib3/LSources/CoreString/LString.h"

class LPane;
namespace plat {
class Window;
}

// Makes a pane's window a drop-target window while the reference lives: construction adds the window
// to the process-wide drop-target list, destruction takes it out again (the same window, even when the
// pane has moved on). A pane without a window registers nothing. Owned by its pane; main thread only.
class CDropTargetWindowRef {
public:
    explicit CDropTargetWindowRef(LPane* pane);
    ~CDropTargetWindowRef();
    CDropTargetWindowRef(const CDropTargetWindowRef&) = delete;
    CDropTargetWindowRef& operator=(const CDropTargetWindowRef&) = delete;

    LPane* Pane() const { return fPane; }
    plat::Window* Window() const { return fWindow; }
    const LString& Type() const { return fType; }
    void SetType(const LString& type) { fType = type; }

private:
    LPane* fPane;
    LString fType;
    plat::Window* fWindow;  // the window that was added, null when none
};
