#include "Lib3/LSources/CoreUI/LFrame.h"

#include <algorithm>

#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LLayoutDesc.h"
#include "Lib3/LSources/CoreUI/LLayoutProgram.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPaint.h"
#include "Lib3/LSources/CoreUI/LPaneListLayout.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/CoreUI/LWindowPlacer.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr LMsgId kViewPrefsChanged{"CViewPrefs_Changed"};
constexpr int32_t kNoHeight = -32768;

LPane* AsPane(LHandler* h) {
    return static_cast<LPane*>(h);
}

LPane* Child(SSLink* link) {
    return static_cast<LPane*>(link);
}

LWindowServices* Services() {
    return LWindowServices::Get();
}

CLRect FromLayout(const SLayoutRect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

SLayoutRect ToLayout(const CLRect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

bool SameColor(const LColor& a, const LColor& b) {
    return a.Data() == b.Data();
}

// The larger of the horizontal and vertical distances of the point outside the rectangle.
int64_t Distance(const CLPoint& p, const CLRect& r) {
    int64_t dx = 0, dy = 0;
    if (p.x < r.left) dx = int64_t(r.left) - p.x;
    if (p.x >= r.right) dx = int64_t(p.x) - r.right + 1;
    if (p.y < r.top) dy = int64_t(r.top) - p.y;
    if (p.y >= r.bottom) dy = int64_t(p.y) - r.bottom + 1;
    return std::max(dx, dy);
}

constexpr const char* kCmdClose = "LStdCmd_Close";

}  // namespace

bool LFrame::IsClosableWindow() const {
    LWindowServices* s = Services();
    return mWindow && s && s->IsClosable(mWindow);
}

LFrame::LFrame(LHandler* upper, LPane* owner, const LFrameSpec& spec)
    : LPane(upper, spec.windowKind.Data() ? nullptr : owner) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!spec.windowKind.Data()) return;
    mWindow = new LWindow(this, spec.kind, spec.windowKind, spec.menus);
    mWindow->SetRootPane(this);
    Dispatch(LMessage(LFrame_Constructing, this, Upper()));
}

LFrame::~LFrame() {
    if (LMouse::MouseOver() == this) LMouse::SetMouseOver(nullptr);
    if (mWindow) Dispatch(LMessage(LFrame_Destructing, this, Upper()));
    mScript.reset();
    // Each child leaves the list before it goes: a dying child may message the frame, which must not
    // find it half-destroyed in its list.
    while (SSLink* link = mChildren.RemoveFirst()) delete Child(link);
    while (SSLink* link = mOwnedWindows.RemoveFirst()) delete static_cast<LFrame*>(link);
    mFocus = nullptr;
    if (mWindow) mWindow->SetRootPane(nullptr);
    delete mWindow;
    mWindow = nullptr;
}

// Routing -------------------------------------------------------------------------------------------

