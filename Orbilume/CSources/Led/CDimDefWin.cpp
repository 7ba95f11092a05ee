#include "Orbilume/CSources/Led/CDimDefWin.h"

#include <string>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CNumVol.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreData/SFieldDesc.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LListNavi.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdCtl.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Orbilume/CSources/Led/CDIMDefSel.h"
#include "Orbilume/CSources/Led/CDimDefLibrary.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Led/UDimDefRows.h"
#include "Orbilume/CSources/Led/UDimPrefs.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDimTypes;

constexpr int32_t kDocumentWindowKind = 6;
enum : uint32_t { kTitle = 0, kFirstLabel = 1, kFirstComposition = 7, kCompositions = 4 };

void LayOut(LFrame* frame, const char* name) {
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(name), layout)) frame->SetLayout(layout, LFrame::kDescriptionMode);
}

LString Text(const std::string& s) {
    return LString(s.data(), static_cast<uint32_t>(s.size()));
}

}  // namespace

// ---- cells

CDimDotCell::CDimDotCell(CDimDefWin* window, LPane* owner) : CTabFocusPane(owner, owner), fWindow(window) {
    fKnob = new CNumVol(this, 0, 0);
    fKnob->SetRange(0, UDimDefEdits::kMaxDots, 1);
    LayOut(this, kName);
}

void CDimDotCell::Bind(const CLPoint& at) {
    fCell = at;
    fKnob->SetValue(float(UDimDefEdits::DotCell(fWindow->ShownDefinition(), uint32_t(at.x), uint32_t(at.y))));
}

LMessage CDimDotCell::Handle(const LMessage& msg) {
    if (msg.Is(CNumVol_Fix) && msg.sender == fKnob && fCell.x >= 0 && fCell.y >= 0) {
        (void)UDimDefEdits::SetDotCell(fWindow->Editor(), fWindow->DefRef(), uint32_t(fCell.x), uint32_t(fCell.y),
                                       fKnob->GetValue());
        return LMessage();
    }
    return CTabFocusPane::Handle(msg);
}

CDimDotGrid::CDimDotGrid(LPane* owner, CDimDefWin* window)
    : CCellGridPane(owner, kSelectNone, false, false), fWindow(window) {}

CDimDotGrid::~CDimDotGrid() {
    SetGridSize(0, 0);
}

CTabFocusPane* CDimDotGrid::CreateCellPane() {
    return new CDimDotCell(fWindow, this);
}

bool CDimDotGrid::BindCell(LPane* pane, const CLPoint& cell) {
    if (!fWindow->ShownDefinition() || cell.x < 0 || cell.y < 0) return false;
    static_cast<CDimDotCell*>(pane)->Bind(cell);
    return true;
}

void CDimDotGrid::Rebuild() {
    const CRecord* def = fWindow->ShownDefinition();
    ResetFocusRecords();
    SetGridSize(def ? int32_t(def->GetUInt(T::kDidfColumns)) : 0, def ? int32_t(def->GetUInt(T::kDidfRows)) : 0);
    RefreshAllCells();
}

CDimChHandle::CDimChHandle(LPane* owner) : LPane(owner, owner) {}

LScrapType CDimChHandle::DragType() {
    return LScrapType{LString("com.orbilume.dimchannel"), Fcc("DMCH")};
}

CDimDragTracker& CDimChHandle::Tracker() {
    // Made once the row sits in its window (the drop target is the window).
    if (!fTracker) fTracker = std::make_unique<CDimDragTracker>(this);
    return *fTracker;
}

LMessage CDimChHandle::Handle(const LMessage& msg) {
    LMouse* mouse = LMouse::Get();
    if (msg.Is(LMouse_Click) && mouse && msg.sender == mouse) {
        Tracker().StartDrag(DragType());
        return LMessage();
    }
    if (fTracker) {
        LMessage reply;
        // A drop of a row changes nothing in the table.
        if (fTracker->Dispatch(msg, &reply) != CDimDragTracker::kNone) return reply;
    }
    return LPane::Handle(msg);
}

