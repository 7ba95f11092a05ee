#include "Lib3/LSources/CoreUI/CCellGridPane.h"

#include <algorithm>
#include <array>
#include <utility>

#include "Lib3/LSources/CoreUI/CTabFocusPane.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPaint.h"

// CPaneUpdateBatch ---------------------------------------------------------------------------------

CPaneUpdateBatch::CPaneUpdateBatch(LPane* pane, std::unique_ptr<Record>& slot)
    : fPane(pane), fSlot(slot), fOwner(!slot) {
    if (!fOwner) return;
    auto record = std::make_unique<Record>();
    record->port = LPanePort(pane);
    fSlot = std::move(record);
}

CPaneUpdateBatch::~CPaneUpdateBatch() {
    if (!fOwner || !fSlot) return;
    std::unique_ptr<Record> done = std::move(fSlot);
    if (!done->invalid.IsEmpty() || !done->erase.IsEmpty()) fPane->Invalidate(done->invalid, done->erase);
}

// CCellRef -------------------------------------------------------------------------------------------

CCellRef::CCellRef(CCellGridPane* grid, const CLPoint& cell, bool lookUpOnly) : fGrid(grid) {
    auto live = [&](const CCellGridPane::CellRecord& r) { return r.IsValid() && r.cell == cell; };
    if (live(grid->fHot)) {
        fPane = grid->fHot.pane;
    } else if (live(grid->fFocus)) {
        fPane = grid->fFocus.pane;
    } else if (CCellGridPane::CellRecord* extra = grid->FindExtra(cell)) {
        fPane = extra->pane;
    } else if (!lookUpOnly && grid->InGrid(cell)) {
        // Made hot, then the previous hot cell comes back: the new pane stays in the extra list.
        const CLPoint previous = grid->fHot.cell;
        grid->MakeHot(cell);
        if (grid->fHot.cell == cell) fPane = grid->fHot.pane;
        if (previous.x >= 0 && previous.y >= 0) grid->MakeHot(previous);
    }
    if (fPane && fPane->IsUsable()) {
        fLive = true;
        return;
    }
    fPane = grid->GetPrototypeCell();
    if (fPane) {
        const CLRect at = grid->CellRect(cell);
        fOffset = {at.left - fPane->Bounds().left, at.top - fPane->Bounds().top};
    }
}

void CCellRef::Redraw(const CLPoint& cell) {
    if (fLive) {
        if (CCellGridPane::CellRecord* extra = fGrid->FindExtra(cell)) {
            fGrid->Bind(*extra, cell);
        } else if (fGrid->fHot.cell == cell) {
            fGrid->Bind(fGrid->fHot, cell);
        } else if (fGrid->fFocus.cell == cell) {
            fGrid->Bind(fGrid->fFocus, cell);
        }
        return;
    }
    fGrid->InvalidateCells(fGrid->PixelsOfCells(CRgn(CLRect{cell.x, cell.y, cell.x + 1, cell.y + 1})));
}

// CCellGridPane ---------------------------------------------------------------------------------------

CCellGridPane::CCellGridPane(LPane* owner, uint32_t selectionMode, bool keepSelectionOnFocus, bool liveMode)
    : LListPane(owner, selectionMode), fKeepSelection(keepSelectionOnFocus), fLive(liveMode) {}

CCellGridPane::~CCellGridPane() {
    SetGridSize(0, Rows());
    for (auto& r : fExtras) DeletePane(std::exchange(r->pane, nullptr));
    fExtras.clear();
    DeletePane(std::exchange(fPrototype, nullptr));
    fBatch.reset();
    DeletePane(std::exchange(fFocus.pane, nullptr));
    DeletePane(std::exchange(fHot.pane, nullptr));
}

void CCellGridPane::DeletePane(LPane* pane) {
    delete pane;
}

LPane* CCellGridPane::NewCellPane() {
    LPane* pane = CreateCellPane();
    if (!pane) return nullptr;
    pane->ChangeState(kChainHide);
    PrepareCellPane(pane);
    return pane;
}

LPane* CCellGridPane::GetPrototypeCell() {
    if (fPrototype) return fPrototype;
    fPrototype = NewCellPane();
    if (!fPrototype) return nullptr;
    LPanePort port(this);
    LDrawContext ctx(port);
    SetCellSize(fPrototype->PreferredWidth(ctx, 0), fPrototype->PreferredHeight(ctx, 0));
    const CLRect at = CellRect({0, 0});
    if (fPrototype->Bounds() == at)
        fPrototype->ChangeState(kMoved);
    else
        fPrototype->SetBounds(at);
    return fPrototype;
}

