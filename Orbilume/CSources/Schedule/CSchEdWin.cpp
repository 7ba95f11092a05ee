#include "Orbilume/CSources/Schedule/CSchEdWin.h"

#include "Common/ObjC/CMacWindowKind.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/CHeaderFrame.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LListNavi.h"
#include "Lib3/LSources/CoreUI/LListPane.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/USchedule.h"
#include "Orbilume/CSources/Schedule/CSchCtl.h"
#include "Orbilume/CSources/Schedule/CSchEntryList.h"
#include "Orbilume/CSources/Schedule/CSchLink.h"
#include "Orbilume/CSources/Schedule/CSchPrdList.h"
#include "Orbilume/CSources/Schedule/CSchPrmFrame.h"
#include "Orbilume/CSources/Schedule/CSchTestWin.h"
#include "Orbilume/CSources/Schedule/USchEdit.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

constexpr const char* kCmdAddEvent = "CSchEdWin_AddEvent";
constexpr const char* kCmdAddPeriod = "CSchEdWin_AddPeriod";
constexpr const char* kCmdTest = "CSchEdWin_Test";
constexpr int32_t kDocumentWindowKind = 0;
constexpr int32_t kTestPanelKind = 1;
constexpr const char* kEditFrame = "QLTSCHEDIT";
constexpr const char* kDetailFrame = "QLTSCHFLTF";
constexpr const char* kListHeader = "QLTSCHLIST";
// Where a row's fire button, name and command stand (as the row's layout places them).
constexpr int32_t kCellMargin = 2, kMarkerWidth = 14, kCellGap = 6, kCommandWidth = 110;

void LayOutFrame(LFrame* frame, const char* name) {
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(name), layout)) frame->SetLayout(layout, LFrame::kDescriptionMode);
}

// A pane's left edge in window content coordinates.
int32_t ContentLeft(LPane* pane) {
    return pane->GetOriginIn(nullptr).x + pane->Bounds().left;
}

LHandler* MakeWindow(CSchCtl* runner, CSchLink* link) {
    auto* menus = new LOwningMenuBar(nullptr, SRsrcRequest(CSchEdWin::kMenuBarName));
    const LFrameSpec spec(LFrameSpec::kDocument, CMacWindowKindH(new CMacWinKind(kDocumentWindowKind)),
                          menus);
    return new CSchEdWin(runner, nullptr, link, runner->Model(), spec);
}

void ShowWindow(LHandler* editor) {
    static_cast<CSchEdWin*>(editor)->ShowWindow();
}

const CSchCtl::EditorFactory kFactory{MakeWindow, ShowWindow};

}  // namespace

void CSchEdWin::InstallAsEditor() {
    CSchCtl::SetEditorFactory(&kFactory);
}

CSchEdWin::CSchEdWin(LHandler* upper, LPane* owner, CSchLink* link, CRecordHolder* holder,
                     const LFrameSpec& spec)
    : LFrame(upper, owner, spec), fLink(link) {
    PLAT_DCHECK_MAIN_THREAD();
    // The window holds the edit frame: 1 the header, 2 the entry list's navigator, 3 the detail
    // frame with 1 the conditions and 2 the periods' navigator.
    auto* edit = new LFrame(this, this);
    fHeader = new CHeaderFrame(this, edit, CHeaderFrame::kLeft, false, true);
    const LStrListRsrcH titles{SRsrcRequest(kListHeader)};
    for (uint32_t i = 0; i < 2; ++i) (void)fHeader->AddItem(titles.GetString(i), LTextStyleH());
    (void)fHeader->AddItem(link->HeaderText(), LTextStyleH());
    fHeader->SetPlaceListener(this);
    fListNavi = new LListNavi(edit, LListNavi::kVerticalBar, 1);
    fList = new CSchEntryList(fListNavi, link, holder);
    fListNavi->SetListPane(fList);
    auto* detail = new LFrame(this, edit);
    fConditions = new CSchPrmFrame(this, detail, holder);
    fPeriodNavi = new LListNavi(detail, LListNavi::kVerticalBar, 1);
    fPeriods = new CSchPrdList(fPeriodNavi, holder);
    fPeriodNavi->SetListPane(fPeriods);
    LayOutFrame(detail, kDetailFrame);
    LayOutFrame(edit, kEditFrame);
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    SetWindowTitle(strings.GetString(0));
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    if (!Window()) return;
    FitWindowToLayout();
    CLRect place;
    if (USchEdit::ReadPlace(fLink->Settings(), kPlaceKey, place)) SetWindowFrame(place);
}

CSchEdWin::~CSchEdWin() {
    if (Window()) USchEdit::StorePlace(fLink->Settings().Get(), kPlaceKey, GetWindowFrame());
    if (fTest && fTest->Window())
        USchEdit::StorePlace(fLink->Settings().Get(), kTestPlaceKey, fTest->GetWindowFrame());
    delete fTest;
}

