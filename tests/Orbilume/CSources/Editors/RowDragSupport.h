#pragma once

// Row drags of the console's lists in a window of the headless backend: a press on a row lets the
// list's helper make its dragger, then the backend's drag loop runs to a point and releases there.
#include "Lib3/LSources/CoreUI/LListPane.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/Mac/CDragger.h"
#include "Lib3/LSources/Mac/CListDragDropHelper.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "tests/Lib3/LSources/Mac/DropTestSupport.h"
#include "tests/support/NestedLoopGuard.h"

namespace rowdrag {

// A point of a row in screen coordinates: y pixels below the row's top, 20 from its left.
inline plat::Point RowPoint(DropWindow& w, LListPane* list, int32_t row, int32_t y) {
    const CLRect r = list->CellRect({0, row});
    return w.Screen(r.left + 20, r.top + y);
}

// Where a drop lands before the row (the row count: after the last).
inline plat::Point Before(DropWindow& w, LListPane* list, int32_t row) {
    return RowPoint(w, list, row, 2);
}

// Presses the middle of the row without modifiers and fires the helper's timer: its dragger.
inline CDragger* PressOn(DropWindow& w, LListPane* list, CListDragDropHelper& helper, int32_t row) {
    LMouse* mouse = LMouse::Get();
    mouse->SetModifiers(0);
    const plat::Point p = RowPoint(w, list, row, list->CellRect({0, row}).Height() / 2);
    mouse->SetLocation({int32_t(p.x), int32_t(p.y)});
    LHandler::Dispatch(LMessage(LMouse_Click, mouse, list));
    LHandler::Dispatch(LMessage(LTimer_Expire, helper.Timer(), list));
    return helper.Dragger();
}

// The pressed rows dragged to the point and released there, through the drag loop; false when the
// loop had to be broken.
inline bool DragTo(DropWindow& w, CDragger* dragger, plat::Point to) {
    using plat::headless::HeadlessBackend;
    HeadlessBackend& be = w.screens.Backend();
    be.Inject(HeadlessBackend::MouseEvent(plat::EventType::kLeftMouseDragged, nullptr, to));
    be.Inject(HeadlessBackend::MouseEvent(plat::EventType::kLeftMouseUp, nullptr, to));
    // Far enough from any press for the dragger to start.
    LMouse* mouse = LMouse::Get();
    mouse->SetLocation({int32_t(to.x) + 60, int32_t(to.y) + 60});
    testsupport::NestedLoopGuard guard;
    LHandler::Dispatch(LMessage(LMouse_Move, mouse, dragger));
    return !guard.Fired();
}

}  // namespace rowdrag