void CCellGridPane::ClearRecord(CellRecord& r) {
    if (r.pane) r.pane->ChangeState(kChainHide);
    r.cell = {-1, -1};
}

void CCellGridPane::MirrorState(LPane* pane) {
    const uint32_t s = State();
    pane->ChangeState((s & kEnabled) && (s & kChainEnabled) ? kChainEnable : kChainDisable);
    pane->ChangeState((s & (kLocked | kChainLocked)) ? kChainLock : kChainUnlock);
    pane->ChangeState((s & kKeyWindow) ? kKeyOn : kKeyOff);
}

void CCellGridPane::Place(CellRecord& r) {
    if (!r.IsValid()) return;
    const CLRect at = CellRect(r.cell);
    if (r.pane->Bounds() == at)
        r.pane->ChangeState(kMoved);
    else
        r.pane->SetBounds(at);
}

void CCellGridPane::Bind(CellRecord& r, const CLPoint& at) {
    if (!r.pane) return;
    const CLPoint cell = at;  // may be the record's own cell, which clearing resets
    ClearRecord(r);
    if (!InGrid(cell) || !BindCell(r.pane, cell)) return;
    r.cell = cell;
    Place(r);
    SetCellSelected(r.pane, cell, IsSelected(cell));
    MirrorState(r.pane);
    if (IsUsable()) r.pane->ChangeState(kChainShow);
}

CCellGridPane::CellRecord* CCellGridPane::FindExtra(const CLPoint& cell, size_t* at) {
    for (size_t i = 0; i < fExtras.size(); ++i)
        if (fExtras[i]->pane && fExtras[i]->cell == cell) {
            if (at) *at = i;
            return fExtras[i].get();
        }
    return nullptr;
}

void CCellGridPane::Reinsert(std::unique_ptr<CellRecord> r) {
    if (!r->pane) return;
    if (r->cell.x < 0 || r->cell.y < 0) {
        // A cleared record serves as the spare at the front; one is enough.
        if (!fExtras.empty() && fExtras.front()->cell.x < 0) {
            DeletePane(r->pane);
            return;
        }
        fExtras.insert(fExtras.begin(), std::move(r));
        return;
    }
    auto less = [](const std::unique_ptr<CellRecord>& a, const CLPoint& c) {
        if (a->cell.x < 0) return true;  // the spare stays first
        return a->cell.y != c.y ? a->cell.y < c.y : a->cell.x < c.x;
    };
    auto it = std::lower_bound(fExtras.begin(), fExtras.end(), r->cell, less);
    fExtras.insert(it, std::move(r));
}

void CCellGridPane::EnsureSpare() {
    if (!fExtras.empty() && fExtras.front()->cell.x < 0 && fExtras.front()->pane) return;
    auto spare = std::make_unique<CellRecord>();
    spare->pane = NewCellPane();
    if (spare->pane) fExtras.insert(fExtras.begin(), std::move(spare));
}

void CCellGridPane::ExchangeWithFirst(CellRecord& r) {
    if (fExtras.empty()) return;
    std::unique_ptr<CellRecord> first = std::move(fExtras.front());
    fExtras.erase(fExtras.begin());
    std::swap(*first, r);
    Reinsert(std::move(first));
}

void CCellGridPane::MakeHot(const CLPoint& cell) {
    if (fHot.pane && fHot.cell == cell) return;
    size_t at = 0;
    if (FindExtra(cell, &at)) {
        std::unique_ptr<CellRecord> extra = std::move(fExtras[at]);
        fExtras.erase(fExtras.begin() + std::ptrdiff_t(at));
        std::swap(*extra, fHot);
        Reinsert(std::move(extra));
        return;
    }
    const bool spareFirst = !fExtras.empty() && fExtras.front()->cell.x < 0;
    if (fExtras.empty() || (fLive && !spareFirst)) EnsureSpare();
    LPane* leaving = fHot.pane;
    ExchangeWithFirst(fHot);
    if (leaving && leaving != fHot.pane) leaving->ChangeState(kUnfocus);
    Bind(fHot, cell);
}