CDimChCell::CDimChCell(CDimDefWin* window, LPane* owner) : CTabFocusPane(owner, owner), fWindow(window) {
    // Panes in layout order: 1 number, 2 value, 3 handle.
    fNumber = new LTextPane(this, 0);
    fValue = new LEditText(this, LEditText::kSingleLine, 0);
    fHandle = new CDimChHandle(this);
    LayOut(this, kName);
}

void CDimChCell::Bind(int32_t row) {
    fRow = row;
    const CRecord* def = fWindow->ShownDefinition();
    (void)fNumber->SetText(Text(std::to_string(UDimDefRows::ChannelNumber(def, uint32_t(row)))));
    fValue->SetText(Text(UDimDefRows::ValueText(def, uint32_t(row))));
    fHandle->ChangeState(UDimDefRows::HandleOperation(def, uint32_t(row)));
}

LMessage CDimChCell::Handle(const LMessage& msg) {
    if (msg.Is(LEditText_Change) && msg.sender == fValue && fRow >= 0) {
        const LString text = fValue->GetText();
        // While the user types, the row keeps its editor: it is not rebound under the keystroke.
        if (fValue->Editor()) fWindow->fTypingRow = fRow;
        (void)UDimDefEdits::SetChannelText(fWindow->Editor(), fWindow->DefRef(), uint32_t(fRow),
                                           std::string_view(text.CStr(), text.Length()));
        fWindow->fTypingRow = -1;
        return LMessage();
    }
    if (msg.Is(LEditText_Unfocused) && msg.sender == fValue && fRow >= 0)
        Bind(fRow);  // the stored value as the list shows it ("g" typed shows "G")
    return CTabFocusPane::Handle(msg);
}

CDimChList::CDimChList(LPane* owner, CDimDefWin* window)
    : CCellGridPane(owner, kSelectNone, false, false), fWindow(window) {}

CDimChList::~CDimChList() {
    SetGridSize(0, 0);
}

CTabFocusPane* CDimChList::CreateCellPane() {
    return new CDimChCell(fWindow, this);
}

bool CDimChList::BindCell(LPane* pane, const CLPoint& cell) {
    if (!fAttached || cell.x != 0 || cell.y < 0 || cell.y >= Rows()) return false;
    static_cast<CDimChCell*>(pane)->Bind(cell.y);
    return true;
}

void CDimChList::Rebuild(bool attached) {
    const CRecord* def = fWindow->ShownDefinition();
    fAttached = attached && def;
    ResetFocusRecords();
    SetGridSize(1, fAttached ? int32_t(UDimDefRows::Count(def)) : 0);
    RefreshAllCells();
}

// ---- the window

