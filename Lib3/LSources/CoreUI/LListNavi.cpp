#include "Lib3/LSources/CoreUI/LListNavi.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LListPane.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LScrollBar.h"
#include "Platform/AppKit/Theme.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Graphics/DrawContext.h"

namespace {

constexpr uint32_t kUsableBits = LPane::kShown | LPane::kChainShown;
constexpr uint32_t kEnabledBits = LPane::kEnabled | LPane::kChainEnabled;

int32_t PrefW(LPane* p, LDrawContext& ctx, int32_t kind) {
    return p ? p->PreferredWidth(ctx, kind) : 0;
}
int32_t PrefH(LPane* p, LDrawContext& ctx, int32_t kind) {
    return p ? p->PreferredHeight(ctx, kind) : 0;
}

}  // namespace

LListNavi::LListNavi(LPane* owner, uint32_t options, uint32_t focusFrame)
    : LFrame(owner, owner), fOptions(options), fFocusFrame(focusFrame) {
    auto make = [&](bool vertical) {
        auto* bar = new LScrollBar(this, LStdCtlSpec(), vertical, true);
        if ((State() & kUsableBits) == kUsableBits) bar->ChangeState(kChainShow);
        if ((State() & kEnabledBits) == kEnabledBits) bar->ChangeState(kChainEnable);
        return bar;
    };
    if (options & kVerticalBar) fVBar = make(true);
    if (options & kHorizontalBar) fHBar = make(false);
}

LListNavi::~LListNavi() {
    delete std::exchange(fVBar, nullptr);
    delete std::exchange(fHBar, nullptr);
}

LListPane* LListNavi::ColumnReference() const {
    return fList ? fList : fColumnHeader;
}

LListPane* LListNavi::RowReference() const {
    return fList ? fList : fRowHeader;
}

int32_t LListNavi::ScrollerWidth() {
    if (fVBar) return fVBar->SystemScrollerWidth();
    if (fHBar) return fHBar->SystemScrollerWidth();
    return 16;
}

void LListNavi::ScrollColumnsTo(int32_t column) {
    LListPane* ref = ColumnReference();
    if (!ref) return;
    column = std::clamp(column, 0, std::max(ref->LastFirstColumn(), ref->FirstColumn()));
    ref->SetScrollPos(column, ref->FirstRow());
    if (fList && fColumnHeader) fColumnHeader->SetScrollPos(column, fColumnHeader->FirstRow());
}

void LListNavi::ScrollRowsTo(int32_t row) {
    LListPane* ref = RowReference();
    if (!ref) return;
    row = std::clamp(row, 0, std::max(ref->LastFirstRow(), ref->FirstRow()));
    ref->SetScrollPos(ref->FirstColumn(), row);
    if (fList && fRowHeader) fRowHeader->SetScrollPos(fRowHeader->FirstColumn(), row);
}

void LListNavi::UpdateScrollBars() {
    if (LListPane* ref = ColumnReference()) {
        fColumnStep = ref->CellWidth() < 9 ? 16 / ref->CellWidth() : 1;
        if (fHBar)
            fHBar->SetRange(ref->FirstColumn(), 0, std::max(ref->LastFirstColumn(), ref->FirstColumn()),
                            std::max(ref->FullyVisibleColumns(), 2) - 1);
    } else if (fHBar) {
        fHBar->SetRange(0, 0, 0, 1);
    }
    if (LListPane* ref = RowReference()) {
        fRowStep = ref->CellHeight() < 9 ? 16 / ref->CellHeight() : 1;
        if (fVBar)
            fVBar->SetRange(ref->FirstRow(), 0, std::max(ref->LastFirstRow(), ref->FirstRow()),
                            std::max(ref->FullyVisibleRows(), 2) - 1);
    } else if (fVBar) {
        fVBar->SetRange(0, 0, 0, 1);
    }
}