void CCellGridPane::SetCellSelected(LPane* pane, const CLPoint&, bool selected) {
    // Every cell pane is a frame (CreateCellPane).
    if (pane) static_cast<LFrame*>(pane)->SetBackground(selected ? LColor::System(3) : fPlaceholder);
}

void CCellGridPane::DrawCell(LDrawContext& ctx, const CLPoint& cell, const CLRect& r) {
    auto placeholder = [&] {
        if (!(fPlaceholder.Data() == nullptr)) LPaint(CRgn(r), fPlaceholder).Fill(ctx);
    };
    if (!InGrid(cell)) return placeholder();
    for (CellRecord* rec : {&fHot, &fFocus, FindExtra(cell)})
        if (rec && rec->IsValid() && rec->cell == cell && rec->pane->IsUsable()) {
            rec->pane->Draw(ctx);
            return;
        }
    if (fLive) {
        MakeHot(cell);
        if (fHot.pane && fHot.cell == cell && fHot.pane->IsUsable()) {
            LPane* pane = fHot.pane;
            EnsureSpare();
            ExchangeWithFirst(fHot);  // the cell's record joins the list, the spare becomes hot
            pane->Draw(ctx);
            return;
        }
        fHot.cell = {-1, -1};
        return placeholder();
    }
    LPane* proto = GetPrototypeCell();
    if (proto) {
        fPrototypeDrawing = true;
        if (BindCell(proto, cell)) {
            SetCellSelected(proto, cell, IsSelected(cell));
            if (!(proto->Bounds() == r)) proto->SetBounds(r);
            proto->ChangeState((State() & kEnabled) && (State() & kChainEnabled) ? kChainEnable
                                                                                 : kChainDisable);
            proto->Draw(ctx);
            fPrototypeDrawing = false;
            return;
        }
        fPrototypeDrawing = false;
    }
    placeholder();
}

LPane* CCellGridPane::FindPaneAt(const CLPoint& p) {
    LPane* hit = LListPane::FindPaneAt(p);
    if (hit != this) return hit;
    const CLPoint cell = CellAt(p);
    if (!InGrid(cell)) return this;
    LMouse* mouse = LMouse::Get();
    LHandler* tracker = mouse ? mouse->Tracker() : nullptr;
    auto inside = [&](LPane* pane) { return pane && tracker && LHandler::IsBetween(nullptr, tracker, pane); };
    const bool trackerInLive = inside(fHot.pane) || inside(fFocus.pane);
    if (!trackerInLive && !(fFocus.IsValid() && fFocus.cell == cell)) MakeHot(cell);
    LPane* answer = nullptr;
    if (fFocus.IsValid() && fFocus.cell == cell) {
        answer = fFocus.pane->FindPaneAt(p);
        if (fHot.IsValid() && !inside(fHot.pane)) ClearRecord(fHot);
    } else if (fHot.IsValid() && fHot.cell == cell) {
        answer = fHot.pane->FindPaneAt(p);
    } else if (CellRecord* extra = FindExtra(cell)) {
        answer = extra->pane->FindPaneAt(p);
    } else {
        MakeHot(cell);
        if (fHot.IsValid() && fHot.cell == cell) answer = fHot.pane->FindPaneAt(p);
    }
    return answer ? answer : this;
}

bool CCellGridPane::FindCellOfPane(LPane* pane, CLPoint* cell) const {
    if (!pane) return false;
    auto check = [&](const CellRecord& r) {
        if (!r.IsValid() || !LHandler::IsBetween(nullptr, pane, r.pane)) return false;
        if (cell) *cell = r.cell;
        return true;
    };
    if (check(fHot) || check(fFocus)) return true;
    for (const auto& r : fExtras)
        if (check(*r)) return true;
    return false;
}

bool CCellGridPane::GetFocusCell(CLPoint* cell) const {
    if (!fFocus.IsValid()) return false;
    if (cell) *cell = fFocus.cell;
    return true;
}

void CCellGridPane::Unfocus() {
    if (!fFocus.pane) return;
    auto old = std::make_unique<CellRecord>(std::exchange(fFocus, CellRecord()));
    old->pane->ChangeState(kUnfocus);
    Reinsert(std::move(old));
}

void CCellGridPane::ResetFocusRecords() {
    Unfocus();
}

