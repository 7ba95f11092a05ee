#include "Orbilume/CSources/Editors/CSceneList.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "Common/Container/CArray.h"
#include "Common/ObjC/CNumVol.h"
#include "Common/ObjC/CSimpleMessageDialog.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordUndo.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/CoreUI/CStateButton.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LPaint.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LTextStyle.h"
#include "Lib3/LSources/Mac/CDragScrap.h"
#include "Lib3/LSources/Mac/CRecordRowDrag.h"
#include "Lib3/LSources/Mac/HotKeyRegistry.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Lib3/LSources/Mac/UListScrap.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UCtlAttr.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "Orbilume/CSources/Editors/CMoveTimeDlg.h"
#include "Orbilume/CSources/TimecodeUI/CTimecodeEdit.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

constexpr const char* kScrapName = "lumetra.scraptype.orbilume.scene";
constexpr const char* kKeyMenu = "SCNKEY";
constexpr const char* kStrings = "SCENELIST";
constexpr uint32_t kTimeCode = 100;
constexpr float kMaxFade = 99.9f;

CSceneList::KeyMenuRunner gKeyMenuRunner = nullptr;
CSceneList::ConfirmRunner gConfirmRunner = nullptr;
CSceneList::TimeDialogRunner gTimeDialogRunner = nullptr;

LMenuItem* PopupAtButton(CSceneList* list, LMenu* menu, int32_t row) {
    CCellRef ref(list, {0, row}, true);
    auto* cell = static_cast<CSceneCell*>(ref.Pane());
    LPane* at = cell ? static_cast<LPane*>(cell->RecallButton()) : list;
    return LMenu::PopupContextMenu(at, menu, false);
}

bool AskConflict(const LString& text) {
    CSimpleMessageDialog box(nullptr, nullptr);
    return box.Run(text, 0, true) == 1;
}

bool EqualNoCase(const LString& a, const LString& b) {
    if (a.Length() != b.Length()) return false;
    for (uint32_t i = 0; i < a.Length(); ++i) {
        const auto x = static_cast<unsigned char>(a.CStr()[i]), y = static_cast<unsigned char>(b.CStr()[i]);
        if (std::tolower(x) != std::tolower(y)) return false;
    }
    return true;
}

// The cells of rows [lo, hi) of the sorted runs, joined in halves so each union meets a region of
// like size.
CRgn RunsRgn(const std::vector<CLRect>& runs, size_t lo, size_t hi) {
    if (hi - lo == 1) return CRgn(runs[lo]);
    const size_t mid = lo + (hi - lo) / 2;
    CRgn out = RunsRgn(runs, lo, mid);
    out |= RunsRgn(runs, mid, hi);
    return out;
}

bool RippleOn() {
    const CAppPrefs* prefs = CAppPrefs::Get();
    return prefs && prefs->Root() && prefs->Root()->GetBool(CAppPrefs::kPrefRippleTimes);
}

}  // namespace

void CSceneList::SetKeyMenuRunner(KeyMenuRunner runner) {
    gKeyMenuRunner = runner;
}

void CSceneList::SetConfirmRunner(ConfirmRunner runner) {
    gConfirmRunner = runner;
}

void CSceneList::SetTimeDialogRunner(TimeDialogRunner runner) {
    gTimeDialogRunner = runner;
}

LScrapType CSceneList::ScrapType() {
    return LScrapType{LString(kScrapName), 0};
}

float CSceneList::ClampTime(float seconds) {
    if (!std::isfinite(seconds) || seconds < 0) return std::isinf(seconds) && seconds > 0 ? kMaxTime : 0.0f;
    return std::min(seconds, kMaxTime);
}

uint32_t CSceneList::KeyBit(const LString& key) {
    const uint32_t length = key.Length();
    // "F" and one or two digits, no leading zero: F1..F12 only.
    if (length < 2 || length > 3) return 0;
    const char* s = key.CStr();
    if (s[0] != 'F' && s[0] != 'f') return 0;
    if (s[1] < '1' || s[1] > '9') return 0;
    uint32_t n = uint32_t(s[1] - '0');
    if (length == 3) {
        if (s[2] < '0' || s[2] > '9') return 0;
        n = n * 10 + uint32_t(s[2] - '0');
    }
    return n >= 1 && n <= kMaxKey ? 1u << (n - 1) : 0;
}