void LListNavi::LayOut() {
    // Children lie in the frame's own coordinates.
    const CLRect local{0, 0, Bounds().Width(), Bounds().Height()};
    CLRect work = local;
    work.Inset(1, 1);
    LPanePort port(this);
    LDrawContext ctx(port);
    const int32_t t = ScrollerWidth();
    const int32_t colH = fColumnHeader ? fColumnHeader->Bounds().Height() : 0;
    const int32_t rowW = fRowHeader ? fRowHeader->Bounds().Width() : 0;
    const int32_t hBarH = fHBar ? fHBar->PreferredHeight(ctx, 0) : 0;
    const int32_t vBarW = fVBar ? fVBar->PreferredWidth(ctx, 0) : 0;
    // The window's content edges in this frame's coordinates, for the resize corner.
    int32_t winRight = INT32_MAX, winBottom = INT32_MAX;
    if (port.window) {
        const plat::Rect c = port.window->ContentRect();
        winRight = int32_t(c.width) - port.origin.x - Bounds().left;
        winBottom = int32_t(c.height) - port.origin.y - Bounds().top;
    }
    CLRect area = work;
    if (fHBar) {
        CLRect r = work;
        if (fOptions & kHorizontalBarTop) {
            r.bottom = r.top + hBarH;
            area.top += hBarH;
        } else {
            r.top = r.bottom - hBarH;
            area.bottom -= hBarH;
            if (local.bottom > winBottom - (t - 1)) r.right = std::max(winRight, local.right) - t;
        }
        if (fVBar && !(fOptions & kVerticalBarLeft)) r.right = std::min(r.right, work.right - vBarW);
        if (fVBar && (fOptions & kVerticalBarLeft)) r.left = work.left + vBarW;
        fHBar->SetBounds(r);
    }
    if (fVBar) {
        CLRect r = work;
        if (fOptions & kVerticalBarLeft) {
            r.right = r.left + vBarW;
            area.left += vBarW;
        } else {
            r.left = r.right - vBarW;
            area.right -= vBarW;
            if (local.right > winRight - (t - 1)) r.bottom = std::max(winBottom, local.bottom) - t;
        }
        if (fHBar && !(fOptions & kHorizontalBarTop)) r.bottom = std::min(r.bottom, work.bottom - hBarH);
        if (fHBar && (fOptions & kHorizontalBarTop)) r.top = work.top + hBarH;
        fVBar->SetBounds(r);
    }
    CLRect list = area;
    if (fColumnHeader) {
        if (fOptions & kColumnHeaderBelow)
            list.bottom -= colH;
        else
            list.top += colH;
    }
    if (fRowHeader) {
        if (fOptions & kRowHeaderRight)
            list.right -= rowW;
        else
            list.left += rowW;
    }
    if (fColumnHeader) {
        const int32_t top = (fOptions & kColumnHeaderBelow) ? list.bottom : area.top;
        fColumnHeader->SetBounds({list.left, top, list.right, top + colH});
    }
    if (fRowHeader) {
        const int32_t left = (fOptions & kRowHeaderRight) ? list.right : area.left;
        fRowHeader->SetBounds({left, list.top, left + rowW, list.bottom});
    }
    if (fList) fList->SetBounds(list);
    if (fCorner && fColumnHeader && fRowHeader)
        fCorner->SetBounds({fRowHeader->Bounds().left, fColumnHeader->Bounds().top,
                            fRowHeader->Bounds().right, fColumnHeader->Bounds().bottom});
}

void LListNavi::SetListPane(LListPane* list) {
    if (fList) fList->ChangeState(kHide);
    fList = list;
    if (fList) fList->ChangeState(kShow);
    LayOut();
    const int32_t h = fHBar ? fHBar->GetValue() : 0, v = fVBar ? fVBar->GetValue() : 0;
    if (fHBar) ScrollColumnsTo(h);
    if (fVBar) ScrollRowsTo(v);
    UpdateScrollBars();
    if (fHBar) ScrollColumnsTo(fHBar->GetValue());
    if (fVBar) ScrollRowsTo(fVBar->GetValue());
}

void LListNavi::SetColumnHeader(LListPane* list) {
    if (fColumnHeader) fColumnHeader->ChangeState(kHide);
    fColumnHeader = list;
    if (list) {
        LPanePort port(this);
        LDrawContext ctx(port);
        CLRect r = list->Bounds();
        r.bottom = r.top + list->PreferredHeight(ctx, 0);
        list->SetBounds(r);
        list->ChangeState(kShow);
    }
    LayOut();
    if (!fList) UpdateScrollBars();
    if (fHBar) ScrollColumnsTo(fHBar->GetValue());
}

void LListNavi::SetRowHeader(LListPane* list) {
    if (fRowHeader) fRowHeader->ChangeState(kHide);
    fRowHeader = list;
    if (list) {
        LPanePort port(this);
        LDrawContext ctx(port);
        CLRect r = list->Bounds();
        r.right = r.left + list->PreferredWidth(ctx, 0);
        list->SetBounds(r);
        list->ChangeState(kShow);
    }
    LayOut();
    if (!fList) UpdateScrollBars();
    if (fVBar) ScrollRowsTo(fVBar->GetValue());
}

