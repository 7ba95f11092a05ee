#include "Orbilume/CSources/Editors/CChannelList.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#include "Common/ObjC/CNativeServices.h"
#include "Common/ObjC/LEditText.h"
#include "Common/OpenGL/CObSampleDC.h"
#include "Common/OpenGL/COpenGLView.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/CRecordUndo.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/CoreUI/CSlider.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/Mac/CCellDragHelper.h"
#include "Lib3/LSources/Mac/CDragScrap.h"
#include "Lib3/LSources/Mac/CDragger.h"
#include "Lib3/LSources/Mac/CDropScrollHelper.h"
#include "Lib3/LSources/Mac/CListDropTarget.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Lib3/LSources/Mac/LScrapData.h"
#include "Lib3/LSources/Mac/UListScrap.h"
#include "Platform/AppKit/Window.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Editors/CChannelEngine.h"
#include "Orbilume/CSources/Editors/CInCtlPrmNote.h"
#include "Orbilume/CSources/Editors/CInParamFrm.h"
#include "Orbilume/CSources/Editors/CInParamImage.h"
#include "Orbilume/CSources/Editors/CInParamPanes.h"
#include "Orbilume/CSources/Editors/CInParamNote.h"
#include "Orbilume/CSources/Editors/CInParamPane.h"
#include "Orbilume/CSources/Editors/CLayerFrm.h"
#include "Orbilume/CSources/Editors/CSrcRendrFrm.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;
using P = CAppPrefs;

class Group {
public:
    explicit Group(LHandler* editor) : fToken(CRecordUndo::BeginGroup(editor)) {}
    ~Group() { CRecordUndo::EndGroup(fToken); }
    Group(const Group&) = delete;
    Group& operator=(const Group&) = delete;

private:
    void* fToken;
};

// A group opened only once something is about to change, so a drop that changes nothing leaves
// no undo step.
class LazyGroup {
public:
    explicit LazyGroup(LHandler* editor) : fEditor(editor) {}
    ~LazyGroup() {
        if (fOpen) CRecordUndo::EndGroup(fToken);
    }
    LazyGroup(const LazyGroup&) = delete;
    LazyGroup& operator=(const LazyGroup&) = delete;
    void Open() {
        if (!fOpen) fToken = CRecordUndo::BeginGroup(fEditor);
        fOpen = true;
    }

private:
    LHandler* fEditor;
    void* fToken = nullptr;
    bool fOpen = false;
};

CRecordRef Ref(CRecord*& r) {
    return CRecordRef(&r);
}

bool IsUnit(const CRecord* r) {
    return r && r->IsOfType(T::kDomain, T::kUNIT);
}

bool PrefBool(uint32_t field) {
    CAppPrefs* prefs = CAppPrefs::Get();
    return prefs && prefs->Root() && prefs->Root()->GetBool(field);
}

// The LAYR record holding the unit as its own, or null.
CRecord* OwningLayer(CRecord* unit) {
    CRecord* parent = unit ? unit->Parent() : nullptr;
    return parent && parent->IsOfType(T::kDomain, T::kLAYR) ? parent : nullptr;
}

// The unit, or one of the units around it, has that id.
bool InsideUnit(const CRecord* record, uint32_t id) {
    for (const CRecord* r = record; r; r = r->Parent())
        if (IsUnit(r) && r->GetUInt(T::kUnitId) == id) return true;
    return false;
}

// Blend text of the fader: at most 3 decimals, trailing zeros and point dropped.
LString BlendText(int32_t fader) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", std::clamp(fader, 0, 256) / 256.0);
    std::string s(buf);
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return LString(s.c_str());
}

const char* const kMixNames[4] = {"max", "add", "sub", "rep"};

}  // namespace

CChannelList::CChannelList(LPane* owner, LHandler* document, CDocModelHolder* model, IChannelEngine* engine,
                           CRecord* docPrefs)
    : CCellGridPane(owner, kSelectRange, true, true),
      fDocument(document),
      fModel(model),
      fEngine(engine),
      fPrefs(docPrefs),
      fTimer(this) {
    PLAT_DCHECK_MAIN_THREAD();
    CRecord* mix = Mix();
    const int32_t layers = mix ? int32_t(mix->ArrayCount(T::kMixsLayers)) : 0;
    SetGridSize(layers, 1);
    // The prototype cell's layout gives the column width (it follows DCPF field 10).
    (void)GetPrototypeCell();
    SetBackColor(LColor::System(1));
    fColumnHelper = std::make_unique<CCellDragHelper>(this, 0);
    if (GetWindow()) {
        fDropTarget = std::make_unique<CListDropTarget>(this);
        fChainDrop = std::make_unique<CDropScrollHelper>(this, this);
    }
    if (fModel) (void)fModel->AddObserver(this, ModelObserver);
    if (CRecordHolder* holder = Ref(fPrefs).GetHolder()) (void)holder->AddObserver(this, PrefsObserver);
}

CChannelList::~CChannelList() {
    fTimer.Stop();
    fColumnHelper.reset();
    fChainDrop.reset();
    fDropTarget.reset();
    if (CDragger* d = std::exchange(fUnitDragger, nullptr)) d->Abandon();
    if (fModel) (void)fModel->RemoveObserver(this, ModelObserver);
    if (CRecordHolder* holder = Ref(fPrefs).GetHolder()) (void)holder->RemoveObserver(this, PrefsObserver);
    ReleaseCells();
    SetGridSize(0, 0);
}

CRecord* CChannelList::Mix() const {
    return fModel ? fModel->Mix().Get() : nullptr;
}

CRecord* CChannelList::LayerRecord(uint32_t column) const {
    CRecord* mix = Mix();
    return mix ? mix->GetElement(T::kMixsLayers, column) : nullptr;
}

bool CChannelList::ControlsShown() const {
    return fPrefs && fPrefs->GetInt(P::kDocRunTime10) != 0;
}

uint32_t CChannelList::GetInsertIndex() const {
    const CRecord* mix = Mix();
    const uint32_t count = mix ? mix->ArrayCount(T::kMixsLayers) : 0;
    if (Selection().IsEmpty()) return count;
    const CLPoint first = FirstSelected();
    return first.x >= 0 ? std::min<uint32_t>(uint32_t(Selection().bounds().left), count) : count;
}

void CChannelList::SelectChannel(uint32_t index) {
    if (int32_t(index) >= Columns()) return;
    SelectCell({int32_t(index), 0});
    RevealCell({int32_t(index), 0});
}

uint32_t CChannelList::GetFocusedParameter(LString& key) const {
    key = LString();
    CLPoint cell;
    if (!GetFocusCell(&cell)) return 0;
    CLayerFrm* frame = CellPane(uint32_t(cell.x));
    CRecord* layer = LayerRecord(uint32_t(cell.x));
    CRecord* unit = layer ? layer->GetSubRecord(T::kLayrUnit) : nullptr;
    if (!frame || !unit) return 0;
    if (frame->MixPopup()->State() & kFocused) {
        key = LString("_oblayer_MixFunc");
        return unit->GetUInt(T::kUnitId);
    }
    if (frame->Fader()->State() & kFocused) {
        key = LString("_oblayer_Blend");
        return unit->GetUInt(T::kUnitId);
    }
    CSrcRendrFrm* chain = frame->Chain();
    for (uint32_t i = 0; i < chain->ChildCount(); ++i) {
        CInParamFrm* f = chain->ChildAt(i);
        for (uint32_t p = 0; p < f->PaneCount(); ++p)
            if (f->PaneAt(p)->HasFocusedControl()) {
                key = f->PaneAt(p)->Key();
                return f->PaneAt(p)->UnitId();
            }
    }
    return 0;
}

