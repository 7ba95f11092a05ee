#include "Lib3/LSources/Mac/CDropScrollHelper.h"

#include "Lib3/LSources/CoreUI/LPane.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Platform/AppKit/Window.h"

CDropScrollHelper::CDropScrollHelper(LPane* target, LHandler* upper)
    : CDropTargetHelper(target), LHandler(upper), fScroll(this), fArea(target ? target->Bounds() : CLRect()) {}

CDropScrollHelper::~CDropScrollHelper() {
    (void)fScroll.Stop();
}

void CDropScrollHelper::SetScrollArea(const CLRect& r, int32_t mx, int32_t my) {
    fArea = r;
    fMarginX = mx;
    fMarginY = my;
}

void CDropScrollHelper::Forget() {
    (void)fScroll.Stop();
    fFollowing = nullptr;
}

bool CDropScrollHelper::InArea(const CLPoint& p) const {
    return fArea.left <= p.x && p.x < fArea.right && fArea.top <= p.y && p.y < fArea.bottom;
}

CLPoint CDropScrollHelper::Local() const {
    LPane* pane = Pane();
    if (!fFollowing || !pane) return {-1, -1};
    LPanePort port(pane);
    CLPoint p = fFollowing->MouseLocation();
    if (port.window) {
        const plat::Point c = port.window->ConvertFromScreen({double(p.x), double(p.y)});
        p = {int32_t(c.x), int32_t(c.y)};
    }
    return {p.x - port.origin.x, p.y - port.origin.y};
}

bool CDropScrollHelper::Take(const LMessage& msg) {
    const int32_t code = CDropTargetHelper::Dispatch(msg);
    switch (code) {
        case kSense:
            return true;
        case kEnter:
            (void)fScroll.Stop();
            fFollowing = static_cast<LDrop*>(msg.sender);
            Send(CDropScrollHelper_Enter);
            if (!fFollowing) return false;
            fScroll.Update(Local(), fArea, fMarginX, fMarginY);
            return true;
        case kDrag: {
            if (!fFollowing) return false;
            const CLPoint p = Local();
            fScroll.Update(p, fArea, fMarginX, fMarginY);
            if (InArea(p)) Send(CDropScrollHelper_Move);
            return true;
        }
        case kDrop: {
            if (!fFollowing) return false;
            (void)fScroll.Stop();
            if (InArea(Local())) Send(CDropScrollHelper_Drop);
            return true;
        }
        case kLeave:
            if (!fFollowing) return false;
            (void)fScroll.Stop();
            Send(CDropScrollHelper_Leave);
            fFollowing = nullptr;
            return true;
        default:
            return false;
    }
}

LMessage CDropScrollHelper::Handle(const LMessage& msg) {
    if (msg.Is(CScrollHelper_Scroll) && msg.sender == &fScroll) return LMessage(CDropScrollHelper_Scroll, this, Upper());
    if (msg.Is(CDropScrollHelper_Enter) && msg.sender == this) {
        // Nobody took the drag.
        fFollowing = nullptr;
        return LMessage();
    }
    return LHandler::Handle(msg);
}