CSceneList::CSceneList(LPane* owner, CDocModelHolder* doc, HotKeyRegistry* hotKeys)
    : CCellGridPane(owner, kSelectMultiple, false, false),
      fDoc(doc),
      fHotKeys(hotKeys ? hotKeys : &HotKeyRegistry::Shared()) {
    PLAT_DCHECK_MAIN_THREAD();
    SetBackColor(LColor::System(1));
    fKeyMenu = std::make_unique<LMenu>(this, SRsrcRequest(kKeyMenu));
    // Rows move only inside the list: other lists' and programs' scenes are not taken.
    fDrag = std::make_unique<CRecordRowDrag>(this, ScrapType(), 1);
    if (fDoc) (void)fDoc->AddObserver(this, &CSceneList::Observe);
    ResetRows();
}

CSceneList::~CSceneList() {
    fHoldTimer.Stop();
    fDrag.reset();
    if (fDoc) (void)fDoc->RemoveObserver(this, &CSceneList::Observe);
    fHotKeys->Unregister(0, 0, this, &CSceneList::HotKeyFired, true);
    fKeyMenu.reset();
    SetGridSize(0, 0);
}

CRecordRef CSceneList::ScenesRef() const {
    return fDoc ? fDoc->Scenes() : CRecordRef();
}

bool CSceneList::CurrentList(CRecord*& owner, uint32_t& field) const {
    const CRecord* scns = fDoc ? fDoc->Scenes().Get() : nullptr;
    return scns && UDocModel::GetCurrentSceneList(scns, owner, field);
}

bool CSceneList::IsTimeMode() const {
    const CRecord* scns = fDoc ? fDoc->Scenes().Get() : nullptr;
    return scns && scns->GetBool(T::kScnsTimeLine);
}

CRecord* CSceneList::SceneAt(int32_t row) const {
    CRecord* owner;
    uint32_t field;
    if (row < 0 || !CurrentList(owner, field)) return nullptr;
    return owner->GetElement(field, static_cast<uint32_t>(row));
}

float CSceneList::SceneTime(int32_t row) const {
    const CRecord* scene = SceneAt(row);
    return scene ? ClampTime(scene->GetFloat(T::kScneTime)) : 0.0f;
}

void CSceneList::ResetRows() {
    ResetFocusRecords();
    CRecord* owner;
    uint32_t field;
    const int32_t count = CurrentList(owner, field) ? static_cast<int32_t>(owner->ArrayCount(field)) : 0;
    SetGridSize(1, count);
    fMarker = std::min<uint32_t>(fMarker, static_cast<uint32_t>(count));
    RefreshAllCells();
    RebuildHotKeys();
}

void CSceneList::EndBulk() {
    if (fBulk == 0 || --fBulk > 0 || !fBulkChanged) return;
    fBulkChanged = false;
    ResetRows();
}

void CSceneList::SelectRows(const std::vector<int32_t>& rows) {
    std::vector<CLRect> runs;
    for (const int32_t r : rows) {
        if (r < 0 || r >= Rows()) continue;
        if (!runs.empty() && runs.back().bottom == r)
            ++runs.back().bottom;
        else
            runs.push_back(CLRect{0, r, 1, r + 1});
    }
    SetSelection(runs.empty() ? CRgn() : RunsRgn(runs, 0, runs.size()));
}

std::vector<int32_t> CSceneList::SelectedRows() const {
    // One column: the region's rectangles come a band each, top down.
    CArray<CLRect> rects;
    Selection().GetRects(rects);
    std::vector<int32_t> rows;
    for (const CLRect& r : rects)
        for (int32_t row = std::max({r.top, 0, rows.empty() ? 0 : rows.back() + 1}); row < std::min(r.bottom, Rows()); ++row)
            rows.push_back(row);
    return rows;
}

void CSceneList::BoundsChanged(const CLRect& old) {
    CCellGridPane::BoundsChanged(old);
    if (Bounds().Width() == old.Width()) return;
    GetPrototypeCell();
    ChangeState(kRelayout);
}

void CSceneList::Draw(LDrawContext& ctx) {
    CCellGridPane::Draw(ctx);
    if (IsTimeMode()) {
        const int32_t top = CellRect({0, static_cast<int32_t>(fMarker)}).top;
        const CLRect band{Bounds().left, top - 1, Bounds().right, top + 2};
        LPaint(CRgn(band), LColor(LRGB(0, 255, 0), 0)).Fill(ctx);
    }
    if (fDrag) fDrag->DrawHighlight(ctx);
}