// --- cells ---------------------------------------------------------------------------------------

CTabFocusPane* CChannelList::CreateCellPane() {
    fCreating = true;
    auto* cell = new CLayerFrm(this);
    fCreating = false;
    cell->SetControlsShown(ControlsShown());
    return cell;
}

void CChannelList::PrepareCellPane(LPane* pane) {
    auto* cell = static_cast<CLayerFrm*>(pane);
    cell->SetControlsShown(ControlsShown());
    cell->SetNameShown(PrefBool(P::kPrefShowLayerNames));
}

bool CChannelList::BindCell(LPane* pane, const CLPoint& cell) {
    if (cell.x < 0 || cell.y != 0) return false;
    return static_cast<CLayerFrm*>(pane)->Fill(uint32_t(cell.x));
}

int32_t CChannelList::HeaderHeight() {
    auto* proto = static_cast<CLayerFrm*>(GetPrototypeCell());
    if (!proto) return 0;
    PrepareCellPane(proto);
    return proto->HeaderHeight();
}

CLayerFrm* CChannelList::CellPane(uint32_t column) const {
    if (fCreating) return nullptr;
    CCellRef ref(const_cast<CChannelList*>(this), {int32_t(column), 0}, true);
    return ref.IsLive() ? static_cast<CLayerFrm*>(ref.Pane()) : nullptr;
}

bool CChannelList::FillCell(CLayerFrm* cell, uint32_t index) {
    CRecord* layer = LayerRecord(index);
    if (!layer) return false;
    CRecord* unit = layer->GetSubRecord(T::kLayrUnit);
    (void)cell->Number()->SetText(LString(std::to_string(index + 1).c_str()));
    cell->MixPopup()->SetValue(UDocModel::GetLayerMixFunc(layer));
    const CRecord* blend = UDocModel::FindUnitInput(unit, LString("_oblayer_Blend"));
    cell->Fader()->SetValue(CLayerFrm::FaderValue(blend ? blend->GetString(T::kInptValue) : LString(), blend));
    cell->SetFaderSwitch(PrefBool(P::kPrefFaderDigital));
    cell->NameField()->SetText(layer->GetString(T::kLayrName));
    cell->SetNameShown(PrefBool(P::kPrefShowLayerNames));
    cell->SetChainOffset(fPrefs ? fPrefs->GetInt(P::kDocRunTime13) : 0);
    if (fEngine && fEngine->HasLayer(index)) {
        cell->Chain()->Rebuild(unit, fEngine, ControlsShown());
        for (uint32_t i = 0; i < cell->Chain()->ChildCount(); ++i) {
            CInParamFrm* f = cell->Chain()->ChildAt(i);
            f->SetFocusedLook(fFocusedUnit != 0 && f->UnitId() == fFocusedUnit);
        }
        QueueLayerPreviews(unit);
    }
    return true;
}

// --- edits from the cells ------------------------------------------------------------------------

std::vector<uint32_t> CChannelList::TargetColumns(uint32_t column) const {
    std::vector<uint32_t> out;
    if (IsSelected({int32_t(column), 0})) {
        for (int32_t c = 0; c < Columns(); ++c)
            if (IsSelected({c, 0})) out.push_back(uint32_t(c));
    } else {
        out.push_back(column);
    }
    return out;
}

void CChannelList::SetBlendFromFader(uint32_t column, int32_t faderValue) {
    const LString text = BlendText(faderValue);
    for (uint32_t c : TargetColumns(column)) {
        CRecord* layer = LayerRecord(c);
        CRecord* unit = layer ? layer->GetSubRecord(T::kLayrUnit) : nullptr;
        CRecord* input = UDocUnits::FindOrAddUnitInput(unit, nullptr, LString("_oblayer_Blend"), text);
        if (input) Ref(input).SetString(nullptr, T::kInptValue, text);
    }
}

void CChannelList::SetMixFromPopup(uint32_t column, int32_t index) {
    if (index < 0 || index > 3) return;
    const std::vector<uint32_t> columns = TargetColumns(column);
    CLayerFrm* cell = CellPane(column);
    const void* control = cell ? static_cast<const void*>(cell->MixPopup()) : this;
    // The same control setting the same selection to the same value again continues the entry.
    const bool same = fLastMix.control == control && fLastMix.columns == columns && fLastMix.value == index;
    fLastMix.control = control;
    fLastMix.columns = columns;
    fLastMix.value = index;
    if (same) return;
    Group group(fDocument);
    for (uint32_t c : columns) {
        CRecord* layer = LayerRecord(c);
        CRecord* unit = layer ? layer->GetSubRecord(T::kLayrUnit) : nullptr;
        CRecord* input = UDocUnits::FindOrAddUnitInput(unit, fDocument, LString("_oblayer_MixFunc"),
                                                       LString(kMixNames[index]));
        if (input && !(input->GetString(T::kInptValue) == LString(kMixNames[index])))
            Ref(input).SetString(fDocument, T::kInptValue, LString(kMixNames[index]));
    }
}

void CChannelList::SetNameFromField(uint32_t column, const LString& name) {
    CRecord* layer = LayerRecord(column);
    if (layer) Ref(layer).SetString(fDocument, T::kLayrName, name, CRecordRef::kMergeContinuous);
}

void CChannelList::AppendFilter(uint32_t column, const LString& path) {
    CRecord* layer = LayerRecord(column);
    CRecord* unit = layer ? layer->GetSubRecord(T::kLayrUnit) : nullptr;
    if (unit) AppendFilterTo(unit->GetUInt(T::kUnitId), path);
}

void CChannelList::AppendFilterTo(uint32_t unitId, const LString& path) {
    const CRecord* unit = fModel ? UDocModel::FindUnitById(Mix(), unitId) : nullptr;
    if (!unit) return;
    (void)UDocUnits::AddFilterUnit(fModel->Mix(), fDocument, unitId, unit->ArrayCount(T::kUnitFilters), path);
}

const CSrcRendrFrm* CChannelList::FindChain(const CSrcRendrFrm* chain, const void* sender) {
    if (chain == sender) return chain;
    for (uint32_t i = 0; i < chain->ChildCount(); ++i) {
        const CInParamFrm* frame = chain->ChildAt(i);
        for (uint32_t p = 0; p < frame->PaneCount(); ++p)
            if (const CSrcRendrFrm* inner = frame->PaneAt(p)->ImageChain())
                if (const CSrcRendrFrm* found = FindChain(inner, sender)) return found;
    }
    return nullptr;
}