LMessage LFrame::Handle(const LMessage& msg) {
    LHandler* sender = msg.sender;
    if (mWindow && sender == mWindow) return HandleWindowMessage(msg);

    if (msg.Is(LMenuBar_Ready) && sender && IsClosableWindow())
        static_cast<LMenuBar*>(sender)->EnableCommand(kCmdClose);
    if (msg.Is(LMenuItem_Selected) && sender && IsClosableWindow() &&
        static_cast<LMenuItem*>(sender)->HasCommand(kCmdClose))
        return LMessage(LFrame_Close, this, Upper());

    if (msg.Is(LPane_Pref)) {
        if (sender == this) return LMessage();
        if (!HasLayout()) return Owner() ? msg.Retarget(Owner()) : Default(msg);
        if (Owner()) Dispatch(msg.Retarget(Owner()));
        return LMessage(LPane_Defer, this, Upper());
    }
    if (msg.Is(LPane_UpdateNow)) {
        if (!mWindow) return Default(msg);
        if (LWindowServices* s = Services()) s->DisplayNow(mWindow);
        return LMessage();
    }
    if (msg.Is(LPane_Unfocus)) {
        if (sender && sender == mFocus) ReplaceFocusRef(mFocus, nullptr);
        return Default(msg);
    }
    if (msg.Is(LPane_Constructing) && sender && sender != this) {
        LPane* child = AsPane(sender);
        mChildren.Append(child);
        const uint32_t s = State();
        if ((s & (kEnabled | kChainEnabled)) == (kEnabled | kChainEnabled)) child->ChangeState(kChainEnable);
        if ((s & (kShown | kChainShown)) == (kShown | kChainShown)) child->ChangeState(kChainShow);
        if (s & kKeyWindow) child->ChangeState(kKeyOn);
        if (s & (kLocked | kChainLocked)) child->ChangeState(kChainLock);
        if (!HasLayout()) return LMessage();
        return LMessage(LPane_Defer, this, Upper());
    }
    if (msg.Is(LPane_Destructing) && sender && sender != this) {
        if (LMouse::MouseOver() == sender) LMouse::SetMouseOver(nullptr);
        if (mFocus == sender) mFocus = nullptr;
        mChildren.Remove(AsPane(sender));
        return Default(msg);
    }
    if (msg.Is(LFrame_Constructing) && sender != this) {
        auto* frame = static_cast<LFrame*>(sender);
        if (frame && frame->Window()) mOwnedWindows.Append(frame);
        return LMessage();
    }
    if (msg.Is(LFrame_Destructing) && sender != this) {
        if (sender) mOwnedWindows.Remove(static_cast<LFrame*>(sender));
        return Default(msg);
    }
    if (msg.Is(LPane_ReqFocus)) {
        if (sender == this) return LMessage();
        LPane* pane = AsPane(sender);
        if (pane->GetWindow() != GetWindow()) return msg.Retarget(Upper());
        ReplaceFocusRef(mFocus, pane);
        if (mWindow && mWindow->Kind() == LWindow::kFloating)
            if (LWindowServices* s = Services()) s->MakeKey(mWindow);
        if (State() & kFocused) pane->ChangeState(kFocus);
        return LMessage(LPane_ReqFocus, this, Upper());
    }
    if (msg.Is(LWindowPlacer_Grow)) {
        if (!mWindow) return Default(msg);
        auto* placer = static_cast<LWindowPlacer*>(sender);
        const CLRect& b = Bounds();
        if (!HasLayout()) {
            placer->SetSizeLimits(b.Width(), b.Height(), b.Width(), b.Height());
        } else {
            LPanePort port(this);
            LDrawContext ctx(port);
            CLRect pref;
            if (!PreferredRect(ctx, pref)) pref = {};
            placer->SetMinSize(std::max(pref.Width(), LWindowPlacer::kMinimum),
                               std::max(pref.Height(), LWindowPlacer::kMinimum));
        }
        return LMessage();
    }
    if (msg.Is(LWindowPlacer_Sizing) || msg.Is(LWindowPlacer_Prefer))
        return mWindow ? LPane::Handle(msg) : Default(msg);
    if (msg.Is(LKeyboard_Down)) {
        LKeyboard* kb = LKeyboard::Get();
        if (kb && sender == kb && kb->Char() == 9 && !kb->IsControlDown()) {
            bool wrapped = TabStep(kb->IsShiftDown());
            if (!wrapped || mWindow) return LMessage();
            return Default(msg);
        }
        return Default(msg);
    }
    if (msg.Is(LMouse_Click)) {
        if (!mWindow) return Default(msg);
        ReplaceFocusRef(mFocus, nullptr);
        return LMessage();
    }
    if (msg.Is(LMouse_Cursor)) {
        if (!mWindow) return Default(msg);
        if (LWindowServices* s = Services()) s->SetArrowCursor();
        return LMessage();
    }
    if (msg.Is(kViewPrefsChanged) && sender != this) {
        ChangeState(kRelayout);
        // The fonts changed: a window draws all of itself again.
        if (mWindow) {
            CRgn all(LocalBounds());
            Invalidate(all, all);
        }
        return LMessage();
    }
    if (sender == this) return HandleOwnMessage(msg);
    return Default(msg);
}