void CSceneList::SetMarker(uint32_t marker) {
    if (marker == fMarker) return;
    auto band = [this](uint32_t m) {
        const int32_t top = CellRect({0, static_cast<int32_t>(m)}).top;
        return CRgn(CLRect{Bounds().left, top - 1, Bounds().right, top + 2});
    };
    const CRgn old = band(fMarker);
    fMarker = marker;
    Invalidate(old, old);
    const CRgn now = band(fMarker);
    Invalidate(now, now);
}

CTabFocusPane* CSceneList::CreateCellPane() {
    return new CSceneCell(this);
}

bool CSceneList::BindCell(LPane* pane, const CLPoint& cell) {
    if (cell.x != 0 || !SceneAt(cell.y)) return false;
    static_cast<CSceneCell*>(pane)->Bind(cell.y);
    return true;
}

void CSceneList::SelectAndEditRow(int32_t row) {
    if (row < 0 || row >= Rows()) return;
    SelectCell({0, row});
    RevealCell({0, row});
    CCellRef ref(this, {0, row}, false);
    auto* cell = static_cast<CSceneCell*>(ref.Pane());
    if (cell && cell->NameField()) {
        cell->NameField()->Activate();
        cell->NameField()->SelectAll();
    }
}

void CSceneList::RecallRow(int32_t row) {
    if (!SceneAt(row)) return;
    UDocScenes::SelectScene(ScenesRef(), static_cast<uint32_t>(row), -1.0f, -1.0f);
}

void CSceneList::GoToRow(int32_t row) {
    CRecordRef scns = ScenesRef();
    if (!scns || !SceneAt(row)) return;
    (void)scns.SetInt(nullptr, T::kScnsGoTo, row);
    scns->Slot(T::kScnsGoTo).i32 = -1;
}

void CSceneList::StepMarker(int32_t step) {
    const int64_t wanted = int64_t{fMarker} + step;
    const uint32_t marker = static_cast<uint32_t>(std::clamp<int64_t>(wanted, 0, Rows()));
    if (marker == fMarker) return;
    CRecordRef scns = ScenesRef();
    if (scns) {
        scns->Slot(T::kScnsLocate).i32 = -1;
        (void)scns.SetInt(nullptr, T::kScnsLocate, static_cast<int32_t>(marker));
    }
    SetMarker(marker);
    if (marker > 0) {
        RecallRow(static_cast<int32_t>(marker) - 1);
        RevealCell({0, static_cast<int32_t>(marker) - 1});
    }
}

uint32_t CSceneList::DropScenes(std::vector<CRecord*> records, uint32_t row, bool move) {
    CRecord* owner;
    uint32_t field;
    if (!CurrentList(owner, field)) {
        for (CRecord* r : records) CRecord::Delete(r);
        return 0;
    }
    const std::vector<int32_t> moved = move ? SelectedRows() : std::vector<int32_t>();
    BeginBulk();
    void* group = CRecordUndo::BeginGroup(this);
    const uint32_t before = row;
    for (auto r = moved.rbegin(); r != moved.rend(); ++r) {
        CRecordRef(&owner).DeleteElement(this, field, static_cast<uint32_t>(*r));
        if (static_cast<uint32_t>(*r) < before) --row;
    }
    const uint32_t count = owner->ArrayCount(field);
    row = std::min(row, count);
    auto timeOf = [](const CRecord* s) { return ClampTime(s->GetFloat(T::kScneTime)); };
    const float prev = row > 0 ? timeOf(owner->GetElement(field, row - 1)) : 0.0f;
    const float next = row < count ? timeOf(owner->GetElement(field, row)) : kMaxTime;
    float first = 0;
    bool haveFirst = false;
    uint32_t at = row;
    for (CRecord* scene : records) {
        if (!scene || !scene->IsOfType(T::kDomain, T::kSCNE)) {
            CRecord::Delete(scene);
            continue;
        }
        const float own = ClampTime(scene->GetFloat(T::kScneTime));
        if (!haveFirst) {
            first = own;
            haveFirst = true;
        }
        scene->Slot(T::kScneTime).f32 = std::min(own - first + prev, next);
        if (!move) scene->StringSlot(T::kScneKey) = LString();
        if (CRecordRef(&owner).InsertRecord(this, field, at, scene)) ++at;
    }
    CRecordUndo::EndGroup(group);
    EndBulk();
    const uint32_t inserted = at - row;
    if (inserted > 0)
        SetSelection(CRgn(CLRect{0, static_cast<int32_t>(row), 1, static_cast<int32_t>(at)}));
    else if (!moved.empty())
        ClearSelection();
    return inserted;
}