void CChannelList::StoreControlNote(uint32_t unitId, const LString& key, const std::vector<LString>& path,
                                    const LString& value) {
    CRecord* unit = fModel ? UDocModel::FindUnitById(Mix(), unitId) : nullptr;
    CRecord* input = UDocModel::FindUnitInput(unit, key);
    if (!input || path.empty()) return;
    Group group(fDocument);
    CRecord* set = input->GetSubRecord(T::kInptCtl);
    if (!set) {
        CRecord* fresh = CRecord::New(&CParamSet::SetType());
        if (!fresh) return;
        Ref(input).DeleteSubRecord(fDocument, T::kInptCtl, fresh);
        set = input->GetSubRecord(T::kInptCtl);
    }
    // The path is innermost first: walk it outermost first, making the nested sets.
    for (size_t i = path.size(); i-- > 1 && set;) set = CParamSet::GetOrCreateSubSet(Ref(set), fDocument, path[i]);
    if (set) CParamSet::SetString(Ref(set), fDocument, path[0], value);
}

// --- drops ---------------------------------------------------------------------------------------

uint32_t CChannelList::DropLayers(uint32_t column, std::vector<CRecord*> records, bool moveFeedback) {
    CRecordRef mix = fModel ? fModel->Mix() : CRecordRef();
    const uint32_t count = mix ? mix->ArrayCount(T::kMixsLayers) : 0;
    column = std::min(column, count);
    Group group(fDocument);
    if (moveFeedback && fColumnDrag) {
        for (CRecord* r : records) CRecord::Delete(r);
        std::vector<CRecord*> moving;
        for (int32_t c = 0; c < Columns(); ++c)
            if (IsSelected({c, 0}) && LayerRecord(uint32_t(c))) moving.push_back(LayerRecord(uint32_t(c)));
        if (moving.empty()) return kFeedbackMove;
        // Each moved layer lands right after the ones moved before it.
        uint32_t gap = column, last = column;
        for (CRecord* layer : moving) {
            const uint32_t from = uint32_t(layer->ArrayIndex());
            mix.MoveRecord(fDocument, T::kMixsLayers, from, gap);
            last = from < gap ? gap - 1 : gap;
            gap = last + 1;
        }
        ClearSelection();
        for (uint32_t k = 0; k < moving.size(); ++k) AddToSelection({int32_t(last + 1 - moving.size() + k), 0});
        return kFeedbackMove;
    }
    uint32_t at = column;
    ClearSelection();
    std::vector<uint32_t> inserted;
    for (CRecord* r : records) {
        if (!r || !r->IsOfType(T::kDomain, T::kLAYR)) {
            CRecord::Delete(r);
            continue;
        }
        const int32_t n = UDocUnits::InsertLayer(mix, fDocument, at, r, true);
        if (n < 0) continue;
        inserted.push_back(uint32_t(n));
        at = uint32_t(n) + 1;
    }
    for (uint32_t n : inserted) AddToSelection({int32_t(n), 0});
    return kFeedbackCopy;
}

uint32_t CChannelList::DropUnitsAsLayers(uint32_t column, std::vector<CRecord*> units, bool moveFromHere) {
    CRecordRef mix = fModel ? fModel->Mix() : CRecordRef();
    if (!mix) {
        for (CRecord* r : units) CRecord::Delete(r);
        return 0;
    }
    Group group(fDocument);
    uint32_t at = std::min(column, mix->ArrayCount(T::kMixsLayers));
    for (CRecord* r : units) {
        if (!IsUnit(r)) {
            CRecord::Delete(r);
            continue;
        }
        bool reassign = true;
        if (moveFromHere) {
            CRecord* old = UDocModel::FindUnitById(mix.Get(), r->GetUInt(T::kUnitId));
            CRecord* parent = old ? old->Parent() : nullptr;
            if (parent && IsUnit(parent) && old->FieldInParent() == T::kUnitFilters) {
                const int32_t oldColumn = ColumnOfRecord(old);
                Ref(parent).DeleteElement(fDocument, T::kUnitFilters, uint32_t(old->ArrayIndex()));
                if (oldColumn >= 0 && uint32_t(oldColumn) < at) {
                    // the column stays where it was
                }
                reassign = false;
            }
        }
        const int32_t n = UDocUnits::InsertLayer(mix, fDocument, at, r, reassign);
        if (n >= 0) at = uint32_t(n) + 1;
    }
    return moveFromHere ? kFeedbackMove : kFeedbackCopy;
}

uint32_t CChannelList::DropFiles(uint32_t column, const std::vector<LFsSpec>& files) {
    if (!fModel) return 0;
    Group group(fDocument);
    uint32_t at = column;
    for (const LFsSpec& f : files) {
        const int32_t n = UDocUnits::AddMediaLayer(*fModel, fDocument, at, f);
        if (n >= 0) at = uint32_t(n) + 1;
    }
    return kFeedbackCopy;
}

bool CChannelList::DropIsCopy(uint32_t targetUnitId) const {
    if (!fDraggedUnit && !fColumnDrag) return true;
    if (fDraggedUnit) {
        const CRecord* target = UDocModel::FindUnitById(Mix(), targetUnitId);
        if (InsideUnit(target, fDraggedUnit)) return true;
    }
    return false;
}

