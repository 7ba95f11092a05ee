#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandler.h"

class LDrop;
class LPane;
namespace plat {
class Window;
}

// The portable drop side of a pane: acquires the pane's window's LDrop for its lifetime and folds
// the drop messages into codes: 1 sense (claimed), 2 enter, 3 leave, 4 drag, 5 drop, 0 others.
class CDropTargetHelper {
public:
    enum : int32_t { kNone = 0, kSense = 1, kEnter = 2, kLeave = 3, kDrag = 4, kDrop = 5 };

    explicit CDropTargetHelper(LPane* pane);
    virtual ~CDropTargetHelper();
    CDropTargetHelper(const CDropTargetHelper&) = delete;
    CDropTargetHelper& operator=(const CDropTargetHelper&) = delete;

    virtual int32_t Dispatch(const LMessage& msg);
    void SetFeedback(uint32_t mode);
    LPane* Pane() const { return fPane; }
    // The drag in progress over the pane (between Enter and Leave), null otherwise.
    LDrop* Drop() const { return fDrop; }

private:
    LPane* fPane;
    LDrop* fDrop = nullptr;
    plat::Window* fWindow;
};