LMessage LFrame::HandleOwnMessage(const LMessage& msg) {
    if (msg.Is(LFrame_Close)) {
        HideWindow();
        return LMessage();
    }
    if (msg.Is(LPane_Deferred)) {
        if (!mWindow) {
            LPanePort port(this, LPanePort::Surroundings{});
            LDrawContext ctx(port);
            const int32_t w = PreferredWidth(ctx, 0);
            const int32_t h = PreferredHeight(ctx, 0);
            if (Bounds().Width() < w || Bounds().Height() < h) return LMessage(LPane_Pref, this, Owner());
        }
        UpdateLayout();
        return Default(msg);
    }
    return Default(msg);
}

LMessage LFrame::HandleWindowMessage(const LMessage& msg) {
    if (msg.Is(LWindow_Update)) {
        plat::DrawContext* native = nullptr;
        CRgn area;
        LWindowServices* s = Services();
        if (!s || !s->DrawingOf(mWindow, &native, &area)) return LMessage();
        LPanePort port(this, LPanePort::Surroundings{});
        port.clip = CRgn(Bounds());
        LDrawContext ctx(port, native, area);
        if (ctx.HasArea() && IsVisible()) {
            LColorScope colour(ctx, mBackground.Data() ? mBackground : ctx.Color());
            ctx.ApplyPending();
            Draw(ctx);
        }
        return LMessage();
    }
    struct MouseRoute {
        LMsgId window;
        LMsgId mouse;
    };
    static const MouseRoute kRoutes[] = {
        {LWindow_Cursor, LMouse_Cursor}, {LWindow_Click, LMouse_Click},     {LWindow_Bkgnd, LMouse_Bkgnd},
        {LWindow_Wheel, LMouse_Wheel},   {LWindow_Context, LMouse_Context},
    };
    for (const MouseRoute& r : kRoutes) {
        if (!msg.Is(r.window)) continue;
        LMouse* mouse = LMouse::Get();
        if (!mouse) return LMessage();
        LPane* target = FindPaneAt(MouseInFrame());
        if (!target) target = this;
        if (r.window == LWindow_Cursor && target != LMouse::MouseOver()) {
            if (LPane* old = LMouse::MouseOver()) Dispatch(LMessage(LMouse_Leave, mouse, old));
            LMouse::SetMouseOver(target);
        }
        return LMessage(r.mouse, mouse, target);
    }
    if (msg.Is(LWindow_Activate)) {
        if (auto* group = static_cast<LOwningMenuBar*>(mWindow->MenuGroup())) group->InsertIntoMain();
        ChangeState(kChainEnable);
        return LMessage(LFrame_Activate, this, Upper());
    }
    if (msg.Is(LWindow_Deativate)) {
        ChangeState(kChainDisable);
        if (auto* group = static_cast<LOwningMenuBar*>(mWindow->MenuGroup())) {
            LWindowServices* s = Services();
            LWindow* front = s ? s->NextVisibleWindow(nullptr) : nullptr;
            if (!front || front->Kind() != LWindow::kModal) group->RemoveFromMain();
        }
        return LMessage(LFrame_Deactivate, this, Upper());
    }
    if (msg.Is(LWindow_Focus)) {
        ChangeState(kKeyOn);
        return LMessage();
    }
    if (msg.Is(LWindow_Unfocus)) {
        ChangeState(kKeyOff);
        return LMessage();
    }
    if (msg.Is(LWindow_Place)) {
        if (LWindowServices* s = Services()) {
            CLRect c = s->ContentRect(mWindow);
            SetBounds({0, 0, c.Width(), c.Height()});
        }
        StateChanged(kMoved);
        return LMessage(LFrame_Place, this, Upper());
    }
    if (msg.Is(LWindow_Close)) return LMessage(LFrame_Close, this, Upper());
    return Default(msg);
}