CDimDefWin::CDimDefWin(LHandler* upper, LPane* owner, LHandler* editor, CDimDefStore* store,
                       CDimDefLibrary* library, CRecordRef settings, const LFrameSpec& spec)
    : LFrame(upper, owner, spec), fEditor(editor), fStore(store), fSettings(settings), fWatch(store) {
    PLAT_DCHECK_MAIN_THREAD();
    SetBackground(LColor::System(1));
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    // Panes in layout order: 1 name, 2 parameter frame, 3 channel-set frame, 4 dot grid, 5 channel list.
    fNameSel = new CDIMDefSel(this, library);
    fParams = new LFrame(this, this);
    fChannels = new LFrame(this, this);
    // Each frame: label, knob, label, knob, label, knob or pop-up.
    auto label = [&](LFrame* frame, uint32_t n) { (void)(new LTextPane(frame, 0))->SetText(strings.GetString(n)); };
    label(fParams, kFirstLabel);
    fKnobs[kAcross] = new CNumVol(fParams, 0, 0);
    label(fParams, kFirstLabel + 1);
    fKnobs[kDown] = new CNumVol(fParams, 0, 0);
    label(fParams, kFirstLabel + 2);
    fComposition = new LPopupList(fParams, LStdCtlSpec());
    for (uint32_t i = 0; i < kCompositions; ++i) fComposition->AddItem(strings.GetString(kFirstComposition + i));
    label(fChannels, kFirstLabel + 3);
    fKnobs[kPrefix] = new CNumVol(fChannels, 0, 0);
    label(fChannels, kFirstLabel + 4);
    fKnobs[kPerDot] = new CNumVol(fChannels, 0, 0);
    label(fChannels, kFirstLabel + 5);
    fKnobs[kSuffix] = new CNumVol(fChannels, 0, 0);
    for (uint32_t i = kAcross; i <= kDown; ++i) fKnobs[i]->SetRange(1, UDimDefEdits::kMaxDots, 1);
    for (uint32_t i = kPrefix; i <= kSuffix; ++i) fKnobs[i]->SetRange(0, UDimDefEdits::kMaxCount, 1);
    fDotNavi = new LListNavi(this, LListNavi::kVerticalBar | LListNavi::kHorizontalBar, 1);
    fDots = new CDimDotGrid(fDotNavi, this);
    fDotNavi->SetListPane(fDots);
    fListNavi = new LListNavi(this, LListNavi::kVerticalBar, 1);
    fList = new CDimChList(fListNavi, this);
    fListNavi->SetListPane(fList);
    LayOut(fParams, kParamFrame);
    LayOut(fChannels, kChannelFrame);
    SetWindowTitle(strings.GetString(kTitle));
    LayOut(this, kName);
    fWatch.onChange = [this](const SRecordEvent& event) { OnChange(event); };
    if (Window()) {
        FitWindowToLayout();
        CLRect place;
        if (fSettings && UDimPrefs::GetDefWinPlace(fSettings, place) && place.left < place.right &&
            place.top < place.bottom)
            SetWindowFrame(place);
    }
    ShowDefinition(nullptr);
}

CDimDefWin::~CDimDefWin() {
    fWatch.onChange = nullptr;
    // The rows go while the window is whole: a row losing its editor reads the shown definition.
    fList->SetGridSize(0, 0);
    if (Window() && fSettings) UDimPrefs::SetDefWinPlace(fSettings, GetWindowFrame());
}

std::unique_ptr<CDimDefEditorView> CDimDefWin::Make(CDimDefEditorCtl& controller, CDimDefLibrary* library,
                                                    CRecordRef settings) {
    auto* menus = new LOwningMenuBar(nullptr, SRsrcRequest(kMenuBarName));
    const LFrameSpec spec(LFrameSpec::kDocument, CMacWindowKindH(new CMacWinKind(kDocumentWindowKind)), menus);
    return std::make_unique<CDimDefWin>(&controller, nullptr, &controller, controller.Store(), library, settings,
                                        spec);
}

LHandler* CDimDefWin::Selector() {
    return fNameSel;
}

CRecordRef CDimDefWin::DefRef() const {
    CRecord* def = fWatch.Shown();
    if (!def || !fStore) return CRecordRef();
    const LString& name = def->GetString(T::kDidfName);
    return fStore->RefOf(std::string_view(name.CStr(), name.Length()));
}

void CDimDefWin::ShowDefinition(CRecord* definition) {
    fWatch.Show(definition);
    Refresh();
}

void CDimDefWin::SetAreas(uint32_t op) {
    for (LPane* area : {static_cast<LPane*>(fParams), static_cast<LPane*>(fChannels), static_cast<LPane*>(fDotNavi),
                        static_cast<LPane*>(fListNavi)})
        area->ChangeState(op);
}

void CDimDefWin::RefreshFields() {
    fRefreshing = true;
    const CRecord* def = fWatch.Shown();
    if (!def) {
        (void)fNameSel->SetText(LString());
        ChangeState(kUnfocus);
        SetAreas(kLock);
        for (CNumVol* knob : fKnobs) knob->SetText(LString());
        fRefreshing = false;
        return;
    }
    (void)fNameSel->SetText(def->GetString(T::kDidfName));
    if (def->GetByte(T::kDidfUser) == 0) {
        ChangeState(kUnfocus);
        SetAreas(kLock);
    } else {
        SetAreas(kUnlock);
    }
    fKnobs[kAcross]->SetValue(float(def->GetUInt(T::kDidfColumns)));
    fKnobs[kDown]->SetValue(float(def->GetUInt(T::kDidfRows)));
    (void)fComposition->SetValue(def->GetByte(T::kDidfComposition));
    const UDimDefEdits::Panes panes = UDimDefEdits::Describe(def);
    for (uint32_t i = 0; i < 3; ++i) {
        CNumVol* knob = fKnobs[kPrefix + i];
        knob->SetValue(float(panes.counts[i]));
        knob->ChangeState(panes.countsEditable ? kEnable : kDisable);
    }
    fRefreshing = false;
}