void CSceneList::SetRowTime(int32_t row, float seconds) {
    CRecord* scene = SceneAt(row);
    CRecordRef scns = ScenesRef();
    if (!scene || !scns) return;
    const float t = ClampTime(seconds);
    if (!RippleOn()) {
        fLastRippleRow = -1;
        const uint32_t now = UDocScenes::SetSceneTimeSorted(scns, this, static_cast<uint32_t>(row), t);
        if (static_cast<int32_t>(now) != row) {
            RevealCell({0, static_cast<int32_t>(now)});
            CCellRef ref(this, {0, static_cast<int32_t>(now)}, false);
            auto* cell = static_cast<CSceneCell*>(ref.Pane());
            if (cell && cell->TimeField()) {
                cell->TimeField()->Activate();
                cell->TimeField()->SelectAll();
            }
        }
        return;
    }
    // Ripple: earlier scenes end no later than t, this and every later scene shift by d.
    const float d = t - ClampTime(scene->GetFloat(T::kScneTime));
    const uint32_t merge = fLastRippleRow == row ? CRecordRef::kMergeContinuous : 0;
    fLastRippleRow = row;
    BeginBulk();
    void* group = CRecordUndo::BeginGroup(this);
    for (int32_t r = 0; r < Rows(); ++r) {
        CRecord* s = SceneAt(r);
        if (!s) continue;
        const float old = ClampTime(s->GetFloat(T::kScneTime));
        const float value = r < row ? std::min(old, t) : std::clamp(old + d, 0.0f, kMaxTime);
        if (value != s->GetFloat(T::kScneTime)) (void)CRecordRef(&s).SetFloat(this, T::kScneTime, value, merge);
    }
    CRecordUndo::EndGroup(group);
    EndBulk();
}

int32_t CSceneList::TopSelectedRow() const {
    if (Selection().IsEmpty()) return -1;
    for (int32_t r = std::max(0, Selection().bounds().top); r < Rows(); ++r)
        if (IsSelected({0, r})) return r;
    return -1;
}

bool CSceneList::MoveSelectedTimes(float seconds) {
    CRecordRef scns = ScenesRef();
    const int32_t top = TopSelectedRow();
    if (!scns || !SceneAt(top)) return false;
    const float d = ClampTime(seconds) - SceneTime(top);
    if (d == 0) return false;
    const std::vector<int32_t> before = SelectedRows();
    std::vector<CRecord*> chosen;
    for (const int32_t r : before)
        if (CRecord* scene = SceneAt(r)) chosen.push_back(scene);
    // Later first when moving later, earlier first when moving earlier, so none passes another.
    if (d > 0) std::reverse(chosen.begin(), chosen.end());
    CRecord* owner;
    uint32_t field;
    if (!CurrentList(owner, field)) return false;
    BeginBulk();
    void* group = CRecordUndo::BeginGroup(this);
    for (CRecord* scene : chosen) {
        const int32_t row = scene->ArrayIndex();
        if (row < 0) continue;
        const float t = std::clamp(ClampTime(scene->GetFloat(T::kScneTime)) + d, 0.0f, kMaxTime);
        (void)UDocScenes::SetSceneTimeSorted(scns, this, static_cast<uint32_t>(row), t);
    }
    CRecordUndo::EndGroup(group);
    EndBulk();
    std::vector<int32_t> rows;
    for (CRecord* scene : chosen)
        if (scene->ArrayIndex() >= 0 && scene->Parent() == owner) rows.push_back(scene->ArrayIndex());
    std::sort(rows.begin(), rows.end());
    if (rows != before) SelectRows(rows);
    return true;
}

void CSceneList::RunMoveTime() {
    const int32_t top = TopSelectedRow();
    if (!SceneAt(top)) return;
    CMoveTimeDlg dialog(this, nullptr);
    dialog.SetMilliseconds(static_cast<int64_t>(double(SceneTime(top)) * 1000.0));
    const int64_t before = dialog.Milliseconds();
    LHandlerWatch watch(this);
    const uint32_t result = gTimeDialogRunner ? gTimeDialogRunner(&dialog) : dialog.RunUntilResult();
    // Cancel, or OK with the time as it was shown: nothing moves.
    if (watch.IsGone() || result != 1 || dialog.Milliseconds() == before) return;
    (void)MoveSelectedTimes(static_cast<float>(dialog.Milliseconds()) / 1000.0f);
}