LMessage LFrame::Default(const LMessage& msg) {
    if (!Owner() && mWindow && mWindow->Kind() == LWindow::kFloating) {
        if (LWindowServices* s = Services())
            if (LWindow* front = s->FrontWindowOfKind(LWindow::kDocument))
                if (front->Upper()) return msg.Retarget(front->Upper());
    }
    return LPane::Handle(msg);
}

CLPoint LFrame::MouseInFrame() const {
    LMouse* mouse = LMouse::Get();
    CLPoint p = mouse ? mouse->Location() : CLPoint{};
    if (LWindowServices* s = Services()) {
        CLRect c = s->ContentRect(mWindow);
        p.x -= c.left;
        p.y -= c.top;
    }
    return p;
}

// Pane operations -----------------------------------------------------------------------------------

void LFrame::FillPort(LPanePort& port) {
    if (mWindow) {
        port.window = mWindow->NativeWindow();
        port.contentView = port.window ? port.window->ContentView() : nullptr;
        port.clip = CRgn(Bounds());
    } else {
        if (Owner()) Owner()->FillPort(port);
        CRgn mine(Bounds());
        mine.Shift(port.origin.x, port.origin.y);
        port.clip &= mine;
        port.origin.x += Bounds().left;
        port.origin.y += Bounds().top;
    }
    if (mBackground.Data()) {
        port.background = mBackground;
        port.ownBackground = mBackground;
        port.ownBackgroundOrigin = port.origin;
    }
}

void LFrame::Invalidate(const CRgn& invalid, const CRgn& erase) {
    if (!IsVisible()) return;
    CRgn inv = invalid;
    CRgn er = erase;
    if (mBackground.Data()) {
        inv |= erase;
        // An erase request wins over a keep request of the same area, whichever came first.
        mErase |= erase;
        CRgn keep = invalid;
        keep -= mErase;
        mNoErase |= keep;
        mNoErase -= erase;
    }
    const CLRect& b = Bounds();
    inv.Shift(b.left, b.top);
    er.Shift(b.left, b.top);
    inv &= CRgn(b);
    er &= CRgn(b);
    if (inv.IsEmpty() && er.IsEmpty()) return;
    if (mWindow) {
        CRgn all = inv;
        all |= er;
        if (LWindowServices* s = Services()) s->InvalidateRect(mWindow, all.bounds());
    } else if (Owner()) {
        Owner()->Invalidate(inv, er);
    }
}

void LFrame::SendToChildren(uint32_t op) {
    // A child may go away while it handles the operation; walk a copy.
    std::vector<LPane*> children;
    for (SSLink* l = mChildren.First(); l && !l->IsEnd(); l = l->next) children.push_back(Child(l));
    for (LPane* c : children)
        if (ListPosition(c) != 0) c->ChangeState(op);
}

void LFrame::RestoreFocus() {
    if (mWindow && (State() & kEnabled)) {
        if (mFocus) mFocus->ChangeState(kFocus);
        if (!mFocus) TabStep(false);
    }
}

void LFrame::StateChanged(uint32_t op) {
    const uint32_t s = State();
    switch (op) {
        case kShow:
        case kChainShow:
            if (op == kChainShow && mWindow) {
                CRgn all(LocalBounds());
                Invalidate(all, all);
            }
            if (IsVisible()) {
                ClearNoErase();
                SendToChildren(kChainShow);
                RestoreFocus();
            }
            if (op == kChainShow && mWindow) return;
            break;
        case kHide:
            if (s & kChainShown) SendToChildren(kChainHide);
            break;
        case kChainHide:
            if (s & kShown) SendToChildren(kChainHide);
            break;
        case kEnable:
        case kChainEnable:
            if ((s & (kEnabled | kChainEnabled)) == (kEnabled | kChainEnabled)) SendToChildren(kChainEnable);
            break;
        case kDisable:
            if (s & kChainEnabled) SendToChildren(kChainDisable);
            break;
        case kChainDisable:
            if (s & kEnabled) SendToChildren(kChainDisable);
            break;
        case kMoved:
            SendToChildren(kMoved);
            if (mWindow) return;
            break;
        case kBackgroundChanged:
            if (!mBackground.Data()) SendToChildren(kBackgroundChanged);
            break;
        case kFocus:
            if (!mFocus || !mFocus->IsVisible())
                TabStep(false);
            else
                mFocus->ChangeState(kFocus);
            break;
        case kUnfocus:
            if (mFocus) mFocus->ChangeState(kUnfocus);
            break;
        case kLock:
        case kUnlock:
            if (!(s & kChainLocked)) SendToChildren(op == kLock ? kChainLock : kChainUnlock);
            break;
        case kChainLock:
        case kChainUnlock:
            if (!(s & kLocked)) SendToChildren(op);
            break;
        case kKeyOn:
        case kKeyOff:
            SendToChildren(op);
            break;
        case kRelayout:
            SendToChildren(kRelayout);
            if (!mWindow || (Services() && Services()->IsResizable(mWindow)))
                UpdateLayout();
            else
                FitWindowToLayout();
            break;
        default:
            break;
    }
    LPane::StateChanged(op);
}