void CCellGridPane::SetBackColor(const LColor& colour) {
    fPlaceholder = colour;
    SetOwnBackgroundBit(!(colour.Data() == nullptr));
    InvalidateCells(CRgn(Bounds()));
}

void CCellGridPane::ForEachLive(void (*fn)(CCellGridPane*, CellRecord&, void*), void* ctx) {
    if (fHot.IsValid()) fn(this, fHot, ctx);
    if (fFocus.IsValid()) fn(this, fFocus, ctx);
    for (auto& r : fExtras)
        if (r->IsValid()) fn(this, *r, ctx);
}

void CCellGridPane::PlaceLive() {
    ForEachLive([](CCellGridPane* g, CellRecord& r, void*) { g->Place(r); }, nullptr);
}

void CCellGridPane::TrimLive() {
    if (!fLive) return;
    const int32_t lo = FirstRow() - kLiveMargin, hi = FirstRow() + VisibleRows() + kLiveMargin;
    const int32_t left = FirstColumn() - kLiveMargin, right = FirstColumn() + VisibleColumns() + kLiveMargin;
    bool spareKept = false;
    for (auto it = fExtras.begin(); it != fExtras.end();) {
        CellRecord& r = **it;
        const bool far = r.cell.y < lo || r.cell.y >= hi || r.cell.x < left || r.cell.x >= right;
        if (r.cell.x >= 0 && !far) {
            ++it;
            continue;
        }
        if (r.cell.x < 0 && !spareKept) {
            spareKept = true;
            ++it;
            continue;
        }
        if (far && !spareKept) {
            ClearRecord(r);
            spareKept = true;
            std::unique_ptr<CellRecord> spare = std::move(*it);
            it = fExtras.erase(it);
            fExtras.insert(fExtras.begin(), std::move(spare));
            it = fExtras.begin() + 1;
            continue;
        }
        DeletePane(r.pane);
        it = fExtras.erase(it);
    }
    // The spare goes first.
    std::stable_partition(fExtras.begin(), fExtras.end(), [](const auto& r) { return r->cell.x < 0; });
}

uint32_t CCellGridPane::PaneCount() const {
    uint32_t n = (fPrototype ? 1 : 0) + (fHot.pane ? 1 : 0) + (fFocus.pane ? 1 : 0);
    for (const auto& r : fExtras) n += r->pane ? 1 : 0;
    return n;
}

uint32_t CCellGridPane::LiveCellCount() const {
    uint32_t n = (fHot.IsValid() ? 1 : 0) + (fFocus.IsValid() ? 1 : 0);
    for (const auto& r : fExtras) n += r->IsValid() ? 1 : 0;
    return n;
}

void CCellGridPane::Scrolled() {
    PlaceLive();
    TrimLive();
    LListPane::Scrolled();
}

void CCellGridPane::BoundsChanged(const CLRect& old) {
    if (old.left == Bounds().left && old.top == Bounds().top)
        ForEachLive([](CCellGridPane*, CellRecord& r, void*) { r.pane->ChangeState(kMoved); }, nullptr);
    else
        PlaceLive();
    LListPane::BoundsChanged(old);
}

void CCellGridPane::CellSizeChanged(int32_t width, int32_t height) {
    if (fPrototype) fPrototype->SetBounds(CellRect({0, 0}));
    PlaceLive();
    if (fLive) return LListPane::CellSizeChanged(width, height);
    CRgn area(Bounds());
    ForEachLive(
        [](CCellGridPane*, CellRecord& r, void* a) { *static_cast<CRgn*>(a) -= CRgn(r.pane->Bounds()); },
        &area);
    InvalidateCells(area);
}

void CCellGridPane::InvalidateCells(const CRgn& pixels) {
    CRgn r = pixels;
    r &= CRgn(Bounds());
    if (r.IsEmpty()) return;
    Invalidate(r, (fPlaceholder.Data() == nullptr) ? r : CRgn());
}

void CCellGridPane::Invalidate(const CRgn& invalid, const CRgn& erase) {
    if (fPrototypeDrawing) return;  // the prototype draws borrowed: nothing reaches the grid
    if (fBatch) {
        fBatch->invalid |= invalid;
        fBatch->erase |= erase;
        return;
    }
    LListPane::Invalidate(invalid, erase);
}

void CCellGridPane::FillPort(LPanePort& port) {
    if (fBatch)
        port = fBatch->port;
    else
        LListPane::FillPort(port);
    if (!(fPlaceholder.Data() == nullptr)) port.background = fPlaceholder;
    if (!fLive) port.flags = 1;
}