void CSceneList::DeleteSelection() {
    CRecord* owner;
    uint32_t field;
    if (!CurrentList(owner, field) || Selection().IsEmpty()) return;
    const std::vector<int32_t> rows = SelectedRows();
    BeginBulk();
    void* group = CRecordUndo::BeginGroup(this);
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
        CRecordRef(&owner).DeleteElement(this, field, static_cast<uint32_t>(*row));
    CRecordUndo::EndGroup(group);
    EndBulk();
    ClearSelection();
}

void CSceneList::ChooseKey(int32_t row, const LString& key) {
    CRecord* scene = SceneAt(row);
    if (!scene) return;  // the list changed since the button was pressed
    int32_t other = -1;
    if (key.Length() > 0) {
        for (int32_t r = 0; r < Rows(); ++r) {
            const CRecord* s = SceneAt(r);
            if (r != row && s && EqualNoCase(s->GetString(T::kScneKey), key)) {
                other = r;
                break;
            }
        }
    }
    if (other >= 0) {
        const LStrListRsrcH strings{SRsrcRequest(kStrings)};
        const LString text = strings.GetString(0);
        LHandlerWatch watch(this);
        const bool ok = gConfirmRunner ? gConfirmRunner(text) : AskConflict(text);
        if (watch.IsGone() || !ok) return;
        scene = SceneAt(row);
        if (!scene) return;
    }
    void* group = CRecordUndo::BeginGroup(this);
    if (other >= 0) {
        CRecord* s = SceneAt(other);
        if (s) (void)CRecordRef(&s).SetString(this, T::kScneKey, LString());
    }
    (void)CRecordRef(&scene).SetString(this, T::kScneKey, key);
    CRecordUndo::EndGroup(group);
}

void CSceneList::PopKeyMenu() {
    const int32_t row = fPendingKeyRow;
    fPendingKeyRow = -1;
    if (!SceneAt(row) || !fKeyMenu) return;
    LHandlerWatch watch(this);
    LMenuItem* item = gKeyMenuRunner ? gKeyMenuRunner(this, fKeyMenu.get(), row) : PopupAtButton(this, fKeyMenu.get(), row);
    if (watch.IsGone() || !item) return;
    const LString command = item->GetFirstCommand();
    if (command == LString("cScnKeyNone"))
        ChooseKey(row, LString());
    else if (command == LString("cScnKey"))
        ChooseKey(row, item->BaseText());
}

void CSceneList::RebuildHotKeys() {
    std::fill(std::begin(fKeyCount), std::end(fKeyCount), 0u);
    CRecord* owner;
    uint32_t field;
    if (CurrentList(owner, field)) {
        const uint32_t count = std::min<uint32_t>(owner->ArrayCount(field), static_cast<uint32_t>(Rows()));
        for (uint32_t r = 0; r < count; ++r)
            if (const CRecord* s = owner->GetElement(field, r)) CountKeys(KeyBit(s->GetString(T::kScneKey)), 1);
    }
    ApplyKeyCounts();
}

void CSceneList::CountKeys(uint32_t bits, int32_t delta) {
    for (uint32_t i = 0; i < kMaxKey; ++i) {
        if (!(bits & (1u << i))) continue;
        if (delta > 0) ++fKeyCount[i];
        else if (fKeyCount[i] > 0) --fKeyCount[i];
    }
}

void CSceneList::ApplyKeyCounts() {
    uint32_t mask = 0;
    for (uint32_t i = 0; i < kMaxKey; ++i)
        if (fKeyCount[i] > 0) mask |= 1u << i;
    const uint32_t changed = mask ^ fKeyMask;
    for (uint32_t i = 0; i < kMaxKey; ++i) {
        if (!(changed & (1u << i))) continue;
        const auto code = static_cast<uint32_t>(KeyCodeForFunctionKey(static_cast<int32_t>(i)));
        if (mask & (1u << i))
            (void)fHotKeys->Register(code, kFunctionKeyModifier, this, &CSceneList::HotKeyFired);
        else
            fHotKeys->Unregister(code, kFunctionKeyModifier, this, &CSceneList::HotKeyFired);
    }
    fKeyMask = mask;
}