CLRect LFrame::LocalBounds() const {
    return {0, 0, Bounds().Width(), Bounds().Height()};
}

void LFrame::BoundsChanged(const CLRect& old) {
    const CLRect& now = Bounds();
    if (IsVisible()) {
        CRgn area(old);
        if (old.left == now.left && old.top == now.top)
            area ^= CRgn(now);
        else
            area |= CRgn(now);
        CRgn erase = area;
        if (mBackground.Data()) erase -= CRgn(now);
        if (mWindow)
            Invalidate(area, erase);
        else if (Owner())
            Owner()->Invalidate(area, erase);
    }
    SendToChildren(kMoved);
    if (!old.congruent(now) && HasLayout()) {
        LPanePort port(this);
        LDrawContext ctx(port);
        ApplyLayout(ctx, false);
    }
}

LPane* LFrame::FindFocusable() {
    if (!IsUsable()) return nullptr;
    if (mFocus)
        if (LPane* p = mFocus->FindFocusable()) return p;
    return this;
}

LPane* LFrame::FindPaneAt(const CLPoint& p) {
    if (LPane::FindPaneAt(p) != this) return nullptr;
    CLPoint local{p.x - Bounds().left, p.y - Bounds().top};
    LPane* found = nullptr;
    for (SSLink* l = mChildren.First(); l && !l->IsEnd(); l = l->next)
        if (LPane* hit = Child(l)->FindPaneAt(local)) found = hit;
    return found ? found : this;
}

void LFrame::Draw(LDrawContext& ctx) {
    const CLRect& b = Bounds();
    LClipScope clip(ctx, b);
    const CLPoint before = ctx.Origin();
    LOriginScope origin(ctx, b.left, b.top);
    LTranslateScope translate(ctx, before);
    LColorScope colour(ctx, mBackground.Data() ? mBackground : ctx.Color());
    if (mBackground.Data()) {
        CRgn fill = ctx.Clip();
        fill -= mNoErase;
        LPaint(fill, mBackground).Fill(ctx);
        ClearNoErase();
    }
    for (SSLink* l = mChildren.First(); l && !l->IsEnd(); l = l->next) {
        LPane* child = Child(l);
        if (child->IntersectsRegion(ctx.Clip())) child->Draw(ctx);
        child->DrawFocusRing(ctx);
    }
}

// Focus ---------------------------------------------------------------------------------------------

bool LFrame::FocusNearest(const CLPoint& p) {
    struct Candidate {
        LPane* pane;
        int64_t distance;
    };
    std::vector<Candidate> candidates;
    for (SSLink* l = mChildren.First(); l && !l->IsEnd(); l = l->next)
        if (Child(l)->IsActive()) candidates.push_back({Child(l), Distance(p, Child(l)->Bounds())});
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.distance < b.distance; });
    ReplaceFocusRef(mFocus, nullptr);
    for (const Candidate& c : candidates) {
        CLPoint local{p.x - c.pane->Bounds().left, p.y - c.pane->Bounds().top};
        if (c.pane->FocusNearest(local)) return true;
        c.pane->TakeFocus(false, true);
        if (mFocus) return true;
    }
    return false;
}

