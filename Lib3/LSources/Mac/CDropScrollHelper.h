#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/Mac/CDropTargetHelper.h"
#include "Lib3/LSources/Mac/CScrollHelper.h"

class LDrop;
class LPane;

// Sent to the upper handler (sender the helper).
L_MESSAGE_ID(CDropScrollHelper_Enter);
L_MESSAGE_ID(CDropScrollHelper_Move);
L_MESSAGE_ID(CDropScrollHelper_Drop);
L_MESSAGE_ID(CDropScrollHelper_Leave);
L_MESSAGE_ID(CDropScrollHelper_Scroll);

// Turns a drag over an area of a pane into auto-scrolling and its own messages. An Enter the
// upper leaves unconsumed (or a Forget) gives the drag up: the helper then lets its drop messages
// pass. Main thread only.
class CDropScrollHelper : public CDropTargetHelper, public LHandler {
public:
    CDropScrollHelper(LPane* target, LHandler* upper);
    ~CDropScrollHelper() override;

    // Takes a drop message of the target pane: true when handled.
    bool Take(const LMessage& msg);
    LMessage Handle(const LMessage& msg) override;

    void SetScrollArea(const CLRect& r, int32_t mx, int32_t my);
    const CLRect& ScrollArea() const { return fArea; }
    // The drag it follows, null when none.
    LDrop* Following() const { return fFollowing; }
    void Forget();
    // The drop point in the target pane's coordinates.
    CLPoint Local() const;
    CScrollHelper& Scroller() { return fScroll; }

private:
    bool InArea(const CLPoint& p) const;

    LDrop* fFollowing = nullptr;
    CScrollHelper fScroll;
    CLRect fArea;
    int32_t fMarginX = 8;
    int32_t fMarginY = 8;
};
