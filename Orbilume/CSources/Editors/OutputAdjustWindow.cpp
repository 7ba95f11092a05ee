#include "Orbilume/CSources/Editors/OutputAdjustWindow.h"

#include <algorithm>
#include <charconv>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/String/PropertyTree.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LWindowPlacer.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Editors/CInCtlFrm.h"
#include "Orbilume/CSources/Editors/CInCtlPrmNote.h"
#include "Orbilume/CSources/Editors/CInParamFrm.h"
#include "Orbilume/CSources/Editors/CInParamNote.h"
#include "Orbilume/CSources/Editors/CInParamPane.h"
#include "Orbilume/CSources/Editors/CMonitorWin.h"
#include "Orbilume/CSources/Engine/CCtlInDocBinder.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

constexpr int32_t kUtilityPanelKind = 1;
enum : uint32_t { kTitle = 0, kDefaultsTitle = 1 };

// 'oawp' holds the rectangle as four unsigned numbers: the coordinates' bits, so that screens left
// of or above the main one keep their place.
CLRect ReadPlace(const CRecord* root) {
    const uint32_t field = CAppPrefs::kPrefOutAdjRect;
    if (!root || root->ArrayCount(field) < 4) return CLRect();
    const auto* v = static_cast<const uint32_t*>(root->ArrayData(field));
    return CLRect{int32_t(v[0]), int32_t(v[1]), int32_t(v[2]), int32_t(v[3])};
}

void StorePlace(CRecordRef root, const CLRect& r) {
    const uint32_t v[4] = {uint32_t(r.left), uint32_t(r.top), uint32_t(r.right), uint32_t(r.bottom)};
    (void)root.SetArray(nullptr, CAppPrefs::kPrefOutAdjRect, v, 4);
}

void AddMember(PropertyTreeObject& object, const char* name, const LString& value) {
    auto* member = new PropertyTreeMember(LString(name));
    member->AddValue(value);
    object.AppendMember(member);
}

// A float as the C locale writes it, whatever the user's locale.
LString FloatText(float v) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
    return LString(std::string(buffer, end).c_str());
}

// The numeric controls, depth first, as one flat "controls" list of the input-parameter frame.
std::unique_ptr<PropertyTreeObject> FrameDescription(const COutAdjustControls& controls) {
    auto description = std::make_unique<PropertyTreeObject>();
    auto* list = new PropertyTreeMember(LString("controls"));
    for (const COutAdjustControls::Control& c : controls.Controls()) {
        if (!c.IsNumeric()) continue;
        auto* entry = new PropertyTreeObject();
        AddMember(*entry, "id", c.id);
        AddMember(*entry, "type", c.type);
        AddMember(*entry, "name", c.name);
        AddMember(*entry, "min", FloatText(c.min));
        AddMember(*entry, "max", FloatText(c.max));
        AddMember(*entry, "prec", LString(std::to_string(c.decimals).c_str()));
        AddMember(*entry, "ini", c.defaultText);
        list->AppendObject(entry);
    }
    description->AppendMember(list);
    return description;
}

}  // namespace

// The window.

LFrameSpec OutputAdjustWindow::DefaultSpec() {
    return LFrameSpec(LFrameSpec::kFloating, CMacWindowKindH(new CMacPanelKind(
                                                 kUtilityPanelKind, CMacPanelKind::kStaysOnDeactivate)));
}

OutputAdjustWindow::OutputAdjustWindow(LHandler* upper, CAppPrefs* prefs, CCtlInHub* hub,
                                       const std::string& description, const LFrameSpec& spec)
    : LFrame(upper, nullptr, spec), fPrefs(prefs) {
    PLAT_DCHECK_MAIN_THREAD();
    (void)fControls.Load(description);  // missing or malformed: no panes, no ranges
    CRecord* unit = Unit();
    // Every numeric control has its input, so that bindings and the engine find it.
    if (unit)
        for (const COutAdjustControls::Control& c : fControls.Controls())
            if (c.IsNumeric()) (void)UDocUnits::FindOrAddUnitInput(unit, nullptr, c.id, c.defaultText);
    fBinder = std::make_unique<CCtlInDocBinder>(unit, hub);
    fControls.AddRanges(*fBinder);

    fDescription = FrameDescription(fControls);

    // Panes in layout order: 1 the defaults button, 2 the input-parameter frame.
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    fDefaults = new LStdButton(this, LStdCtlSpec());
    fDefaults->SetTitle(strings.GetString(kDefaultsTitle));
    fPanes = new CInParamFrm(this, this, 0);
    Build();
    SetWindowTitle(strings.GetString(kTitle));
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    if (Window()) {
        FitWindowToLayout();
        RestorePlace();
        const CRecord* root = fPrefs ? fPrefs->Root() : nullptr;
        if (root && root->GetBool(CAppPrefs::kPrefOavs)) ShowWindow();
    }
    if (fPrefs) (void)fPrefs->AddObserver(this, &OutputAdjustWindow::PrefsObserver);
}

OutputAdjustWindow::~OutputAdjustWindow() {
    PLAT_DCHECK_MAIN_THREAD();
    if (fPrefs) {
        (void)fPrefs->RemoveObserver(this, &OutputAdjustWindow::PrefsObserver);
        if (fPrefs->Root() && Window()) {
            CRecordRef root = fPrefs->RootRef();
            const bool shown = (State() & (kShown | kChainShown)) == (kShown | kChainShown);
            (void)root.SetByte(nullptr, CAppPrefs::kPrefOavs, shown ? 1 : 0);
            LWindowServices* services = LWindowServices::Get();
            if (services) StorePlace(root, services->ContentRect(Window()));
        }
    }
    fBinder.reset();
}

