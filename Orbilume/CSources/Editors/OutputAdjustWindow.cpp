#include "Orbilume/CSources/Editors/OutputAdjustWindow.h"

#include <algorithm>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LWindowPlacer.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Editors/CMonitorWin.h"
#include "Orbilume/CSources/Engine/CCtlInDocBinder.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

constexpr int32_t kLabelWidth = 120;
constexpr int32_t kKnobWidth = 90;
constexpr int32_t kGap = 8;
constexpr uint32_t kDecimals = 3;
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

}  // namespace

// The value pane.

OutputAdjustValuePane::OutputAdjustValuePane(LHandler* upper, LPane* owner,
                                             const COutAdjustControls::Control& control)
    : LFrame(upper, owner), fKey(control.id) {
    fLabel = new LTextPane(this, 0);
    fLabel->SetText(control.name);
    fKnob = new CNumVol(this, kDecimals, 0);
    fKnob->SetRange(control.min, control.max, 0.001f);
}

LMessage OutputAdjustValuePane::Handle(const LMessage& msg) {
    if (msg.Is(CNumVol_Fix) && msg.sender == fKnob) {
        Dispatch(LMessage(kChange, this, Upper()));
        return LMessage();
    }
    return LFrame::Handle(msg);
}

LString OutputAdjustValuePane::ValueText() const {
    return fKnob->GetText();
}

void OutputAdjustValuePane::SetValueText(const LString& text) {
    if (fKnob->GetText() != text) fKnob->SetText(text);
}

void OutputAdjustValuePane::Place(int32_t width) {
    const int32_t h = OutputAdjustPanes::kRowHeight - 4;
    fLabel->SetBounds({0, 2, kLabelWidth, 2 + h});
    const int32_t right = std::max(kLabelWidth + kGap + kKnobWidth, width);
    fKnob->SetBounds({kLabelWidth + kGap, 2, std::min(right, kLabelWidth + kGap + kKnobWidth), 2 + h});
}

// The container.

OutputAdjustPanes::OutputAdjustPanes(LHandler* upper, LPane* owner)
    : LFrame(upper, owner), fNoteTarget(upper) {}

void OutputAdjustPanes::Build(const COutAdjustControls& controls, const CRecord* unit) {
    for (auto it = fPanes.rbegin(); it != fPanes.rend(); ++it) delete *it;
    fPanes.clear();
    for (const COutAdjustControls::Control& c : controls.Controls()) {
        if (!c.IsNumeric()) continue;
        auto* pane = new OutputAdjustValuePane(fNoteTarget, this, c);
        const CRecord* input = COutAdjustControls::FindInput(unit, c.id);
        pane->SetValueText(input ? input->GetString(T::kInptValue) : c.defaultText);
        fPanes.push_back(pane);
    }
    BoundsChanged(Bounds());
}

OutputAdjustValuePane* OutputAdjustPanes::Find(const LString& key) const {
    for (OutputAdjustValuePane* p : fPanes)
        if (p->Key() == key) return p;
    return nullptr;
}

int32_t OutputAdjustPanes::PreferredWidth(LDrawContext&, int32_t) {
    return kLabelWidth + kGap + kKnobWidth;
}

int32_t OutputAdjustPanes::PreferredHeight(LDrawContext&, int32_t) {
    return static_cast<int32_t>(fPanes.size()) * kRowHeight;
}

void OutputAdjustPanes::BoundsChanged(const CLRect& old) {
    LFrame::BoundsChanged(old);
    const int32_t width = Bounds().Width();
    int32_t y = 0;
    for (OutputAdjustValuePane* p : fPanes) {
        p->SetBounds({0, y, width, y + kRowHeight});
        p->Place(width);
        y += kRowHeight;
    }
}

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

    // Panes in layout order: 1 the defaults button, 2 the value panes.
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    fDefaults = new LStdButton(this, LStdCtlSpec());
    fDefaults->SetTitle(strings.GetString(kDefaultsTitle));
    fPanes = new OutputAdjustPanes(this, this);
    fPanes->Build(fControls, unit);
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

LMessage OutputAdjustWindow::Handle(const LMessage& msg) {
    if (msg.Is(OutputAdjustValuePane::kChange) && msg.sender) {
        auto* pane = static_cast<OutputAdjustValuePane*>(msg.sender);
        if (fPanes && fPanes->Find(pane->Key()) == pane) {
            CRecord* input = COutAdjustControls::FindInput(Unit(), pane->Key());
            if (input) (void)CRecordRef(&input).SetString(nullptr, T::kInptValue, pane->ValueText());
        }
        return LMessage();
    }
    if (msg.Is(LStdCtl_Selected) && msg.sender == fDefaults) {
        fControls.RestoreDefaults(Unit());
        return LMessage();
    }
    return LFrame::Handle(msg);
}

void OutputAdjustWindow::PrefsObserver(void* self, const SRecordEvent* event) {
    static_cast<OutputAdjustWindow*>(self)->OnPrefsChange(*event);
}

void OutputAdjustWindow::OnPrefsChange(const SRecordEvent& event) {
    if (event.kind != SRecordEvent::kValueChanged || event.field != T::kInptValue) return;
    const CRecord* input = event.record.Get();
    if (!input || input->Parent() != Unit() || !fPanes) return;
    if (OutputAdjustValuePane* pane = fPanes->Find(input->GetString(T::kInptKey)))
        pane->SetValueText(input->GetString(T::kInptValue));
}

void OutputAdjustWindow::OscControlList(std::vector<COutAdjustControls::OscControl>& out) const {
    fControls.OscControlList(Unit(), out);
}