void CSchEdWin::OpenTest() {
    if (!fTest) {
        if (Window()) {
            const LFrameSpec spec(LFrameSpec::kFloating,
                                  CMacWindowKindH(new CMacPanelKind(kTestPanelKind, 0)));
            fTest = new CSchTestWin(this, nullptr, spec);
            fTest->FitWindowToLayout();
            CLRect place;
            if (USchEdit::ReadPlace(fLink->Settings(), kTestPlaceKey, place)) fTest->SetWindowFrame(place);
        } else {
            fTest = new CSchTestWin(this, this);  // a frame without window of its own
        }
    }
    fTest->ShowWindow();
    SetTestDateTime(fTest->DateTime());
}

void CSchEdWin::PlaceHeader() {
    // The titles stand over the fire buttons, the names and the commands of the rows.
    if (!fList || !fHeader) return;
    auto* cell = static_cast<CSchEntryCell*>(fList->GetPrototypeCell());
    LPanePort port(fHeader);
    LDrawContext ctx(port);
    const int32_t fire = cell ? cell->FireButton()->PreferredWidth(ctx, 0) : 0;
    const int32_t x = ContentLeft(fList) - ContentLeft(fHeader);
    const int32_t at[3] = {kCellMargin + kMarkerWidth + kCellGap,
                           kCellMargin + kMarkerWidth + kCellGap + fire + kCellGap,
                           fList->CellWidth() - kCellMargin - kCommandWidth};
    for (int32_t i = 0; i < 3; ++i) fHeader->PlaceItem(i, x + at[i], CHeaderFrame::kLeft, ctx);
}

void CSchEdWin::SetTestDateTime(const SchDateTime& dt) {
    fList->SetTestDateTime(dt);
}

void CSchEdWin::ClearTestDateTime() {
    fList->ClearTestDateTime();
}

void CSchEdWin::ShowSelected() {
    const CRgn& selection = fList->Selection();
    CRecord* entry = nullptr;
    for (int32_t row = 0; row < fList->Rows() && !entry; ++row)
        if (fList->IsSelected({0, row})) entry = fList->EntryAt(row);
    (void)selection;
    fConditions->Show(entry);
    fPeriods->Show(entry);
}

void CSchEdWin::AddEvent() {
    SSchRequest request;
    request.operation = CSchLink::kAddEntry;
    request.index = 0;
    request.editor = this;
    fLink->Request(request);
    if (fList->Rows() == 0) return;
    fList->SelectCell({0, 0});
    fList->RevealCell({0, 0});
    ShowSelected();
}

void CSchEdWin::AddPeriod() {
    CRecord* entry = fConditions->Entry();
    if (!entry) return;
    const int32_t row = USchedule::AppendPeriod(CRecordRef(&entry), this, USchedule::NewPeriod());
    if (row < 0 || row >= fPeriods->Rows()) return;
    fPeriods->SelectCell({0, row});
    fPeriods->RevealCell({0, row});
}

LMessage CSchEdWin::Handle(const LMessage& msg) {
    if (msg.Is(LMenuBar_Ready) && msg.sender) {
        auto* bar = static_cast<LMenuBar*>(msg.sender);
        bar->EnableCommand(kCmdAddEvent);
        bar->EnableCommand(kCmdTest);
        if (fConditions && fConditions->Entry()) bar->EnableCommand(kCmdAddPeriod);
    }
    if (msg.Is(LMenuItem_Selected) && msg.sender) {
        auto* item = static_cast<LMenuItem*>(msg.sender);
        if (item->HasCommand(kCmdAddEvent)) {
            AddEvent();
            return LMessage();
        }
        if (item->HasCommand(kCmdAddPeriod)) {
            AddPeriod();
            return LMessage();
        }
        if (item->HasCommand(kCmdTest)) {
            OpenTest();
            return LMessage();
        }
    }
    if ((msg.Is(CHeaderFrame_Place) && fHeader && msg.sender == fHeader) ||
        (msg.Is(CSchEntryList_Resized) && fList && msg.sender == fList)) {
        PlaceHeader();
        return LMessage();
    }
    if (msg.Is(CSchTestWin_Change) && fTest && msg.sender == fTest) {
        SetTestDateTime(fTest->DateTime());
        return LMessage();
    }
    if (msg.Is(LFrame_Close) && fTest && msg.sender == fTest) {
        fTest->HideWindow();
        ClearTestDateTime();
        return LMessage();
    }
    if (msg.Is(LListPane_SelChange) && fList && msg.sender == fList) {
        ShowSelected();
        return LMessage();
    }
    return LFrame::Handle(msg);
}