uint32_t CChannelList::DropUnits(const SDropMark& mark, uint32_t scrapType, std::vector<CRecord*> records,
                                 bool copyOnly) {
    CRecordRef mix = fModel ? fModel->Mix() : CRecordRef();
    CRecord* target = mix ? UDocModel::FindUnitById(mix.Get(), mark.unitId) : nullptr;
    auto discard = [&] {
        for (CRecord* r : records) CRecord::Delete(r);
    };
    if (!target) {
        discard();
        return 0;
    }
    const bool copy = copyOnly || DropIsCopy(mark.unitId);
    if (mark.kind == 1) {
        if (scrapType != kScrapAnimators || records.empty() || !IsUnit(records[0])) {
            discard();
            return 0;
        }
        CRecord* input = target->GetElement(T::kUnitInputs, mark.index);
        CRecord* unit = records[0];
        records[0] = nullptr;
        discard();
        if (!input) {
            CRecord::Delete(unit);
            return 0;
        }
        if (copy) {
            Group group(fDocument);
            (void)UDocUnits::SetAnimator(mix, fDocument, input, unit, true);
            return kFeedbackCopy;
        }
        CRecord* old = UDocModel::FindUnitById(mix.Get(), unit->GetUInt(T::kUnitId));
        CRecord* oldInput = old ? old->Parent() : nullptr;
        CRecord::Delete(unit);
        if (!oldInput || !oldInput->IsOfType(T::kDomain, T::kINPT) || old->FieldInParent() != T::kInptAnim ||
            oldInput == input)
            return 0;
        Group group(fDocument);
        CRecord* moved = Ref(oldInput).DetachSubRecord(fDocument, T::kInptAnim, nullptr);
        (void)UDocUnits::SetAnimator(mix, fDocument, input, moved, false);
        return kFeedbackMove;
    }
    uint32_t index = mark.index;
    uint32_t feedback = copy ? kFeedbackCopy : kFeedbackMove;
    LazyGroup group(fDocument);
    for (CRecord*& r : records) {
        CRecord* unit = r;
        r = nullptr;
        if (unit && unit->IsOfType(T::kDomain, T::kLAYR)) {
            CRecord* inner = unit->SetSubRecord(T::kLayrUnit, nullptr);
            CRecord::Delete(unit);
            unit = inner;
        }
        if (!IsUnit(unit)) {
            CRecord::Delete(unit);
            continue;
        }
        target = UDocModel::FindUnitById(mix.Get(), mark.unitId);
        if (!target) {
            CRecord::Delete(unit);
            continue;
        }
        const uint32_t filters = target->ArrayCount(T::kUnitFilters);
        index = std::min(index, filters);
        if (copy) {
            group.Open();
            if (UDocUnits::InsertFilterUnit(mix, fDocument, mark.unitId, index, unit, true)) ++index;
            continue;
        }
        CRecord* old = UDocModel::FindUnitById(mix.Get(), unit->GetUInt(T::kUnitId));
        CRecord* parent = old ? old->Parent() : nullptr;
        if (!old || !parent) {
            group.Open();
            if (UDocUnits::InsertFilterUnit(mix, fDocument, mark.unitId, index, unit, true)) ++index;
            feedback = kFeedbackCopy;
            continue;
        }
        if (parent == target && old->FieldInParent() == T::kUnitFilters) {
            CRecord::Delete(unit);
            const uint32_t from = uint32_t(old->ArrayIndex());
            if (index == from || index == from + 1) continue;
            group.Open();
            Ref(target).MoveRecord(fDocument, T::kUnitFilters, from, index);
            index = (from < index ? index : index + 1);
            continue;
        }
        if (CRecord* layer = OwningLayer(old)) {
            // A layer's own unit: its layer leaves the mix and the unit joins the chain.
            group.Open();
            CRecord::Delete(unit);
            CRecord* removed = mix.RemoveRecord(fDocument, T::kMixsLayers, uint32_t(layer->ArrayIndex()));
            CRecord* moved = removed ? removed->SetSubRecord(T::kLayrUnit, nullptr) : nullptr;
            CRecord::Delete(removed);
            if (moved && UDocUnits::InsertFilterUnit(mix, fDocument, mark.unitId, index, moved, false)) ++index;
            continue;
        }
        CRecord::Delete(unit);
        group.Open();
        if (IsUnit(parent) && old->FieldInParent() == T::kUnitFilters) {
            CRecord* moved = Ref(parent).RemoveRecord(fDocument, T::kUnitFilters, uint32_t(old->ArrayIndex()));
            if (moved && UDocUnits::InsertFilterUnit(mix, fDocument, mark.unitId, index, moved, false)) ++index;
        } else if (parent->IsOfType(T::kDomain, T::kINPT) && old->FieldInParent() == T::kInptAnim) {
            CRecord* moved = Ref(parent).DetachSubRecord(fDocument, T::kInptAnim, nullptr);
            if (moved && UDocUnits::InsertFilterUnit(mix, fDocument, mark.unitId, index, moved, false)) ++index;
        }
    }
    return feedback;
}

// --- delete --------------------------------------------------------------------------------------

bool CChannelList::CanDelete() const {
    return fFocusedUnit != 0 || !Selection().IsEmpty();
}

void CChannelList::DeleteCommand() {
    if (!fModel) return;
    Group group(fDocument);
    if (fFocusedUnit) {
        CRecord* unit = UDocModel::FindUnitById(Mix(), fFocusedUnit);
        const uint32_t id = fFocusedUnit;
        fFocusedUnit = 0;
        if (!unit) return;
        if (CRecord* layer = OwningLayer(unit)) {
            // A layer's own unit: the layer goes, with its scene values.
            UDocUnits::DeleteLayer(*fModel, fDocument, uint32_t(layer->ArrayIndex()));
            return;
        }
        CRecord* parent = unit->Parent();
        if (parent && parent->IsOfType(T::kDomain, T::kINPT) && unit->FieldInParent() == T::kInptImage) {
            // An image unit is cleared from its input, with its scene values.
            UDocUnits::RemoveUnitSceneValues(fDocument, fModel->Scenes(), unit);
            Ref(parent).DeleteSubRecord(fDocument, T::kInptImage, nullptr);
            return;
        }
        UDocUnits::DeleteUnitById(*fModel, fDocument, id);
        return;
    }
    for (int32_t c = Columns(); c-- > 0;)
        if (IsSelected({c, 0})) UDocUnits::DeleteLayer(*fModel, fDocument, uint32_t(c));
    ClearSelection();
}

void CChannelList::FocusUnit(uint32_t unitId) {
    for (int32_t c = 0; c < Columns(); ++c) {
        CLayerFrm* cell = CellPane(uint32_t(c));
        if (!cell) continue;
        if (CInParamFrm* f = cell->Chain()->FrameOf(fFocusedUnit)) f->SetFocusedLook(false);
        if (CInParamFrm* f = cell->Chain()->FrameOf(unitId)) f->SetFocusedLook(true);
    }
    fFocusedUnit = unitId;
}

// --- previews ------------------------------------------------------------------------------------

void CChannelList::QueuePreview(uint32_t unitId, bool immediate) {
    auto it = fQueued.find(unitId);
    if (it != fQueued.end() && (!immediate || it->second.immediate)) return;
    // New, or a delayed request upgraded: its old entry goes stale.
    const uint32_t ticket = ++fNextTicket;
    fQueued[unitId] = SPending{ticket, uint8_t(immediate ? 1 : 0)};
    // A hidden list keeps its requests; showing it starts the timer.
    if (immediate) {
        fImmediate.push_back(SQueued{unitId, ticket});
        if (IsVisible()) fTimer.StartOnce(0, 0);
    } else {
        fDelayed.push_back(SQueued{unitId, ticket});
        if (IsVisible() && !fTimer.IsRunning()) fTimer.StartOnce(kPreviewDelayMs, 0);
    }
}

std::vector<CChannelList::SPreviewRequest> CChannelList::PreviewQueue() const {
    std::vector<SPreviewRequest> out;
    out.reserve(fQueued.size());
    for (const std::deque<SQueued>* q : {&fImmediate, &fDelayed}) {
        for (const SQueued& e : *q) {
            auto it = fQueued.find(e.unitId);
            if (it != fQueued.end() && it->second.ticket == e.ticket)
                out.push_back(SPreviewRequest{e.unitId, it->second.immediate});
        }
    }
    return out;
}

void CChannelList::ClearPreviews() {
    fImmediate.clear();
    fDelayed.clear();
    fQueued.clear();
}

bool CChannelList::PopPreview(SPreviewRequest& r) {
    for (std::deque<SQueued>* q : {&fImmediate, &fDelayed}) {
        while (!q->empty()) {
            const SQueued e = q->front();
            q->pop_front();
            auto it = fQueued.find(e.unitId);
            if (it == fQueued.end() || it->second.ticket != e.ticket) continue;
            r = SPreviewRequest{e.unitId, it->second.immediate};
            fQueued.erase(it);
            return true;
        }
    }
    return false;
}

void CChannelList::QueueLayerPreviews(const CRecord* unit) {
    if (!IsUnit(unit)) return;
    for (uint32_t i = 0; i < unit->ArrayCount(T::kUnitInputs); ++i) {
        const CRecord* input = unit->GetElement(T::kUnitInputs, i);
        if (input) QueueLayerPreviews(input->GetSubRecord(T::kInptImage));
    }
    for (uint32_t i = 0; i < unit->ArrayCount(T::kUnitFilters); ++i)
        QueueLayerPreviews(unit->GetElement(T::kUnitFilters, i));
    QueuePreview(unit->GetUInt(T::kUnitId), true);
}