bool LFrame::TakeFocus(int32_t backwards, bool restart) {
    if (!restart && mFocus && mFocus->TakeFocus(backwards, false)) return true;
    if (restart) ReplaceFocusRef(mFocus, nullptr);
    return !TabStep(backwards != 0);
}

int32_t LFrame::ListPosition(const LPane* child) const {
    int32_t i = 1;
    for (SSLink* l = mChildren.First(); l && !l->IsEnd(); l = l->next, ++i)
        if (l == child) return i;
    return 0;
}

void LFrame::SetTabOrder(std::vector<uint32_t> order, bool fixed) {
    mTabOrder = std::move(order);
    mTabFixed = fixed;
}

void LFrame::RebuildTabOrder() {
    std::vector<LPane*> placed;
    for (SSLink* l = mChildren.First(); l && !l->IsEnd(); l = l->next) {
        LPane* c = Child(l);
        const CLRect& r = c->Bounds();
        auto at = std::find_if(placed.begin(), placed.end(), [&r](LPane* e) {
            const CLRect& o = e->Bounds();
            const bool above = r.bottom <= o.top;
            const bool leftInRow = r.top < o.bottom && (r.left < o.left || r.right < o.right);
            return above || leftInRow;
        });
        placed.insert(at, c);
    }
    mTabOrder.clear();
    for (LPane* c : placed) mTabOrder.push_back(uint32_t(ListPosition(c)));
}

bool LFrame::FullyVisible(LPane* child, const LPanePort& port) const {
    CLRect r = child->Bounds();
    r.Shift(port.origin.x, port.origin.y);
    CRgn outside(r);
    outside -= port.clip;
    return outside.IsEmpty() && !r.IsEmpty();
}

bool LFrame::TabStep(bool backwards) {
    if (!mTabFixed) RebuildTabOrder();
    const int32_t n = int32_t(mTabOrder.size());
    if (n == 0) return true;
    int32_t start = -1;
    if (mFocus) {
        const uint32_t pos = uint32_t(ListPosition(mFocus));
        for (int32_t i = 0; i < n; ++i)
            if (mTabOrder[size_t(i)] == pos) start = i;
    }
    // Without a focus pane: forwards from after the last place, backwards from the end.
    int32_t cur = start >= 0 ? start : n;
    bool wrapped = false;
    LPanePort port(this);
    const LPane* before = mFocus;
    for (int32_t guard = 0; guard <= 2 * n + 2; ++guard) {
        cur += backwards ? -1 : 1;
        if (cur < 0 || cur >= n) {
            if (wrapped) return true;
            wrapped = true;
            cur = backwards ? n - 1 : 0;
        }
        if (cur == start) return true;
        const uint32_t pos = mTabOrder[size_t(cur)];
        if (pos == 0 || pos > mChildren.Count()) continue;
        LPane* candidate = Child(mChildren[pos - 1]);
        if (candidate->IsActive() && FullyVisible(candidate, port)) {
            candidate->TakeFocus(backwards ? 1 : 0, true);
            if (mFocus != before) return wrapped;
        }
    }
    return true;
}

// Layout --------------------------------------------------------------------------------------------

void LFrame::SetLayout(const LLayoutParts& parts, uint32_t mode) {
    mLayout = parts;
    mLayoutMode = mode == kScriptMode ? kScriptMode : kDescriptionMode;
    if (mLayoutMode == kScriptMode) {
        if (!mScript) mScript = std::make_unique<LLayoutProgram>();
        (void)mScript->Build(mLayout);
    } else {
        mScript.reset();
    }
}

void LFrame::SetLayout(const LStrListRsrcH& parts, uint32_t mode) {
    LLayoutParts copy;
    for (uint32_t i = 0; i < parts.Count(); ++i) copy.Append(parts.GetString(i));
    SetLayout(copy, mode);
}