void CCellGridPane::Draw(LDrawContext& ctx) {
    CPaneUpdateBatch batch(this, fBatch);
    LListPane::Draw(ctx);
}

void CCellGridPane::RefreshCell(const CLPoint& cell) {
    if (!InGrid(cell)) return;
    CCellRef ref(this, cell, true);
    ref.Redraw(cell);
}

void CCellGridPane::RefreshAllCells() {
    ForEachLive([](CCellGridPane* g, CellRecord& r, void*) { g->Bind(r, r.cell); }, nullptr);
    InvalidateCells(CRgn(Bounds()));
}

void CCellGridPane::ReleaseCells() {
    for (CellRecord* r : {&fHot, &fFocus}) {
        ClearRecord(*r);
        if (r->pane) PrepareCellPane(r->pane);
    }
    for (auto& r : fExtras) {
        ClearRecord(*r);
        if (r->pane) PrepareCellPane(r->pane);
    }
    // One spare is kept.
    while (fExtras.size() > 1) {
        DeletePane(fExtras.back()->pane);
        fExtras.pop_back();
    }
}

void CCellGridPane::SelectionChanged(const CRgn& changed, const CRgn&) {
    if (!Selection().IsEmpty() && fFocus.IsValid() && !(fKeepSelection && IsSelected(fFocus.cell))) Unfocus();
    ForEachLive(
        [](CCellGridPane* g, CellRecord& r, void* c) {
            const CRgn& ch = *static_cast<const CRgn*>(c);
            if (ch.Contain(CLRect{r.cell.x, r.cell.y, r.cell.x + 1, r.cell.y + 1}))
                g->SetCellSelected(r.pane, r.cell, g->IsSelected(r.cell));
        },
        const_cast<CRgn*>(&changed));
}

void CCellGridPane::CellsInserted(int32_t axis, int32_t index, int32_t count) {
    CPaneUpdateBatch batch(this, fBatch);
    auto shift = [&](CellRecord& r) -> bool {  // false when the record's cell went
        if (!r.IsValid()) return true;
        int32_t& at = axis == 0 ? r.cell.x : r.cell.y;
        if (at < index) return true;
        at += count;
        if (at >= index) return true;
        r.pane->ChangeState(kUnfocus);
        ClearRecord(r);
        return false;
    };
    (void)shift(fHot);
    (void)shift(fFocus);
    std::vector<std::unique_ptr<CellRecord>> keep;
    std::vector<std::unique_ptr<CellRecord>> gone;
    for (auto& r : fExtras) (shift(*r) ? keep : gone).push_back(std::move(r));
    fExtras = std::move(keep);
    for (auto& r : gone) Reinsert(std::move(r));
    std::sort(fExtras.begin(), fExtras.end(), [](const auto& a, const auto& b) {
        if ((a->cell.x < 0) != (b->cell.x < 0)) return a->cell.x < 0;
        return a->cell.y != b->cell.y ? a->cell.y < b->cell.y : a->cell.x < b->cell.x;
    });
    PlaceLive();
    ForEachLive(
        [](CCellGridPane* g, CellRecord& r, void* c) {
            const int32_t* ai = static_cast<const int32_t*>(c);
            if ((ai[0] == 0 ? r.cell.x : r.cell.y) >= ai[1]) g->Bind(r, r.cell);
        },
        std::array<int32_t, 2>{axis, index}.data());
}