int32_t CChannelList::ColumnOfRecord(const CRecord* record) const {
    for (const CRecord* r = record; r; r = r->Parent())
        if (r->IsOfType(T::kDomain, T::kLAYR)) return r->ArrayIndex();
    return -1;
}

bool CChannelList::ServeOne(const SPreviewRequest& r) {
    const CRecord* unit = UDocModel::FindUnitById(Mix(), r.unitId);
    if (!unit || !fEngine) return false;
    const int32_t column = ColumnOfRecord(unit);
    if (column < FirstColumn() || column >= FirstColumn() + VisibleColumns()) return false;
    CLayerFrm* cell = CellPane(uint32_t(column));
    if (!cell) return false;
    // An input's image unit draws into the input pane's own preview, the rest into the cell's.
    const CRecord* input = unit->Parent();
    if (input && input->IsOfType(T::kDomain, T::kINPT) && unit->FieldInParent() == T::kInptImage) {
        const CRecord* owner = input->Parent();
        CInParamPane* pane =
            IsUnit(owner) ? cell->Chain()->FindPane(owner->GetUInt(T::kUnitId), input->GetString(T::kInptKey)) : nullptr;
        if (!pane) return false;
        fEngine->RequestCapture(r.unitId, pane->PreviewTarget(), r.immediate != 0);
        return true;
    }
    fEngine->RequestCapture(r.unitId, cell->PreviewTarget(), r.immediate != 0);
    return true;
}

void CChannelList::ServePreviews() {
    if (!IsVisible()) {
        // A hidden list waits to be shown again (StateChanged restarts it).
        return;
    }
    uint8_t lastImmediate = 0;
    SPreviewRequest r{};
    while (PopPreview(r)) {
        lastImmediate = r.immediate;
        if (ServeOne(r)) break;
    }
    if (HasPendingPreviews()) fTimer.StartOnce(lastImmediate ? 0 : kPreviewDelayMs, 0);
}

void CChannelList::StateChanged(uint32_t op) {
    CCellGridPane::StateChanged(op);
    // The preview timer sleeps while the list is hidden, by itself or with its owner.
    if ((op == kHide || op == kChainHide) && !IsVisible()) fTimer.Stop();
    if ((op == kShow || op == kChainShow) && IsVisible() && HasPendingPreviews() && !fTimer.IsRunning())
        fTimer.StartOnce(0, 0);
}

// --- chain area ----------------------------------------------------------------------------------

void CChannelList::SetChainOffset(int32_t value) {
    if (!fPrefs) return;
    const int32_t most = std::max(0, fPrefs->GetInt(P::kDocRunTime11) - fPrefs->GetInt(P::kDocRunTime12));
    Ref(fPrefs).SetInt(nullptr, P::kDocRunTime13, std::clamp(value, 0, most));
}

void CChannelList::MeasureChains() {
    if (!fPrefs) return;
    int32_t tallest = 0, visible = 0;
    for (int32_t c = FirstColumn(); c < FirstColumn() + VisibleColumns() && c < Columns(); ++c) {
        CLayerFrm* cell = CellPane(uint32_t(c));
        if (!cell) continue;
        LPanePort port(cell->Chain());
        LDrawContext ctx(port);
        tallest = std::max(tallest, cell->Chain()->PreferredHeight(ctx, 0));
        visible = cell->ChainArea()->Bounds().Height();
    }
    if (fPrefs->GetInt(P::kDocRunTime11) != tallest) Ref(fPrefs).SetInt(nullptr, P::kDocRunTime11, tallest);
    if (fPrefs->GetInt(P::kDocRunTime12) != visible) Ref(fPrefs).SetInt(nullptr, P::kDocRunTime12, visible);
}

void CChannelList::BoundsChanged(const CLRect& old) {
    CCellGridPane::BoundsChanged(old);
    const int32_t h = Bounds().Height();
    if (h > 0 && CellHeight() != h) {
        SetCellSize(CellWidth(), h);
        Send(LPane_Defer);
    }
    if (fChainDrop) {
        const CLRect& b = Bounds();
        fChainDrop->SetScrollArea({b.left, std::min(b.bottom, b.top + HeaderHeight()), b.right, b.bottom}, 8, 8);
    }
}

// --- observers -----------------------------------------------------------------------------------

void CChannelList::ModelObserver(void* context, const SRecordEvent* event) {
    static_cast<CChannelList*>(context)->OnModelChange(*event);
}

void CChannelList::PrefsObserver(void* context, const SRecordEvent* event) {
    static_cast<CChannelList*>(context)->OnPrefsChange(*event);
}

void CChannelList::RefreshColumn(int32_t column) {
    if (column >= 0 && column < Columns()) RefreshCell({column, 0});
}

void CChannelList::RenumberFrom(int32_t column) {
    for (int32_t c = std::max(0, column); c < Columns(); ++c)
        if (CLayerFrm* cell = CellPane(uint32_t(c))) (void)cell->Number()->SetText(LString(std::to_string(c + 1).c_str()));
}

void CChannelList::OnModelChange(const SRecordEvent& e) {
    CRecord* r = e.record.Get();
    if (!r) return;
    if (r->IsOfType(T::kDomain, T::kMIXS) && e.field == T::kMixsLayers) {
        if (e.kind == SRecordEvent::kInserted) {
            (void)InsertColumns(e.index1, 1);
            RenumberFrom(e.index1 + 1);
            Send(LPane_Defer);
        } else if (e.kind == SRecordEvent::kRemoved) {
            RemoveColumns(e.index1, 1);
            RenumberFrom(e.index1);
            Send(LPane_Defer);
        } else if (e.kind == SRecordEvent::kMoved) {
            RefreshAllCells();
        } else if (e.kind == SRecordEvent::kValueChanged) {
            SetGridSize(int32_t(r->ArrayCount(T::kMixsLayers)), 1);
            RefreshAllCells();
        }
        return;
    }
    if (e.kind >= SRecordEvent::kAttached && e.kind != SRecordEvent::kInserted && e.kind != SRecordEvent::kRemoved &&
        e.kind != SRecordEvent::kMoved)
        return;
    const int32_t column = ColumnOfRecord(r);
    if (column < 0) return;
    CLayerFrm* cell = CellPane(uint32_t(column));
    if (r->IsOfType(T::kDomain, T::kLAYR)) {
        if (e.field == T::kLayrName && cell) cell->NameField()->SetText(r->GetString(T::kLayrName));
        else RefreshColumn(column);
        return;
    }
    if (r->IsOfType(T::kDomain, T::kINPT)) {
        if (e.field == T::kInptValue && cell) {
            const LString key = r->GetString(T::kInptKey);
            CRecord* unit = r->Parent();
            if (key == LString("_oblayer_MixFunc") && OwningLayer(unit)) {
                cell->MixPopup()->SetValue(UDocModel::GetLayerMixFunc(OwningLayer(unit)));
            } else if (key == LString("_oblayer_Blend") && OwningLayer(unit)) {
                cell->Fader()->SetValue(CLayerFrm::FaderValue(r->GetString(T::kInptValue), true));
                // A layer faded out is not drawn and asks no preview of itself: the immediate
                // request blanks the preview then.
                QueuePreview(unit->GetUInt(T::kUnitId), true);
            } else if (unit) {
                if (CInParamPane* pane = cell->Chain()->FindPane(unit->GetUInt(T::kUnitId), key))
                    pane->SetValueText(r->GetString(T::kInptValue));
            }
        } else if (e.field == T::kInptImage || e.field == T::kInptAnim) {
            RefreshColumn(column);
        }
        return;
    }
    if (IsUnit(r)) {
        if (e.field == T::kUnitSpec || e.field == 5 || e.field == T::kUnitInputs || e.field == T::kUnitFilters)
            RefreshColumn(column);
        else if (e.field == T::kUnitRun0)
            QueuePreview(r->GetUInt(T::kUnitId), false);
    }
}