LMessage LListNavi::HandleBar(const LMessage& msg, bool horizontal) {
    LListPane* ref = horizontal ? ColumnReference() : RowReference();
    if (!ref) return LFrame::Handle(msg);
    LScrollBar* bar = horizontal ? fHBar : fVBar;
    const int32_t first = horizontal ? ref->FirstColumn() : ref->FirstRow();
    const int32_t step = std::max(horizontal ? fColumnStep : fRowStep, 1);
    const int32_t full = horizontal ? ref->FullyVisibleColumns() : ref->FullyVisibleRows();
    const int32_t page = std::max(full - (horizontal ? fColumnStep : fRowStep), 1);
    int32_t target = first;
    if (msg.Is(LScrollBar_Thumb))
        target = bar->GetValue();
    else if (msg.Is(LScrollBar_Up))
        target = first - step;
    else if (msg.Is(LScrollBar_Dw))
        target = first + step;
    else if (msg.Is(LScrollBar_PgUp))
        target = first - page;
    else
        target = first + page;
    LHandlerWatch watch(this);
    if (horizontal)
        ScrollColumnsTo(target);
    else
        ScrollRowsTo(target);
    if (watch.IsGone()) return LMessage();
    Send(LListNavi_Navi);
    if (watch.IsGone()) return LMessage();
    return LMessage(LPane_ReqFocus, this, Upper());
}

LMessage LListNavi::HandleWheel(const LMessage& msg) {
    LMouse* mouse = LMouse::Get();
    if (!mouse) return LFrame::Handle(msg);
    const bool vertical = std::abs(mouse->WheelY()) >= std::abs(mouse->WheelX());
    LListPane* ref = vertical ? RowReference() : ColumnReference();
    LScrollBar* bar = vertical ? fVBar : fHBar;
    if (!bar || !ref || (vertical ? ref->Rows() : ref->Columns()) < 2) return LFrame::Handle(msg);
    const int32_t limit =
        std::max(vertical ? ref->FullyVisibleRows() - fRowStep : ref->FullyVisibleColumns() - fColumnStep, 1);
    const int32_t step = (vertical ? ref->CellHeight() : ref->CellWidth()) / 2;
    const int32_t n = mouse->TakeWheelSteps(vertical ? 1 : 0, limit, step);
    if (n == 0) return LMessage();
    LHandlerWatch watch(this);
    if (vertical)
        ScrollRowsTo(ref->FirstRow() - n);
    else
        ScrollColumnsTo(ref->FirstColumn() - n);
    if (!watch.IsGone()) Send(LListNavi_Navi);
    return LMessage();
}

LMessage LListNavi::Handle(const LMessage& msg) {
    if (msg.Is(LListPane_Change) && msg.sender) {
        if (msg.sender == fList) {
            UpdateScrollBars();
            if (fColumnHeader && fColumnHeader->FirstColumn() != fList->FirstColumn())
                fColumnHeader->SetScrollPos(fList->FirstColumn(), fColumnHeader->FirstRow());
            if (fRowHeader && fRowHeader->FirstRow() != fList->FirstRow())
                fRowHeader->SetScrollPos(fRowHeader->FirstColumn(), fList->FirstRow());
            return LMessage();
        }
        if (msg.sender == fColumnHeader) {
            if (fList && fList->FirstColumn() != fColumnHeader->FirstColumn())
                fList->SetScrollPos(fColumnHeader->FirstColumn(), fList->FirstRow());
            else if (!fList)
                UpdateScrollBars();
            return LMessage();
        }
        if (msg.sender == fRowHeader) {
            if (fList && fList->FirstRow() != fRowHeader->FirstRow())
                fList->SetScrollPos(fList->FirstColumn(), fRowHeader->FirstRow());
            else if (!fList)
                UpdateScrollBars();
            return LMessage();
        }
    }
    const bool part = msg.Is(LScrollBar_Thumb) || msg.Is(LScrollBar_Up) || msg.Is(LScrollBar_Dw) ||
                      msg.Is(LScrollBar_PgUp) || msg.Is(LScrollBar_PgDw);
    if (part && msg.sender && msg.sender == fHBar) return HandleBar(msg, true);
    if (part && msg.sender && msg.sender == fVBar) return HandleBar(msg, false);
    if (msg.Is(LMouse_Wheel)) return HandleWheel(msg);
    if (msg.Is(LMouse_Click) && fFocusFrame) return LMessage(LPane_ReqFocus, this, Upper());
    return LFrame::Handle(msg);
}