void CCellGridPane::StateChanged(uint32_t op) {
    LListPane::StateChanged(op);
    CPaneUpdateBatch batch(this, fBatch);
    const uint32_t s = State();
    auto all = [&](uint32_t cellOp) {
        ForEachLive(
            [](CCellGridPane*, CellRecord& r, void* o) { r.pane->ChangeState(*static_cast<uint32_t*>(o)); },
            &cellOp);
    };
    auto has = [&](uint32_t bits) { return (s & bits) == bits; };
    bool redraw = false;
    switch (op) {
        case kShow:
        case kChainShow:
            if (IsUsable()) all(kChainShow);
            break;
        case kHide:
            if (s & kChainShown) all(kChainHide);
            break;
        case kChainHide:
            if (s & kShown) all(kChainHide);
            break;
        case kEnable:
        case kChainEnable:
            if (has(kEnabled | kChainEnabled)) all(kChainEnable), redraw = true;
            break;
        case kDisable:
            if (s & kChainEnabled) all(kChainDisable), redraw = true;
            break;
        case kChainDisable:
            if (s & kEnabled) all(kChainDisable), redraw = true;
            break;
        case kMoved:
            all(kMoved);
            break;
        case kBackgroundChanged:
            if ((fPlaceholder.Data() == nullptr)) all(kBackgroundChanged);
            break;
        case kFocus:
            if (fFocus.IsValid()) fFocus.pane->ChangeState(kFocus);
            break;
        case kUnfocus:
            Unfocus();
            break;
        case kLock:
            if (!(s & kChainLocked)) all(kChainLock), redraw = true;
            break;
        case kUnlock:
        case kChainUnlock:
            if (!(s & (kLocked | kChainLocked))) all(kChainUnlock), redraw = true;
            break;
        case kChainLock:
            if (!(s & kLocked)) all(kChainLock), redraw = true;
            break;
        case kKeyOn:
        case kKeyOff:
            all(op), redraw = true;
            break;
        case kRelayout: {
            all(kRelayout);
            if (fPrototype) fPrototype->ChangeState(kRelayout);
            ReleaseCells();
            redraw = true;
            if (fPrototype) {
                LPanePort port(this);
                LDrawContext ctx(port);
                PrepareCellPane(fPrototype);
                const int32_t pw = fPrototype->PreferredWidth(ctx, 0),
                              ph = fPrototype->PreferredHeight(ctx, 0);
                const int32_t w = Bounds().Width(), h = Bounds().Height();
                int32_t cw = pw, ch = ph;
                switch (CellSizeMode()) {
                    case 1:
                        cw = w;
                        break;
                    case 2:
                        ch = h;
                        break;
                    case 3:
                        cw = w;
                        ch = std::max(CellHeight(), ph);
                        break;
                    case 4:
                        cw = std::max(CellWidth(), pw);
                        ch = h;
                        break;
                    default:
                        if (Columns() == 1 && CellWidth() == w) cw = w;
                        if (Rows() == 1 && CellHeight() == h) ch = h;
                        break;
                }
                SetCellSize(cw, ch);
            }
            InvalidateCells(CRgn(Bounds()));
            break;
        }
        default:
            break;
    }
    if (redraw && !fLive) InvalidateCells(CRgn(Bounds()));
}

LPane* CCellGridPane::FindFocusable() {
    LPane* p = LListPane::FindFocusable();
    if (!p) return nullptr;
    if (fFocus.IsValid()) {
        LPane* inner = fFocus.pane->FindFocusable();
        return inner ? inner : this;
    }
    return p;
}

int32_t CCellGridPane::PreferredWidth(LDrawContext& ctx, int32_t kind) {
    if (kind < 0) return LListPane::PreferredWidth(ctx, kind);
    if (LPane* proto = GetPrototypeCell()) {
        PrepareCellPane(proto);
        return proto->PreferredWidth(ctx, kind);
    }
    return CellWidth();
}

int32_t CCellGridPane::PreferredHeight(LDrawContext& ctx, int32_t kind) {
    if (kind < 0) return LListPane::PreferredHeight(ctx, kind);
    if (LPane* proto = GetPrototypeCell()) {
        PrepareCellPane(proto);
        return proto->PreferredHeight(ctx, kind);
    }
    return CellHeight();
}

bool CCellGridPane::FocusCellAt(const CLPoint& cell, const CLPoint& point) {
    ResetFocusRecords();
    // Scroll by the least amount that shows the cell fully.
    int32_t fc = FirstColumn(), fr = FirstRow();
    const int32_t fvc = std::max(FullyVisibleColumns(), 1), fvr = std::max(FullyVisibleRows(), 1);
    if (cell.x < fc) fc = cell.x;
    if (cell.x >= fc + fvc) fc = cell.x - fvc + 1;
    if (cell.y < fr) fr = cell.y;
    if (cell.y >= fr + fvr) fr = cell.y - fvr + 1;
    SetScrollPos(fc, fr);
    MakeHot(cell);
    if (!fHot.IsValid() || !(fHot.cell == cell)) return false;
    const CLRect r = CellRect(cell);
    return fHot.pane->FocusNearest({r.left + point.x, r.top + point.y});
}

