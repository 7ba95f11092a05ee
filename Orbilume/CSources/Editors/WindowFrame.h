#pragma once

#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"

// Places a frame's window so that its outer frame (the borders and title bar included, as
// GetWindowFrame reports it) is the rectangle. Nothing without a window or with an empty rectangle.
inline void SetOuterWindowFrame(LFrame* frame, const CLRect& outer) {
    LWindowServices* s = LWindowServices::Get();
    if (!s || !frame->Window() || outer.IsEmpty()) return;
    // The borders FrameForContent adds around a content rectangle, taken off the outer one.
    const CLRect grown = s->FrameForContent(frame->Window(), outer);
    const CLRect content{outer.left - (grown.left - outer.left), outer.top - (grown.top - outer.top),
                         outer.right - (grown.right - outer.right),
                         outer.bottom - (grown.bottom - outer.bottom)};
    frame->SetWindowFrame(content.IsEmpty() ? outer : content);
}