void LFrame::EnsureScript() {
    if (mLayoutMode == kScriptMode && !mScript) {
        mScript = std::make_unique<LLayoutProgram>();
        (void)mScript->Build(mLayout);
    }
}

bool LFrame::PreferredRect(LDrawContext& ctx, CLRect& out) {
    if (!HasLayout()) return false;
    LPaneListLayout panes(mChildren, ctx);
    if (mLayoutMode == kScriptMode) {
        EnsureScript();
        if (mScript->ErrorCode()) return false;
        ScriptPrefer(ctx, *mScript);
        mScript->LayoutRect() = ToLayout(LocalBounds());
        if (!mScript->RunPref(&panes)) return false;
        out = FromLayout(mScript->LayoutRect());
        return true;
    }
    LLayoutDesc desc(&panes);
    desc.LayoutRect() = ToLayout(LocalBounds());
    desc.Evaluate(mLayout.Part(0));
    DescriptionPrefer(ctx, desc);
    desc.Evaluate(mLayout.Part(1));
    out = FromLayout(desc.LayoutRect());
    return true;
}

int32_t LFrame::PreferredWidth(LDrawContext& ctx, int32_t kind) {
    CLRect pref;
    if (!PreferredRect(ctx, pref)) return LPane::PreferredWidth(ctx, kind);
    return pref.Width();
}

int32_t LFrame::PreferredHeight(LDrawContext& ctx, int32_t kind) {
    if (HasLayout() && mLayoutMode == kScriptMode && kind != 0) {
        EnsureScript();
        LPaneListLayout panes(mChildren, ctx);
        ScriptPrefer(ctx, *mScript);
        int32_t result = kNoHeight;
        const int32_t args[1] = {kind};
        if (mScript->RunWith(&panes, "PREFH", 1, args, result) && result > kNoHeight) return result;
        return LPane::PreferredHeight(ctx, kind);
    }
    CLRect pref;
    if (!PreferredRect(ctx, pref)) return LPane::PreferredHeight(ctx, kind);
    return pref.Height();
}

// Runs the layout over the children; with the preference step, a window is first grown (or placed)
// to the preferred size.
void LFrame::ApplyLayout(LDrawContext& ctx, bool withPreference) {
    LPaneListLayout panes(mChildren, ctx);
    if (mLayoutMode == kScriptMode) {
        EnsureScript();
        if (mScript->ErrorCode()) return;
        ScriptPrefer(ctx, *mScript);
        (void)withPreference;
        mScript->LayoutRect() = ToLayout(LocalBounds());
        mScript->RunLayo(&panes);
        ScriptApplied(ctx, *mScript);
        return;
    }
    LLayoutDesc desc(&panes);
    desc.Evaluate(mLayout.Part(0));
    DescriptionPrefer(ctx, desc);
    desc.LayoutRect() = ToLayout(LocalBounds());
    desc.Evaluate(mLayout.Part(2));
    DescriptionApplied(ctx, desc);
}

void LFrame::UpdateLayout() {
    if (!HasLayout()) return;
    LPanePort port(this);
    LDrawContext ctx(port);
    if (mWindow) {
        CLRect pref;
        if (PreferredRect(ctx, pref)) {
            pref = {0, 0, std::max(pref.Width(), LWindowPlacer::kMinimum),
                    std::max(pref.Height(), LWindowPlacer::kMinimum)};
            LWindowServices* s = Services();
            const CLRect content = s ? s->ContentRect(mWindow) : CLRect{};
            if (Bounds().IsEmpty()) {
                ::PlaceWindow(this, mWindow, pref);
            } else if (content.Width() < pref.Width() || content.Height() < pref.Height()) {
                CLRect grown{content.left, content.top,
                             content.left + std::max(content.Width(), pref.Width()),
                             content.top + std::max(content.Height(), pref.Height())};
                ::PlaceWindow(this, mWindow, grown);
            }
        }
    }
    ApplyLayout(ctx, true);
}