CRecord* OutputAdjustWindow::Unit() const {
    CRecord* root = fPrefs ? fPrefs->Root() : nullptr;
    return root ? root->GetSubRecord(CAppPrefs::kPrefOutAdjUnit) : nullptr;
}

void OutputAdjustWindow::RestorePlace() {
    const CRecord* root = fPrefs ? fPrefs->Root() : nullptr;
    if (!root) return;
    const CLRect stored = ReadPlace(root);
    if (stored.IsEmpty()) return;
    LWindowServices* services = LWindowServices::Get();
    if (!services) return;
    const CLRect content = services->ContentRect(Window());
    CLRect place{stored.left, stored.top, stored.left + content.Width(), stored.top + content.Height()};
    // Off every screen (a display that went away): moved onto one at the same size.
    if (!CMonitorWin::IsOnScreen(place)) place = ConstrainRect(Window(), place);
    SetWindowFrame(place);
}

bool OutputAdjustWindow::ShowsAssignments() const {
    const CRecord* root = fPrefs ? fPrefs->Root() : nullptr;
    return root && root->GetBool(kPrefShowAssign);
}

void OutputAdjustWindow::Build() {
    fPanes->BuildFromControls(fControls.Controls().empty() ? nullptr : fDescription.get(), Unit(),
                              ShowsAssignments());
}

// The note's path leads from the input (its last key) through nested sets to the key.
void OutputAdjustWindow::StoreAssignment(const CInCtlPrmNote& note) {
    if (note.path.empty()) return;
    CRecord* input = COutAdjustControls::FindInput(Unit(), note.path.back());
    CRecord* set = input ? input->GetSubRecord(T::kInptCtl) : nullptr;
    for (size_t i = note.path.size() - 1; set && i > 0; --i)
        set = CParamSet::GetOrCreateSubSet(CRecordRef(&set), nullptr, note.path[i - 1]);
    if (set) CParamSet::SetString(CRecordRef(&set), nullptr, note.key, note.value);
}

// A change inside an input's assignment set: its editor shows the stored set again.
void OutputAdjustWindow::RefreshAssignment(const CRecord* changed) {
    const CRecord* unit = Unit();
    while (changed && changed->Parent() != unit) changed = changed->Parent();
    if (!changed || !ShowsAssignments()) return;
    CInParamPane* pane = fPanes->FindPane(fPanes->UnitId(), changed->GetString(T::kInptKey));
    if (pane && pane->ControlEditor()) pane->ControlEditor()->Apply(changed->GetSubRecord(T::kInptCtl));
}

LMessage OutputAdjustWindow::Handle(const LMessage& msg) {
    if (msg.Is(OutputAdjustWindow_OscControls) && msg.sender) {
        OscControlList(static_cast<OutputAdjustOscRequest*>(msg.sender)->controls);
        return LMessage();
    }
    if (msg.Is(CInParamNote_Change) && msg.sender) {
        const auto* note = static_cast<const CInParamNote*>(msg.sender);
        CRecord* input = COutAdjustControls::FindInput(Unit(), note->key);
        if (input && input->GetString(T::kInptValue) != note->value)
            (void)CRecordRef(&input).SetString(nullptr, T::kInptValue, note->value);
        return LMessage();
    }
    if (msg.Is(CInCtlPrmNote_Note) && msg.sender) {
        StoreAssignment(*static_cast<const CInCtlPrmNote*>(msg.sender));
        return LMessage();
    }
    if (msg.Is(LStdCtl_Selected) && msg.sender == fDefaults) {
        fControls.RestoreDefaults(Unit());
        return LMessage();
    }
    if (msg.Is(LMenuBar_Ready) && msg.sender) {
        auto* bar = static_cast<LMenuBar*>(msg.sender);
        bar->EnableCommand(kAssignCommand);
        if (ShowsAssignments()) (void)bar->CheckCommand(kAssignCommand);
        return LFrame::Handle(msg);
    }
    if (msg.Is(LMenuItem_Selected) && msg.sender &&
        static_cast<LMenuItem*>(msg.sender)->HasCommand(kAssignCommand) && fPrefs && fPrefs->Root()) {
        (void)fPrefs->RootRef().SetByte(nullptr, kPrefShowAssign, ShowsAssignments() ? 0 : 1);
        return LMessage();
    }
    if (msg.Is(LPane_Pref) && msg.sender == fPanes) {
        if (Window())
            FitWindowToLayout();
        else
            UpdateLayout();
        return LMessage();
    }
    return LFrame::Handle(msg);
}

void OutputAdjustWindow::PrefsObserver(void* self, const SRecordEvent* event) {
    static_cast<OutputAdjustWindow*>(self)->OnPrefsChange(*event);
}

void OutputAdjustWindow::OnPrefsChange(const SRecordEvent& event) {
    const CRecord* record = event.record.Get();
    if (!record || !fPanes) return;
    if (event.kind == SRecordEvent::kValueChanged && fPrefs && record == fPrefs->Root() &&
        event.field == kPrefShowAssign) {
        Build();
        if (Window())
            FitWindowToLayout();
        else
            UpdateLayout();
        return;
    }
    if (event.kind != SRecordEvent::kValueChanged && event.kind != SRecordEvent::kInserted &&
        event.kind != SRecordEvent::kRemoved)
        return;
    if (event.kind == SRecordEvent::kValueChanged && event.field == T::kInptValue &&
        record->Parent() == Unit()) {
        if (CInParamPane* pane = fPanes->FindPane(fPanes->UnitId(), record->GetString(T::kInptKey)))
            pane->SetValueText(record->GetString(T::kInptValue));
        return;
    }
    if (record != Unit()) RefreshAssignment(record);
}

void OutputAdjustWindow::OscControlList(std::vector<COutAdjustControls::OscControl>& out) const {
    fControls.OscControlList(Unit(), out);
}
