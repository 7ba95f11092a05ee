#include "Lib3/LSources/CoreUI/CPaneDivider.h"

#include <algorithm>

#include "Lib3/LSources/CoreUI/CBevelFrame.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPaint.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Platform/AppKit/Cursor.h"
#include "Platform/Foundation/Check.h"

namespace {

// Rounded to nearest: (d / 2 + n) / d, 0 when there is nothing to divide by.
int64_t Share(int64_t n, int64_t d) {
    return d > 0 ? (d / 2 + n) / d : 0;
}

const plat::Cursor* ResizeCursor(bool stacked) {
    static const plat::Ref<plat::Cursor> leftRight = plat::Cursor::Named("resizeLeftRightCursor");
    static const plat::Ref<plat::Cursor> upDown = plat::Cursor::Named("resizeUpDownCursor");
    return stacked ? upDown.get() : leftRight.get();
}

}  // namespace

CPaneDivider::CPaneDivider(LHandler* upper, LPane* owner) : LFrame(upper, owner) {
    (void)ResizeCursor(false);
}

CPaneDivider::~CPaneDivider() = default;

std::vector<LPane*> CPaneDivider::VisibleChildren() const {
    std::vector<LPane*> out;
    for (SSLink* l = Children().First(); l && !l->IsEnd(); l = l->next) {
        auto* p = static_cast<LPane*>(l);
        if (p->State() & kShown) out.push_back(p);
    }
    return out;
}

int32_t CPaneDivider::SizeAlong() const {
    return Stacked() ? Bounds().Height() : Bounds().Width();
}

int32_t CPaneDivider::StartOf(const LPane* p) const {
    return Stacked() ? p->Bounds().top : p->Bounds().left;
}

int32_t CPaneDivider::EndOf(const LPane* p) const {
    return Stacked() ? p->Bounds().bottom : p->Bounds().right;
}

int32_t CPaneDivider::PrefOf(LPane* p, LDrawContext& ctx) const {
    return std::max(Stacked() ? p->PreferredHeight(ctx, 0) : p->PreferredWidth(ctx, 0), 0);
}

void CPaneDivider::SetSpan(LPane* p, int32_t start, int32_t size) {
    size = std::max(size, 0);
    if (Stacked())
        p->SetBounds({0, start, Bounds().Width(), start + size});
    else
        p->SetBounds({start, 0, start + size, Bounds().Height()});
}

CLRect CPaneDivider::BandAt(int32_t position) const {
    if (Stacked()) return {0, position, Bounds().Width(), position + kGap};
    return {position, 0, position + kGap, Bounds().Height()};
}

CLRect CPaneDivider::DividerBand(uint32_t i) const {
    const std::vector<LPane*> kids = VisibleChildren();
    if (size_t(i) + 1 >= kids.size()) return {};
    return BandAt(StartOf(kids[i + 1]) - kGap);
}

CRgn CPaneDivider::Bands() const {
    const std::vector<LPane*> kids = VisibleChildren();
    CRgn out;
    for (size_t i = 1; i < kids.size(); ++i) out |= CRgn(BandAt(StartOf(kids[i]) - kGap));
    return out;
}

void CPaneDivider::InvalidateBands(const CRgn& before) {
    const CRgn after = Bands();
    CRgn all = before;
    all |= after;
    CRgn erase = before;
    erase -= after;
    if (!all.IsEmpty()) Invalidate(all, erase);
}

int32_t CPaneDivider::DividerAt(const CLPoint& local) const {
    const std::vector<LPane*> kids = VisibleChildren();
    for (size_t i = 1; i < kids.size(); ++i)
        if (BandAt(StartOf(kids[i]) - kGap).Contain(local)) return int32_t(i - 1);
    return -1;
}

// Layout ---------------------------------------------------------------------------------------------