void CSceneList::HotKeyFired(void* context, uint32_t keyCode, uint32_t /*modifiers*/) {
    const int32_t index = FunctionKeyForKeyCode(keyCode);
    if (index >= 0) static_cast<CSceneList*>(context)->FunctionKeyPressed(static_cast<uint32_t>(index) + 1);
}

void CSceneList::FunctionKeyPressed(uint32_t n) {
    if (n < 1 || n > kMaxKey) return;
    const CRecord* scns = fDoc ? fDoc->Scenes().Get() : nullptr;
    if (!scns) return;
    char text[4] = {'F', 0, 0, 0};
    if (n >= 10) {
        text[1] = '1';
        text[2] = static_cast<char>('0' + n - 10);
    } else {
        text[1] = static_cast<char>('0' + n);
    }
    const int32_t row = UDocModel::FindSceneByKey(scns, LString(text));
    if (row >= 0) GoToRow(row);
}

LMessage CSceneList::Handle(const LMessage& msg) {
    if (!fDrag) return CCellGridPane::Handle(msg);  // building or going
    if (msg.Is(LDrop_Drop)) {
        CListDragDropHelper& helper = fDrag->Helper();
        const int32_t code = helper.Dispatch(msg);
        if (code == CListDragDropHelper::kDropped) {
            LDrop* drop = helper.Drop();
            CRecord* owner;
            uint32_t field;
            if (!helper.IsSource() || !UDragPboard::HasScrapType(drop, ScrapType()) || !CurrentList(owner, field))
                return LMessage();
            const bool copy = helper.OperationAtDrop() == LDrop::kCopy;
            std::vector<CRecord*> records;
            CListDropScrap scrap(drop, ScrapType());
            while (CRecord* r = scrap.NextRecord()) records.push_back(r);
            const CLPoint cell = helper.InsertionCell();
            (void)DropScenes(std::move(records), static_cast<uint32_t>(std::max(cell.y, 0)), !copy);
            helper.SetFeedback(copy ? LDrop::kCopy : LDrop::kMove);
            return LMessage();
        }
        if (code != CListDragDropHelper::kNotMine) return LMessage();
    } else {
        CRecord* owner = nullptr;
        uint32_t field = 0;
        const bool has = CurrentList(owner, field);
        LMessage reply;
        // Without a current list (no sequences) nothing drops in.
        if (fDrag->Handle(this, has ? CRecordRef(&owner) : CRecordRef(), field, msg, &reply)) return reply;
    }
    if (msg.Is(LTimer_Expire) && msg.sender == &fHoldTimer) {
        if (fPendingKeyRow >= 0) PopKeyMenu();
        return LMessage();
    }
    if (msg.Is(LMenuBar_Ready) && msg.sender) {
        auto* bar = static_cast<LMenuBar*>(msg.sender);
        const bool selected = !Selection().IsEmpty();
        if (selected) bar->EnableCommand("LStdCmd_Delete");
        if (selected && IsTimeMode()) bar->EnableCommand("cScnMoveTime");
    }
    if (msg.Is(LMenuItem_Selected) && msg.sender) {
        const LString command = static_cast<LMenuItem*>(msg.sender)->GetFirstCommand();
        if (command == LString("LStdCmd_Delete") && !Selection().IsEmpty()) {
            DeleteSelection();
            return LMessage();
        }
        if (command == LString("cScnMoveTime") && !Selection().IsEmpty() && IsTimeMode()) {
            RunMoveTime();
            return LMessage();
        }
    }
    if (msg.Is(LKeyboard_Down) && msg.sender == LKeyboard::Get() && LKeyboard::Get()) {
        const uint32_t navi = LKeyboard::Get()->GetNaviKey();
        if (navi == LKeyboard::kNaviDown || navi == LKeyboard::kNaviUp) {
            StepMarker(navi == LKeyboard::kNaviDown ? 1 : -1);
            return LMessage();
        }
    }
    return CCellGridPane::Handle(msg);
}

void CSceneList::Observe(void* context, const SRecordEvent* event) {
    static_cast<CSceneList*>(context)->OnRecordChange(*event);
}