void LFrame::FitWindowToLayout() {
    if (!mWindow || !HasLayout()) return;
    LPanePort port(this);
    LDrawContext ctx(port);
    CLRect pref;
    if (PreferredRect(ctx, pref)) {
        const int32_t w = std::max(pref.Width(), LWindowPlacer::kMinimum);
        const int32_t h = std::max(pref.Height(), LWindowPlacer::kMinimum);
        LWindowServices* s = Services();
        if (Bounds().IsEmpty()) {
            ::PlaceWindow(this, mWindow, {0, 0, w, h});
        } else {
            SetBounds({0, 0, w, h});
            const CLRect content = s ? s->ContentRect(mWindow) : CLRect{};
            ::PlaceWindow(this, mWindow, {content.left, content.top, content.left + w, content.top + h});
        }
    }
    ApplyLayout(ctx, true);
}

void LFrame::DescriptionPrefer(LDrawContext&, LLayoutDesc&) {}
void LFrame::DescriptionApplied(LDrawContext&, LLayoutDesc&) {}
void LFrame::ScriptPrefer(LDrawContext&, LLayoutProgram&) {}
void LFrame::ScriptApplied(LDrawContext&, LLayoutProgram&) {}

// Background and window -----------------------------------------------------------------------------

void LFrame::SetBackground(const LColor& colour) {
    if (SameColor(colour, mBackground)) return;
    mBackground = colour;
    ClearNoErase();
    SetOwnBackgroundBit(mBackground.Data() != nullptr);
    SendToChildren(kBackgroundChanged);
}

void LFrame::SetWindowTitle(const LString& title) {
    if (mWindow && Services()) Services()->SetTitle(mWindow, title.CStr());
}

void LFrame::ShowWindow() {
    ShowWindowWith(0);
}

void LFrame::ShowWindowWith(uint32_t option) {
    if (!mWindow) return;
    if (LWindowServices* s = Services()) {
        if (option == 1)
            s->ShowBehind(mWindow);
        else
            s->Show(mWindow);
    }
    ChangeState(kChainShow);
}

void LFrame::HideWindow() {
    if (!mWindow) return;
    ChangeState(kChainHide);
    if (LWindowServices* s = Services()) s->Hide(mWindow);
}

CLRect LFrame::GetWindowRect() const {
    LWindowServices* s = Services();
    return mWindow && s ? s->ContentRect(mWindow) : CLRect{};
}

CLRect LFrame::GetWindowFrame() const {
    LWindowServices* s = Services();
    return mWindow && s ? s->FrameRect(mWindow) : CLRect{};
}

void LFrame::SetWindowFrame(const CLRect& content) {
    if (mWindow && Services()) Services()->SetContentRect(mWindow, content);
}

void LFrame::SetWindowOuterFrame(const CLRect& frame) {
    LWindowServices* s = Services();
    if (!mWindow || !s || frame.IsEmpty()) return;
    const CLRect outer = s->FrameForContent(mWindow, frame);
    const CLRect content{frame.left - (outer.left - frame.left), frame.top - (outer.top - frame.top),
                         frame.right - (outer.right - frame.right), frame.bottom - (outer.bottom - frame.bottom)};
    s->SetContentRect(mWindow, content.IsEmpty() ? frame : content);
}

void LFrame::SetBoundsOnScreen(const CLRect& content) {
    if (mWindow) SetContentRectOnScreen(mWindow, content);
}

void LFrame::PlaceWindow(const CLRect& rect, LPane* relativeTo) {
    if (!mWindow) return;
    if (!relativeTo) {
        ::PlaceWindow(this, mWindow, rect);
        return;
    }
    // The pane's origin in global coordinates.
    CLPoint origin = relativeTo->GetOriginIn(nullptr);
    LPanePort port(relativeTo);
    if (LWindow* w = LWindow::FindWindow(port.window))
        if (LWindowServices* s = Services()) {
            CLRect c = s->ContentRect(w);
            origin.x += c.left;
            origin.y += c.top;
        }
    ::PlaceWindow(this, mWindow, rect, &origin);
}