void CPaneDivider::Distribute(int32_t amount, int32_t first, int32_t last) {
    const std::vector<LPane*> kids = VisibleChildren();
    const int32_t count = int32_t(kids.size());
    first = std::max(first, 0);
    last = std::min(last, count - 1);
    if (first > last) return;
    LPanePort port(this);
    LDrawContext ctx(port);
    struct Item {
        int64_t cur, pref;
    };
    std::vector<Item> items;
    int64_t shortfall = 0, excess = 0, sumPref = 0, target = 0;
    for (int32_t k = first; k <= last; ++k) {
        const Item it{int64_t(EndOf(kids[size_t(k)])) - StartOf(kids[size_t(k)]),
                      PrefOf(kids[size_t(k)], ctx)};
        items.push_back(it);
        shortfall += std::max<int64_t>(it.pref - it.cur, 0);
        excess += std::max<int64_t>(it.cur - it.pref, 0);
        sumPref += it.pref;
        target += std::max(it.cur, it.pref);
    }
    int64_t deficit = std::max<int64_t>(shortfall - amount, 0);
    int64_t surplus = std::max<int64_t>(amount - shortfall, 0);
    const bool belowPreferred = deficit > excess;
    int64_t start = first == 0 ? 0 : int64_t(StartOf(kids[size_t(first)])) - amount;
    int64_t left = int64_t(items.size());
    for (size_t n = 0; n < items.size(); ++n, --left) {
        const Item& it = items[n];
        const int64_t base = std::max(it.cur, it.pref);
        int64_t size;
        if (belowPreferred) {
            if (sumPref > 0) {
                const int64_t share = Share(it.pref * deficit, sumPref);
                size = base - share;
                deficit -= share;
                sumPref -= it.pref;
            } else {
                size = 0;
            }
        } else if (deficit >= 1) {
            if (it.cur <= it.pref) {
                size = it.pref;
            } else {
                const int64_t share = Share((it.cur - it.pref) * deficit, excess);
                size = it.cur - share;
                deficit -= share;
                excess -= it.cur - it.pref;
            }
        } else {
            // Without a total to weigh by, equal shares of what is left.
            const int64_t share = target > 0 ? Share(base * surplus, target) : Share(surplus, left);
            size = base + share;
            surplus -= share;
            target -= base;
        }
        size = std::clamp<int64_t>(size, 0, INT32_MAX / 2);
        SetSpan(kids[size_t(first) + n], int32_t(start), int32_t(size));
        start += size + kGap;
    }
}

void CPaneDivider::LayoutFromScratch() {
    const std::vector<LPane*> kids = VisibleChildren();
    if (kids.empty()) return;
    LPanePort port(this);
    LDrawContext ctx(port);
    std::vector<int64_t> prefs;
    int64_t sumPref = 0;
    for (LPane* p : kids) {
        prefs.push_back(PrefOf(p, ctx));
        sumPref += prefs.back();
    }
    int64_t available = std::max<int64_t>(int64_t(SizeAlong()) - int64_t(kGap) * int64_t(kids.size() - 1), 0);
    int64_t start = 0;
    int64_t left = int64_t(kids.size());
    for (size_t i = 0; i < kids.size(); ++i, --left) {
        const int64_t size = sumPref > 0 ? prefs[i] * available / sumPref : available / left;
        available -= size;
        sumPref -= prefs[i];
        SetSpan(kids[i], int32_t(start), int32_t(size));
        start += size + kGap;
    }
}

void CPaneDivider::SetOrientation(uint32_t orientation) {
    if (orientation == mOrientation) return;
    const CRgn before = Bands();
    mOrientation = orientation;
    LayoutFromScratch();
    mNeedsLayout = false;
    InvalidateBands(before);
}

void CPaneDivider::BoundsChanged(const CLRect& old) {
    // The bands as they were, in the old size.
    CRgn before;
    {
        const std::vector<LPane*> kids = VisibleChildren();
        for (size_t i = 1; i < kids.size(); ++i) {
            const int32_t pos = StartOf(kids[i]) - kGap;
            before |= CRgn(Stacked() ? CLRect{0, pos, old.Width(), pos + kGap}
                                     : CLRect{pos, 0, pos + kGap, old.Height()});
        }
    }
    if (mNeedsLayout) {
        LayoutFromScratch();
        mNeedsLayout = false;
    } else if (old.Width() != Bounds().Width() || old.Height() != Bounds().Height()) {
        const int32_t amount = Stacked() ? Bounds().Height() - old.Height() : Bounds().Width() - old.Width();
        Distribute(amount, 0, int32_t(VisibleChildren().size()) - 1);
    }
    InvalidateBands(before);
    LFrame::BoundsChanged(old);
}