void CSceneList::OnRecordChange(const SRecordEvent& event) {
    const CRecord* scns = fDoc ? fDoc->Scenes().Get() : nullptr;
    const CRecord* record = event.record.Get();
    if (event.kind == SRecordEvent::kRemoving) {
        fRemovingIndex = -1;
        CRecord* owner;
        uint32_t field;
        if (fBulk == 0 && record && record->IsOfType(T::kDomain, T::kSCNE) && CurrentList(owner, field) &&
            record->Parent() == owner) {
            fRemovingIndex = event.index1;
            fRemovingBits = KeyBit(record->GetString(T::kScneKey));
        }
        return;
    }
    if (!scns || !record || event.kind > SRecordEvent::kMoved) return;
    const CRecord* sceneCtl = fDoc->SceneControl().Get();
    if (sceneCtl && (record == sceneCtl || event.record.HasAncestor(sceneCtl))) {
        RefreshAllCells();
        return;
    }
    if (record == scns) {
        switch (event.field) {
            case T::kScnsTimeLine:
                RefreshAllCells();
                Invalidate(CRgn(Bounds()), CRgn(Bounds()));
                return;
            case T::kScnsGoTo:
                if (scns->GetInt(T::kScnsGoTo) >= 0 && scns->GetInt(T::kScnsGoTo) < Rows())
                    RevealCell({0, scns->GetInt(T::kScnsGoTo)});
                return;
            case T::kScnsCurIndex:
                SetMarker(std::min<uint32_t>(scns->GetUInt(T::kScnsCurIndex), static_cast<uint32_t>(Rows())));
                return;
            case T::kScnsEdited:
                ResetRows();
                return;
            default:
                break;
        }
    }
    CRecord* owner;
    uint32_t field;
    if (!CurrentList(owner, field)) return;
    if (fBulk > 0 && (record == owner || record->Parent() == owner)) {
        fBulkChanged = true;
        return;
    }
    if (record == owner && event.field == field && event.kind != SRecordEvent::kValueChanged) {
        const int32_t count = static_cast<int32_t>(owner->ArrayCount(field));
        const int32_t removing = fRemovingIndex;
        fRemovingIndex = -1;
        ResetFocusRecords();
        // The hot keys follow the one scene that came or went; anything else counts them again.
        bool keysKnown = false;
        switch (event.kind) {
            case SRecordEvent::kInserted:
                if (Rows() + 1 == count) {
                    InsertRows(event.index1, 1);
                    if (const CRecord* s = SceneAt(event.index1)) {
                        CountKeys(KeyBit(s->GetString(T::kScneKey)), 1);
                        keysKnown = true;
                    }
                } else {
                    SetGridSize(1, count);
                }
                break;
            case SRecordEvent::kRemoved:
                if (Rows() == count + 1) {
                    RemoveRows(event.index1, 1);
                    if (removing == event.index1) {
                        CountKeys(fRemovingBits, -1);
                        keysKnown = true;
                    }
                } else {
                    SetGridSize(1, count);
                }
                break;
            default:
                RemoveRows(event.index1, 1);
                InsertRows(event.index2, 1);
                keysKnown = true;
                break;
        }
        fMarker = std::min<uint32_t>(fMarker, static_cast<uint32_t>(count));
        RefreshAllCells();
        if (keysKnown)
            ApplyKeyCounts();
        else
            RebuildHotKeys();
        return;
    }
    if (record == owner && event.field == field) {
        ResetRows();
        return;
    }
    if (record->Parent() == owner && record->IsOfType(T::kDomain, T::kSCNE) && event.kind == SRecordEvent::kValueChanged) {
        const int32_t row = record->ArrayIndex();
        if (event.field > T::kScneKey || row < 0 || row >= Rows()) return;
        // The row's own field typed the value: rebinding would pull its editor away mid-keystroke.
        if (row != fTypingRow) RefreshCell({0, row});
        if (event.field == T::kScneKey) RebuildHotKeys();
    }
}

CSceneCell::CSceneCell(CSceneList* list) : CTabFocusPane(list, list), fList(list) {
    // Panes in layout order: 1 recall button, 2 slot label, 3 time, 4 name, 5 fade.
    fRecall = new CStateButton(this, LStdCtlSpec());
    fSlot = new LTextPane(this, 0);
    fSlot->SetAlignment(LTextBox::kCenter);
    (void)fSlot->SetTextStyle(LTextStyleH(2));
    fTime = new CTimecodeEdit(this, kTimeCode, false);
    fName = new LEditText(this, LEditText::kSingleLine, 0);
    fFade = new CNumVol(this, 1, 0);
    fFade->SetRange(0.0f, kMaxFade, 0.1f);
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
}