void CDimDefWin::Refresh() {
    RefreshFields();
    fDots->Rebuild();
    fList->Rebuild(UDimDefEdits::Describe(fWatch.Shown()).listAttached);
}

void CDimDefWin::OnChange(const SRecordEvent& event) {
    const CRecord* def = fWatch.Shown();
    if (!def) {
        Refresh();
        return;
    }
    // A value typed into a channel row: the other rows show what they showed (padding entries
    // read "0" as rows past the end do), and the typing row shows its value when editing ends.
    if (fTypingRow >= 0 && event.field == T::kDidfChannels) return;
    const uint32_t field = event.field;
    if (field == T::kDidfDotOrder) {
        const uint32_t columns = def->GetUInt(T::kDidfColumns);
        if (event.kind == SRecordEvent::kValueChanged && event.index1 >= 0 && columns > 0)
            fDots->RefreshCell({int32_t(uint32_t(event.index1) % columns), int32_t(uint32_t(event.index1) / columns)});
        else
            fDots->RefreshAllCells();
        return;
    }
    RefreshFields();
    if (field == T::kDidfColumns || field == T::kDidfRows) {
        fDots->Rebuild();
        fList->Rebuild(UDimDefEdits::Describe(def).listAttached);
        return;
    }
    const bool attached = UDimDefEdits::Describe(def).listAttached;
    if (field == T::kDidfChannels && attached == fList->IsAttached() && attached) {
        const int32_t rows = int32_t(UDimDefRows::Count(def));
        if (event.kind == SRecordEvent::kInserted && fList->Rows() + 1 == rows) {
            fList->ResetFocusRecords();
            (void)fList->InsertRows(event.index1, 1);
            fList->RefreshAllCells();  // the numbers after it move
            return;
        }
        if (event.kind == SRecordEvent::kRemoved && fList->Rows() == rows + 1) {
            fList->ResetFocusRecords();
            fList->RemoveRows(event.index1, 1);
            fList->RefreshAllCells();
            return;
        }
        if (event.kind == SRecordEvent::kValueChanged && event.index1 >= 0 && fList->Rows() == rows) {
            fList->RefreshCell({0, event.index1});
            return;
        }
    }
    fList->Rebuild(attached);
}

LMessage CDimDefWin::Handle(const LMessage& msg) {
    if (!fList) return LFrame::Handle(msg);  // still being built
    if ((msg.Is(CNumVol_Fix) || msg.Is(CNumVol_Move)) && !fRefreshing) {
        const bool moving = msg.Is(CNumVol_Move);
        for (uint32_t i = 0; i < kKnobs; ++i) {
            if (msg.sender != fKnobs[i]) continue;
            CRecordRef ref = DefRef();
            if (!ref) return LMessage();
            const float v = fKnobs[i]->GetValue();
            if (i == kAcross || i == kDown) {
                (void)UDimDefEdits::SetGrid(fEditor, ref, i == kAcross ? T::kDidfColumns : T::kDidfRows, v, moving);
            } else if (!moving) {
                UDimDefEdits::SetCount(fEditor, ref, i - kPrefix, v);
                RefreshFields();  // a count the store refused shows its value again
            }
            return LMessage();
        }
    }
    if (msg.Is(LPopupList_Changed) && msg.sender == fComposition && !fRefreshing) {
        CRecordRef ref = DefRef();
        if (ref) (void)UDimDefEdits::SetComposition(fEditor, ref, fComposition->GetValue());
        return LMessage();
    }
    return LFrame::Handle(msg);
}