// Dragging -------------------------------------------------------------------------------------------

void CPaneDivider::BeginDrag(uint32_t i) {
    const std::vector<LPane*> kids = VisibleChildren();
    const int64_t count = int64_t(kids.size());
    if (int64_t(i) + 1 >= count) return;
    LPanePort port(this);
    LDrawContext ctx(port);
    int64_t before = 0, after = 0;
    for (int64_t k = 0; k < count; ++k) (k <= int64_t(i) ? before : after) += PrefOf(kids[size_t(k)], ctx);
    mDragged = i;
    mDragPos = EndOf(kids[i]);
    const int64_t lo = before + int64_t(kGap) * i;
    const int64_t hi = int64_t(SizeAlong()) - after - int64_t(kGap) * (count - 1 - int64_t(i));
    if (lo <= hi) {
        mDragMin = int32_t(lo);
        mDragMax = int32_t(hi);
    } else {
        // No room to honour both sides: the divider stays where it is.
        mDragMin = mDragMax = mDragPos;
    }
}

void CPaneDivider::ApplyDrag(bool adjustNeighbour) {
    const std::vector<LPane*> kids = VisibleChildren();
    const int32_t count = int32_t(kids.size());
    const int32_t i = int32_t(mDragged);
    if (i + 1 >= count) return;
    const CRgn before = Bands();
    LPane* left = kids[size_t(i)];
    LPane* right = kids[size_t(i) + 1];
    const int32_t delta = mDragPos - (StartOf(right) - kGap);
    if (delta < 0) {
        SetSpan(right, StartOf(right) + delta, EndOf(right) - StartOf(right) - delta);
        if (adjustNeighbour) {
            SetSpan(left, StartOf(left), EndOf(left) - StartOf(left) + delta);
            Distribute(0, 0, i);
        } else {
            Distribute(delta, 0, i);
        }
    } else if (delta > 0) {
        SetSpan(left, StartOf(left), EndOf(left) - StartOf(left) + delta);
        if (adjustNeighbour) {
            SetSpan(right, StartOf(right) + delta, EndOf(right) - StartOf(right) - delta);
            Distribute(0, i + 1, count - 1);
        } else {
            Distribute(-delta, i + 1, count - 1);
        }
    }
    InvalidateBands(before);
}

void CPaneDivider::SetDividerPosition(uint32_t i, int32_t position) {
    if (size_t(i) + 1 >= VisibleChildren().size()) return;
    const int32_t savedPos = mDragPos;
    const uint32_t savedIndex = mDragged;
    const int32_t savedMin = mDragMin, savedMax = mDragMax;
    BeginDrag(i);
    mDragPos = std::clamp(position, mDragMin, mDragMax);
    ApplyDrag(true);
    mDragPos = savedPos;
    mDragged = savedIndex;
    mDragMin = savedMin;
    mDragMax = savedMax;
}

CLPoint CPaneDivider::MouseLocal() {
    const CLPoint p = MouseInOwner();
    return {p.x - Bounds().left, p.y - Bounds().top};
}