bool CCellGridPane::KeyNavigate(uint32_t key) {
    if (key < LKeyboard::kNaviLeft || key > LKeyboard::kNaviDown) return false;
    const bool horizontal = key == LKeyboard::kNaviLeft || key == LKeyboard::kNaviRight;
    const bool backward = key == LKeyboard::kNaviLeft || key == LKeyboard::kNaviUp;
    if (Columns() == 1 && horizontal) {
        if (CellWidth() < CellHeight()) return false;
        (void)fFocus.pane->TakeFocus(backward ? 1 : 0, false);
        return true;
    }
    if (Rows() == 1 && !horizontal) {
        if (CellHeight() < CellWidth()) return false;
        (void)fFocus.pane->TakeFocus(backward ? 1 : 0, false);
        return true;
    }
    const CLPoint start = fFocus.cell;
    const CLPoint step{horizontal ? (backward ? -1 : 1) : 0, horizontal ? 0 : (backward ? -1 : 1)};
    auto advance = [&](CLPoint c) {
        return CLPoint{std::clamp(c.x + step.x, 0, std::max(Columns() - 1, 0)),
                       std::clamp(c.y + step.y, 0, std::max(Rows() - 1, 0))};
    };
    CLPoint target = advance(start);
    if (target == start) return true;  // at the edge: no move
    LPane* focusable = fFocus.pane->FindFocusable();
    if (!focusable) return true;
    const CLRect cr = CellRect(start);
    const CLRect fb = focusable->Bounds();
    const CLPoint origin = focusable->GetOriginIn(this);
    const CLPoint aim{origin.x + (fb.left + fb.right) / 2 - cr.left,
                      origin.y + (fb.top + fb.bottom) / 2 - cr.top};
    for (;;) {
        if (FocusCellAt(target, aim)) return true;
        const CLPoint next = advance(target);
        if (next == target) {
            (void)FocusCellAt(start, aim);
            return true;
        }
        target = next;
    }
}

LMessage CCellGridPane::Handle(const LMessage& msg) {
    if (fPrototype && msg.sender == fPrototype) return LMessage();  // the prototype's own traffic
    if (msg.Is(LKeyboard_Down) && fFocus.IsValid()) {
        LKeyboard* kb = LKeyboard::Get();
        if (kb && KeyNavigate(kb->GetNaviKey())) return LMessage();
    }
    LMouse* mouse = LMouse::Get();
    if (msg.Is(LMouse_Click) && mouse && msg.sender == mouse) {
        if (!InGrid(CellAt(MouseLocal()))) ChangeState(kUnfocus);
        return LListPane::Handle(msg);
    }
    if (msg.Is(LPane_Constructing)) return LMessage();
    if (msg.Is(LPane_Destructing) && msg.sender != this) {
        auto* pane = static_cast<LPane*>(msg.sender);
        for (CellRecord* r : {&fHot, &fFocus})
            if (r->pane == pane) *r = CellRecord();
        return LMessage();
    }
    if (msg.Is(LPane_ReqFocus) && msg.sender && msg.sender != this) {
        auto* sender = static_cast<LPane*>(msg.sender);
        CLPoint cell;
        if (!FindCellOfPane(sender, &cell)) return LListPane::Handle(msg);
        if (!(fFocus.IsValid() && LHandler::IsBetween(nullptr, sender, fFocus.pane))) {
            size_t at = 0;
            if (FindExtra(cell, &at) && !(fHot.IsValid() && fHot.cell == cell)) {
                std::unique_ptr<CellRecord> extra = std::move(fExtras[at]);
                fExtras.erase(fExtras.begin() + std::ptrdiff_t(at));
                if (fFocus.pane) fFocus.pane->ChangeState(kUnfocus);
                std::swap(*extra, fFocus);
                Reinsert(std::move(extra));
            } else if (fHot.IsValid() && fHot.cell == cell) {
                if (fFocus.pane && fFocus.IsValid()) fFocus.pane->ChangeState(kUnfocus);
                std::swap(fHot, fFocus);
            }
        }
        if (!(fKeepSelection && IsSelected(cell))) ClearSelection();
        if ((State() & kFocused) && fFocus.IsValid()) fFocus.pane->ChangeState(kFocus);
        return LMessage(LPane_ReqFocus, this, Upper());
    }
    return LListPane::Handle(msg);
}