void CChannelList::OnPrefsChange(const SRecordEvent& e) {
    CRecord* r = e.record.Get();
    if (!r || e.kind != SRecordEvent::kValueChanged) return;
    if (r == fPrefs) {
        if (e.field == P::kDocRunTime13) {
            for (int32_t c = 0; c < Columns(); ++c)
                if (CLayerFrm* cell = CellPane(uint32_t(c))) cell->SetChainOffset(fPrefs->GetInt(P::kDocRunTime13));
        } else if (e.field == P::kDocRunTime10) {
            ReleaseCells();
            if (LPane* proto = GetPrototypeCell()) {
                PrepareCellPane(proto);
                LPanePort port(this);
                LDrawContext ctx(port);
                SetCellSize(proto->PreferredWidth(ctx, 0), CellHeight());
            }
            RefreshAllCells();
            Send(LPane_Defer);  // the chains' heights change with the assignment editors
        }
        return;
    }
    if (r->IsOfType(P::kDomain, P::kPREF)) {
        if (e.field == P::kPrefShowLayerNames) {
            RefreshAllCells();
            Send(LPane_Defer);  // the chain areas grow or shrink with the name row
        }
        if (e.field == P::kPrefFaderDigital) ResetFocusRecords();
    }
}

// --- drag and drop -------------------------------------------------------------------------------

namespace {

LScrapType ScrapType(uint32_t code) {
    LScrapType t;
    t.code = code;
    return t;
}

std::vector<CRecord*> ReadRecords(LDrop* drop, uint32_t code) {
    std::vector<CRecord*> out;
    CListDropScrap scrap(drop, ScrapType(code));
    while (CRecord* r = scrap.NextRecord()) out.push_back(r);
    return out;
}

// The screen outline of a pane (its bounds are in its owner's coordinates).
CRgn ScreenOutline(LPane* pane) {
    LPanePort port(pane->Owner() ? pane->Owner() : pane);
    const CLRect b = pane->Bounds();
    CLRect r{0, 0, b.Width(), b.Height()};
    int32_t dx = port.origin.x + b.left, dy = port.origin.y + b.top;
    if (port.window) {
        const plat::Rect c = port.window->ContentRect();
        dx += int32_t(c.x);
        dy += int32_t(c.y);
    }
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
    return CRgn(r);
}

}  // namespace

void CChannelList::RedrawMark() {
    InvalidateCells(PixelsOfCells(CRgn(CLRect{0, 0, Columns(), Rows()})));
}

bool CChannelList::TrackUnitDrag(LDrop* drop, const CLPoint& local) {
    const CLPoint cellAt = CellAt(local);
    if (cellAt.x < 0 || cellAt.x >= Columns()) return false;
    const CLRect r = CellRect(cellAt);
    CLayerFrm* cell = CellPane(uint32_t(cellAt.x));
    if (!cell || local.y < r.top + cell->HeaderHeight()) return false;
    const CLPoint p = cell->ToChain({local.x - r.left, local.y - r.top});
    SDropMark mark;
    if (UDragPboard::HasType(drop, ScrapType(kScrapAnimators))) {
        if (!cell->Chain()->InputAt(p, mark.unitId, mark.index)) return false;
        mark.kind = 1;
    } else if (!cell->Chain()->ChainPositionAt(p, mark.unitId, mark.index)) {
        return false;
    }
    if (!fMarkShown || mark.unitId != fMark.unitId || mark.index != fMark.index || mark.kind != fMark.kind) {
        fMark = mark;
        fMarkShown = true;
        RedrawMark();
    }
    const bool layers = UDragPboard::HasType(drop, ScrapType(kScrapLayers));
    const uint32_t mode = !layers && DropIsCopy(mark.unitId) ? uint32_t(LDrop::kCopy) : uint32_t(LDrop::kDefault);
    if (fChainDrop && fChainDrop->Following() == drop)
        fChainDrop->SetFeedback(mode);
    else
        fDropTarget->Accept(mode);
    return true;
}

void CChannelList::HideMark() {
    if (fMarkShown) RedrawMark();
    fMarkShown = false;
}

void CChannelList::HandChainDragToColumns() {
    LDrop* drop = fChainDrop ? fChainDrop->Following() : nullptr;
    if (!drop || !fDropTarget) return;
    fChainDrop->Forget();
    HideMark();
    if (fDropTarget->Dispatch(LMessage(LDrop_Enter, drop, this)) == CDropTargetHelper::kEnter)
        HandleDrop(CDropTargetHelper::kEnter);
}

LMessage CChannelList::HandleChainDrop(const LMessage& msg) {
    LDrop* drop = fChainDrop->Following();
    if (msg.Is(CDropScrollHelper_Enter) || msg.Is(CDropScrollHelper_Move)) {
        const bool units = drop && (UDragPboard::HasType(drop, ScrapType(kScrapLayers)) ||
                                    UDragPboard::HasType(drop, ScrapType(kScrapFilters)) ||
                                    UDragPboard::HasType(drop, ScrapType(kScrapAnimators)));
        if (units && TrackUnitDrag(drop, fChainDrop->Local())) return LMessage();
        // Not over a chain position: the column target takes the drag.
        if (msg.Is(CDropScrollHelper_Enter)) {
            HideMark();
            fChainDrop->Forget();
            return LMessage();
        }
        HandChainDragToColumns();
        return LMessage();
    }
    if (msg.Is(CDropScrollHelper_Leave)) {
        HideMark();
        return LMessage();
    }
    if (msg.Is(CDropScrollHelper_Drop)) {
        if (!drop || !fMarkShown) return LMessage();
        const bool animators = UDragPboard::HasType(drop, ScrapType(kScrapAnimators));
        const bool filters = UDragPboard::HasType(drop, ScrapType(kScrapFilters));
        HideMark();
        const uint32_t type = animators ? kScrapAnimators : filters ? kScrapFilters : kScrapLayers;
        const uint32_t fb = DropUnits(fMark, type, ReadRecords(drop, type), drop->IsCopyOnly());
        if (fb) fChainDrop->SetFeedback(fb);
        return LMessage();
    }
    // Scroll: columns by the horizontal step, the chains by twice the vertical one.
    CScrollHelper& scroller = fChainDrop->Scroller();
    if (scroller.DirectionX() != 0) {
        const CLPoint to = ClampScrollPos({FirstColumn() + scroller.DirectionX(), FirstRow()});
        SetScrollPos(to.x, to.y);
    }
    if (scroller.DirectionY() != 0 && fPrefs)
        SetChainOffset(fPrefs->GetInt(P::kDocRunTime13) + 2 * scroller.DirectionY());
    return LMessage();
}