void CSceneCell::Bind(int32_t row) {
    fRow = row;
    const CRecord* scene = fList->SceneAt(row);
    if (!scene) return;
    fRecall->SetTitle(scene->GetString(CDocModelTypes::kScneKey));
    const LString name = scene->GetString(CDocModelTypes::kScneName);
    if (!(fName->GetText() == name)) fName->SetText(name);
    fTime->SetCount(static_cast<int64_t>(double(fList->SceneTime(row)) * 1000.0 + 0.5), 1000);
    float fade = scene->GetFloat(CDocModelTypes::kScneFade);
    if (!std::isfinite(fade)) fade = 0;
    fFade->SetValue(std::clamp(fade, 0.0f, kMaxFade));
    CRecordRef control = fList->Document() ? fList->Document()->SceneControl() : CRecordRef();
    fSlot->SetText(control ? UCtlAttr::GetCtlSlotLabel(control, row) : LString());
    // The slot label goes without a controller, and for stepping DMX and MIDI CC.
    const int ctlr = control ? UCtlAttr::GetCtlr(control) : UCtlAttr::kCtlrNone;
    const bool stepping = (ctlr == UCtlAttr::kCtlrDmx || ctlr == UCtlAttr::kCtlrMidiCc) &&
                          UCtlAttr::GetUsage(control) == UCtlAttr::kUsageStep;
    const bool slot = ctlr != UCtlAttr::kCtlrNone && !stepping;
    const bool time = fList->IsTimeMode();
    bool relayout = false;
    auto show = [&relayout](LPane* pane, bool on) {
        if (((pane->State() & LPane::kShown) != 0) == on) return;
        pane->ChangeState(on ? LPane::kShow : LPane::kHide);
        relayout = true;
    };
    show(fSlot, slot);
    show(fTime, time);
    if (relayout) UpdateLayout();
}

LMessage CSceneCell::Handle(const LMessage& msg) {
    if (fRecall && msg.sender == fRecall) {
        if (msg.Is(CStateButton_Push)) {
            fList->fPendingKeyRow = fRow;
            fList->HoldTimer()->StartOnce(CSceneList::kHoldMs, 0);
            return LMessage();
        }
        if (msg.Is(CStateButton_Unpush)) {
            fList->HoldTimer()->Stop();
            return LMessage();
        }
        if (msg.Is(LStdCtl_Selected)) {
            fList->HoldTimer()->Stop();
            fList->fPendingKeyRow = -1;
            fList->RecallRow(fRow);
            return LMessage();
        }
        if (msg.Is(CStateButton_DblClk)) {
            fList->GoToRow(fRow);
            return LMessage();
        }
    }
    if (msg.Is(LEditText_Change) && fName && msg.sender == fName) {
        CRecord* scene = fList->SceneAt(fRow);
        fList->fTypingRow = fRow;
        if (scene)
            (void)CRecordRef(&scene).SetString(fList, CDocModelTypes::kScneName, fName->GetText(),
                                               CRecordRef::kMergeContinuous);
        fList->fTypingRow = -1;
        return LMessage();
    }
    if (msg.Is(CNumVol_Fix) && fTime && msg.sender == fTime) {
        // As typed: a time past the day clamps to its end instead of wrapping into it.
        const int64_t typed = fTime->GetTypedCount(1000);
        fList->SetRowTime(fRow, static_cast<float>(double(typed) / 1000.0));
        // A clamped time that equals the stored one changes nothing the cell would hear of.
        const int64_t stored = static_cast<int64_t>(double(fList->SceneTime(fRow)) * 1000.0 + 0.5);
        if (fList->SceneAt(fRow) && typed != stored) fTime->SetCount(stored, 1000);
        return LMessage();
    }
    if (msg.Is(CNumVol_Fix) && fFade && msg.sender == fFade) {
        CRecord* scene = fList->SceneAt(fRow);
        const float v = fFade->GetValue();
        fList->fTypingRow = fRow;
        if (scene)
            (void)CRecordRef(&scene).SetFloat(fList, CDocModelTypes::kScneFade,
                                              std::clamp(std::isfinite(v) ? v : 0.0f, 0.0f, kMaxFade));
        fList->fTypingRow = -1;
        // Shown clamped.
        if (scene && fFade->GetValue() != scene->GetFloat(CDocModelTypes::kScneFade))
            fFade->SetValue(scene->GetFloat(CDocModelTypes::kScneFade));
        return LMessage();
    }
    return CTabFocusPane::Handle(msg);
}