LMessage CPaneDivider::Handle(const LMessage& msg) {
    LMouse* mouse = LMouse::Get();
    LHandler* sender = msg.sender;
    if (msg.Is(LMouse_Click) && mouse && sender == mouse) {
        mDragStart = mouse->Location();
        const int32_t i = DividerAt(MouseLocal());
        if (i < 0) return LFrame::Handle(msg);
        BeginDrag(uint32_t(i));
        const CRgn band(BandAt(mDragPos));
        Invalidate(band, CRgn());
        return LMessage(LPane_ReqCapture, this, Upper());
    }
    if (msg.Is(LMouse_Move) && mDragPos >= 0 && mouse) {
        const std::vector<LPane*> kids = VisibleChildren();
        if (size_t(mDragged) + 1 >= kids.size()) return LMessage();
        const CLPoint now = mouse->Location();
        const int64_t moved = Stacked() ? int64_t(now.y) - mDragStart.y : int64_t(now.x) - mDragStart.x;
        const int64_t wanted = int64_t(StartOf(kids[mDragged + 1]) - kGap) + moved;
        const int32_t pos = int32_t(std::clamp<int64_t>(wanted, mDragMin, mDragMax));
        if (pos != mDragPos) {
            const CRgn old(BandAt(mDragPos));
            Invalidate(old, old);
            mDragPos = pos;
            Invalidate(CRgn(BandAt(mDragPos)), CRgn());
        }
        return LMessage();
    }
    if (msg.Is(LMouse_Release) && mDragPos >= 0) {
        ApplyDrag(false);
        const CRgn band(BandAt(mDragPos));
        Invalidate(band, band);
        mDragPos = -1;
        return LMessage(CPaneDivider_Change, this, Upper());
    }
    if (msg.Is(LMouse_Cursor) && mouse) {
        if (mouse->Tracker() == this || DividerAt(MouseLocal()) >= 0) {
            if (const plat::Cursor* c = ResizeCursor(Stacked())) c->Set();
            return LMessage();
        }
        return LFrame::Handle(msg);
    }
    if ((msg.Is(LPane_Constructing) || msg.Is(LPane_Destructing)) && sender && sender != this)
        mNeedsLayout = true;
    if (msg.Is(LPane_Pref) && sender != this) return LMessage(LPane_Defer, this, Upper());
    if (msg.Is(LPane_Deferred) && sender == this) {
        LPanePort port(this, LPanePort::Surroundings{});
        LDrawContext ctx(port);
        if (Bounds().Width() >= PreferredWidth(ctx, 0) && Bounds().Height() >= PreferredHeight(ctx, 0))
            Distribute(0, 0, int32_t(VisibleChildren().size()) - 1);
    }
    return LFrame::Handle(msg);
}

// Geometry and drawing -------------------------------------------------------------------------------

LPane* CPaneDivider::FindPaneAt(const CLPoint& p) {
    LPane* hit = LFrame::FindPaneAt(p);
    if (hit != this) return hit;
    return DividerAt({p.x - Bounds().left, p.y - Bounds().top}) >= 0 ? this : nullptr;
}

int32_t CPaneDivider::PreferredWidth(LDrawContext& ctx, int32_t kind) {
    const std::vector<LPane*> kids = VisibleChildren();
    int64_t out = 0;
    for (LPane* p : kids) {
        const int32_t w = p->PreferredWidth(ctx, kind);
        out = Stacked() ? std::max<int64_t>(out, w) : out + w;
    }
    if (!Stacked() && !kids.empty()) out += int64_t(kGap) * int64_t(kids.size() - 1);
    return int32_t(std::clamp<int64_t>(out, INT32_MIN, INT32_MAX));
}

int32_t CPaneDivider::PreferredHeight(LDrawContext& ctx, int32_t kind) {
    const std::vector<LPane*> kids = VisibleChildren();
    int64_t out = 0;
    for (LPane* p : kids) {
        const int32_t h = p->PreferredHeight(ctx, kind);
        out = Stacked() ? out + h : std::max<int64_t>(out, h);
    }
    if (Stacked() && !kids.empty()) out += int64_t(kGap) * int64_t(kids.size() - 1);
    return int32_t(std::clamp<int64_t>(out, INT32_MIN, INT32_MAX));
}

void CPaneDivider::Draw(LDrawContext& ctx) {
    LFrame::Draw(ctx);
    const CLRect& b = Bounds();
    LClipScope clip(ctx, b);
    const CLPoint before = ctx.Origin();
    LOriginScope origin(ctx, b.left, b.top);
    LTranslateScope translate(ctx, before);
    const std::vector<LPane*> kids = VisibleChildren();
    for (size_t i = 1; i < kids.size(); ++i) {
        const CLRect band = BandAt(StartOf(kids[i]) - kGap);
        CRgn meets = ctx.Clip();
        meets &= CRgn(band);
        if (meets.IsEmpty()) continue;
        CBevelFrame(band, LColor::Grey(4), LColor::Grey(2)).Draw(ctx);
        CLRect inside = band;
        inside.Inset(1, 1);
        LPaint(CRgn(inside), LColor::Grey(3)).Fill(ctx);
    }
    if (mDragPos >= 0) LPaint(CRgn(BandAt(mDragPos)), LColor::Grey(1)).Fill(ctx);
}