void CChannelList::HandleDrop(int32_t code) {
    LDrop* drop = fDropTarget ? fDropTarget->Drop() : nullptr;
    if (code == CDropTargetHelper::kLeave) {
        if (fMarkShown) RedrawMark();
        fMarkShown = false;
        return;
    }
    if (!drop) return;
    const bool layers = UDragPboard::HasType(drop, ScrapType(kScrapLayers));
    const bool filters = UDragPboard::HasType(drop, ScrapType(kScrapFilters));
    const bool animators = UDragPboard::HasType(drop, ScrapType(kScrapAnimators));
    const bool files = CDropFiles(drop).HasFiles();
    if (code == CDropTargetHelper::kEnter || code == CDropTargetHelper::kDrag) {
        if ((layers || filters || animators) && TrackUnitDrag(drop, fDropTarget->DropLocal())) return;
        if (fMarkShown) RedrawMark();
        fMarkShown = false;
        if (!layers && !filters && !files) return;
        const int32_t gap = std::clamp(fDropTarget->DropGap().x, 0, Columns());
        const uint32_t mode = layers || filters ? uint32_t(LDrop::kDefault) : uint32_t(LDrop::kCopy);
        // The marker shows only once the target accepts.
        if (!fDropTarget->IsHighlighted()) fDropTarget->Accept(mode);
        fDropTarget->AcceptAt(mode, {gap, 0}, 1);
        return;
    }
    if (code != CDropTargetHelper::kDrop) return;
    const bool copyOnly = drop->IsCopyOnly();
    if (fMarkShown) {
        fMarkShown = false;
        RedrawMark();
        const uint32_t type = animators ? kScrapAnimators : filters ? kScrapFilters : kScrapLayers;
        const uint32_t fb = DropUnits(fMark, type, ReadRecords(drop, type), copyOnly);
        if (fb) fDropTarget->SetFeedback(fb);
        return;
    }
    const CLPoint at = fDropTarget->InsertionCell();
    if (at.x < 0) return;
    const uint32_t column = uint32_t(at.x);
    const bool move = !copyOnly && fDropTarget->Operation() == LDrop::kMove;
    uint32_t fb = 0;
    if (layers) {
        fb = DropLayers(column, ReadRecords(drop, kScrapLayers), move);
    } else if (filters) {
        fb = DropUnitsAsLayers(column, ReadRecords(drop, kScrapFilters), move && fDraggedUnit != 0);
    } else if (files) {
        std::vector<LFsSpec> specs;
        std::string path;
        for (uint32_t i = 0; CDropFiles(drop).GetPath(i, &path); ++i) specs.emplace_back(LString(path.c_str()));
        fb = DropFiles(column, specs);
    }
    if (fb) fDropTarget->SetFeedback(fb);
}

CInParamFrm* CChannelList::UnitFrame(uint32_t unitId) const {
    if (!unitId) return nullptr;
    for (int32_t c = 0; c < Columns(); ++c) {
        CLayerFrm* cell = CellPane(uint32_t(c));
        if (!cell) continue;
        for (uint32_t i = 0; i < cell->Chain()->ChildCount(); ++i)
            if (CInParamFrm* f = cell->Chain()->ChildAt(i)->FindFrame(unitId)) return f;
    }
    return nullptr;
}

void CChannelList::StartUnitDrag(CInParamFrm* frame) {
    CRecord* unit = UDocModel::FindUnitById(Mix(), frame->UnitId());
    if (!unit) return;
    CRecord* parent = unit->Parent();
    const bool filter = parent && IsUnit(parent) && unit->FieldInParent() == T::kUnitFilters;
    CListScrap scrap;
    if (!scrap.PutRecord(unit)) return;
    if (CDragger* old = std::exchange(fUnitDragger, nullptr)) old->Abandon();
    // The list, not the frame, holds the drag: a move rebuilds the chain and deletes the frame
    // while the drag still runs.
    fUnitDragger = new CDragger(this);
    fUnitDragger->SetData(scrap.MakeScrapData(ScrapType(filter ? kScrapFilters : kScrapAnimators)));
    fDraggedUnit = frame->UnitId();
}

// --- messages ------------------------------------------------------------------------------------

LMessage CChannelList::HandleCellMessage(CLayerFrm* cell, const LMessage& msg) {
    const uint32_t column = cell->Index();
    if (msg.Is(CSlider_Change) && msg.sender == cell->Fader()) {
        SetBlendFromFader(column, cell->Fader()->GetValue());
        return LMessage();
    }
    if (msg.Is(LPopupList_Changed) && msg.sender == cell->MixPopup()) {
        SetMixFromPopup(column, cell->MixPopup()->GetValue());
        return LMessage();
    }
    if (msg.Is(LEditText_Change) && msg.sender == cell->NameField()) {
        SetNameFromField(column, cell->NameField()->GetText());
        return LMessage();
    }
    if (msg.Is(COpenGLView_Update) && msg.sender == cell->Preview()) {
        CRecord* layer = LayerRecord(column);
        CRecord* unit = layer ? layer->GetSubRecord(T::kLayrUnit) : nullptr;
        if (unit) QueuePreview(unit->GetUInt(T::kUnitId), true);
        return LMessage();
    }
    return msg;
}