CRgn LListNavi::FrameRing(int32_t style, bool local) const {
    CLRect r = local ? CLRect{0, 0, Bounds().Width(), Bounds().Height()} : Bounds();
    r.Inset(1, 1);
    if (style == 7) {
        CRgn ring = RingBand(r, true);
        CLRect in = r;
        in.Inset(1, 1);
        CRgn frame(r);
        frame -= CRgn(in);
        ring |= frame;
        return ring;
    }
    CLRect outer = r;
    outer.Inset(-1, -1);
    CLRect inner = r;
    inner.Inset(1, 1);
    CRgn ring(outer);
    ring -= CRgn(inner);
    return ring;
}

void LListNavi::Invalidate(const CRgn& invalid, const CRgn& erase) {
    CRgn onRing = invalid;
    onRing &= FrameRing(6, true);
    if (onRing.IsEmpty()) return LFrame::Invalidate(invalid, erase);
    CRgn e = erase;
    e |= onRing;
    LFrame::Invalidate(invalid, e);
}

void LListNavi::StateChanged(uint32_t op) {
    LFrame::StateChanged(op);
    const bool focusOps = op == kFocus || op == kUnfocus || op == kKeyOn || op == kKeyOff;
    if (focusOps && fFocusFrame) {
        const CRgn ring = FrameRing(7, true);
        LFrame::Invalidate(ring, ring);
    } else if ((op == kShow || op == kHide) && GetWindow() && GetWindow()->IsVisible()) {
        const CRgn ring = FrameRing(6, true);
        LFrame::Invalidate(ring, ring);
    } else if (op == kRelayout && (fColumnHeader || fRowHeader)) {
        LayOut();
        UpdateScrollBars();
    }
}

void LListNavi::BoundsChanged(const CLRect& old) {
    CRgn rings = FrameRing(fFocusFrame ? 7 : 6, true);
    LFrame::Invalidate(rings, rings);
    LayOut();
    UpdateScrollBars();
    LFrame::BoundsChanged(old);
}

bool LListNavi::IntersectsRegion(const CRgn& region) {
    if (!(State() & kShown)) return false;
    CRgn ring = FrameRing(6, false);
    ring &= region;
    return !ring.IsEmpty();
}

int32_t LListNavi::PreferredWidth(LDrawContext& ctx, int32_t kind) {
    const int32_t v = PrefW(fVBar, ctx, 0), h = PrefW(fHBar, ctx, 0);
    const int32_t l = PrefW(fList, ctx, kind), c = PrefW(fColumnHeader, ctx, kind);
    const int32_t r = PrefW(fRowHeader, ctx, kind), k = PrefW(fCorner, ctx, kind);
    switch (kind) {
        case -3:
            return 1;
        case -2:
            return (fHBar ? h + 2 : 2) + (fVBar ? v : ScrollerWidth());
        case -1:
        case 3:
            return (fVBar ? v + 2 : 2) + std::max({r, k, 0});
        case 1:
            return std::max(l, c) + v + std::max({r, k, 0}) + 2;
        case 2:
            return (fHBar ? h + 2 : 2) + v + std::max(r, k);
        default:
            return std::max({l, c, 0});
    }
}

int32_t LListNavi::PreferredHeight(LDrawContext& ctx, int32_t kind) {
    const int32_t hb = PrefH(fHBar, ctx, 0), vb = PrefH(fVBar, ctx, 0);
    const int32_t l = PrefH(fList, ctx, kind), r = PrefH(fRowHeader, ctx, kind);
    const int32_t c = PrefH(fColumnHeader, ctx, kind), k = PrefH(fCorner, ctx, kind);
    switch (kind) {
        case -3:
            return 1;
        case -2:
            return (fVBar ? vb + 2 : 2) + (fHBar ? hb : ScrollerWidth());
        case -1:
        case 3:
            return (fHBar ? hb + 2 : 2) + std::max({c, k, 0});
        case 1:
            return std::max(l, r) + hb + std::max({c, k, 0}) + 2;
        case 2:
            return (fVBar ? vb + 2 : 2) + hb + std::max(c, k);
        default:
            return std::max({l, r, 0});
    }
}

void LListNavi::Draw(LDrawContext& ctx) {
    if (plat::DrawContext* native = ctx.Native()) {
        ctx.ApplyPending();
        CLRect r = Bounds();
        r.Inset(1, 1);
        const bool focused = fFocusFrame && (State() & kFocused) && (State() & kKeyWindow);
        plat::theme::DrawListBoxFrame(
            *native, {double(r.left), double(r.top), double(r.Width()), double(r.Height())}, true, focused);
    }
    LFrame::Draw(ctx);
}