LMessage CChannelList::Handle(const LMessage& msg) {
    if (msg.Is(LKeyboard_Down)) {
        const uint32_t key = LKeyboard::Get() ? LKeyboard::Get()->GetNaviKey() : 0;
        if (key >= 1 && key <= 4) return Upper() ? msg.Retarget(Upper()) : LMessage();
    }
    if (msg.Is(LMouse_Wheel) && LMouse::Get() && fPrefs) {
        const CLPoint local = MouseLocal();
        const CLPoint cell = CellAt(local);
        if (cell.x >= 0 && local.y >= CellRect(cell).top + HeaderHeight()) {
            SetChainOffset(fPrefs->GetInt(P::kDocRunTime13) - LMouse::Get()->WheelY());
            return LMessage();
        }
    }
    if (fChainDrop && msg.sender == fChainDrop.get() &&
        (msg.Is(CDropScrollHelper_Enter) || msg.Is(CDropScrollHelper_Move) || msg.Is(CDropScrollHelper_Leave) ||
         msg.Is(CDropScrollHelper_Drop) || msg.Is(CDropScrollHelper_Scroll)))
        return HandleChainDrop(msg);
    // The column target follows a drop only when the chain helper does not.
    if (fChainDrop && fChainDrop->Take(msg)) return LMessage();
    if (const int32_t code = fDropTarget ? fDropTarget->Dispatch(msg) : 0) {
        HandleDrop(code);
        return LMessage();
    }
    if (fColumnHelper) {
        const bool endOfColumnDrag =
            msg.Is(CDragger_End) && fColumnHelper->Dragger() && msg.sender == fColumnHelper->Dragger();
        const int32_t code = fColumnHelper->Dispatch(msg);
        if (code == CCellDragHelper::kDragBegun) {
            CListScrap scrap;
            uint32_t n = 0;
            for (int32_t c = 0; c < Columns(); ++c)
                if (IsSelected({c, 0}) && LayerRecord(uint32_t(c)) && scrap.PutRecord(LayerRecord(uint32_t(c)))) ++n;
            fColumnHelper->SetDragData(scrap.MakeScrapData(ScrapType(kScrapLayers)), n >= 2);
            fColumnDrag = true;
            return CCellGridPane::Handle(msg);
        }
        if (endOfColumnDrag) fColumnDrag = false;
        if (code == CCellDragHelper::kConsumed) return LMessage();
    }
    if (msg.Is(CObSampleDC_Destruct) && msg.sender) {
        if (fEngine) fEngine->CancelCaptures(&static_cast<CObSampleDC*>(msg.sender)->context());
        return LMessage();
    }
    if (msg.Is(LTimer_Expire) && msg.sender == &fTimer) {
        ServePreviews();
        return LMessage();
    }
    if (msg.Is(LMenuBar_Ready) && msg.sender) {
        if (CanDelete()) static_cast<LMenuBar*>(msg.sender)->EnableCommand("LStdCmd_Delete");
        return CCellGridPane::Handle(msg);
    }
    if (msg.Is(LMenuItem_Selected) && msg.sender &&
        static_cast<LMenuItem*>(msg.sender)->HasCommand("LStdCmd_Delete") && CanDelete()) {
        DeleteCommand();
        return LMessage();
    }
    if (msg.Is(CInParamNote_Change) && msg.sender) {
        auto* note = static_cast<CInParamNote*>(msg.sender);
        CRecord* unit = UDocModel::FindUnitById(Mix(), note->unitId);
        if (unit && fModel) (void)UDocUnits::SetUnitInput(fModel->Mix(), fDocument, unit, note->key, note->value, false);
        return LMessage();
    }
    if (msg.Is(CInParamPane_Preview) && msg.sender) {
        auto* note = static_cast<CInParamNote*>(msg.sender);
        if (fEngine) fEngine->SetUnitParamByKey(note->unitId, note->key, note->value);
        return LMessage();
    }
    if (msg.Is(CInCtlPrmNote_Note) && msg.sender) {
        auto* note = static_cast<CInCtlPrmNote*>(msg.sender);
        StoreControlNote(note->unitId, note->key, note->path, note->value);
        return LMessage();
    }
    if (msg.Is(CInParamFrm_Click) && msg.sender) {
        auto* frame = static_cast<CInParamFrm*>(msg.sender);
        ClearSelection();
        FocusUnit(frame->UnitId());
        StartUnitDrag(frame);
        Dispatch(LMessage(LPane_ReqFocus, this, Upper()));
        return LMessage();
    }
    if (fUnitDragger && msg.sender == fUnitDragger) {
        if (msg.Is(CDragger_Drag)) {
            if (CInParamFrm* frame = UnitFrame(fDraggedUnit)) fUnitDragger->SetImageRegion(ScreenOutline(frame));
            return CCellGridPane::Handle(msg);
        }
        if (msg.Is(CDragger_End)) {
            fUnitDragger = nullptr;
            fDraggedUnit = 0;
            return CCellGridPane::Handle(msg);
        }
    }
    if (msg.Is(LPane_ReqFocus) && msg.sender && msg.sender != this) {
        fFocusedUnit = 0;
        // The fader or pop-up of a selected cell: the list keeps the focus, so the change applies
        // to the whole selection.
        auto* s1 = static_cast<LHandler*>(msg.sender);
        LHandler* inner = s1->Upper();
        LHandler* cellHandler = inner ? inner->Upper() : nullptr;
        CLPoint at;
        if (cellHandler && FindCellOfPane(static_cast<LPane*>(cellHandler), &at) && IsSelected(at)) {
            auto* cell = static_cast<CLayerFrm*>(cellHandler);
            if (s1 == cell->Fader() || s1 == cell->MixPopup()) {
                Dispatch(LMessage(LPane_ReqFocus, this, Upper()));
                return LMessage();
            }
        }
    }
    if (msg.Is(CInParamPane_image_Update) && msg.sender) {
        auto* pane = static_cast<CInParamPane*>(msg.sender);
        CRecord* unit = UDocModel::FindUnitById(Mix(), pane->UnitId());
        const CRecord* input = UDocModel::FindUnitInput(unit, pane->Key());
        if (const CRecord* image = input ? input->GetSubRecord(T::kInptImage) : nullptr)
            QueuePreview(image->GetUInt(T::kUnitId), true);
        return LMessage();
    }
    if (msg.Is(CInParamPane_image_Reveal) && msg.sender && fModel) {
        auto* pane = static_cast<CInParamPane*>(msg.sender);
        const LFsSpec file = fModel->ResolveStoredPath(pane->GetValueText());
        if (!file.IsEmpty()) (void)RevealFile(file);
        return LMessage();
    }
    if (msg.Is(CInParamPane_strsel_Reveal) && msg.sender && fEngine) {
        auto* pane = static_cast<CInParamStrSel*>(msg.sender);
        std::vector<LString> strings;
        if (fEngine->OutputStrings(pane->UnitId(), pane->Key(), strings)) pane->SetStrings(std::move(strings));
        return LMessage();
    }
    if (msg.Is(LPane_Deferred) && msg.target == this) {
        MeasureChains();
        return LMessage();
    }
    if (msg.Is(LPane_Pref) && msg.sender != this) return LMessage(LPane_Defer, this, Upper());
    if (msg.Is(CSrcRendrFrm_Filter) && msg.sender) {
        // From a cell's chain (the layer's unit) or an image input's chain inside it (the image
        // unit): the new filter goes to the end of that chain.
        for (int32_t c = 0; c < Columns(); ++c) {
            CLayerFrm* cell = CellPane(uint32_t(c));
            if (const CSrcRendrFrm* chain = cell ? FindChain(cell->Chain(), msg.sender) : nullptr) {
                if (const CInParamFrm* own = chain->ChildAt(0)) AppendFilterTo(own->UnitId(), chain->LastFilterPath());
                break;
            }
        }
        return LMessage();
    }
    if (msg.sender && !fCreating) {
        // A control of a cell: fader, pop-up, name and preview sit in the cell's inner frame.
        auto* s1 = static_cast<LHandler*>(msg.sender);
        LHandler* inner = s1->Upper();
        LHandler* cellHandler = inner ? inner->Upper() : nullptr;
        CLPoint at;
        if (cellHandler && FindCellOfPane(static_cast<LPane*>(cellHandler), &at)) {
            auto* cell = static_cast<CLayerFrm*>(cellHandler);
            if (s1 == cell->Fader() || s1 == cell->MixPopup() || s1 == cell->NameField() || s1 == cell->Preview()) {
                LMessage rest = HandleCellMessage(cell, msg);
                if (rest.IsEmpty()) return rest;
            }
        }
    }
    return CCellGridPane::Handle(msg);
}
