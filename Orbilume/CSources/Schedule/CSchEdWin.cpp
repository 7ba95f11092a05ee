#include "Orbilume/CSources/Schedule/CSchEdWin.h"

#include "Common/ObjC/CMacWindowKind.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LListPane.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
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
    // Panes in layout order: 1 the entry list, 2 the condition frame, 3 the period list.
    fList = new CSchEntryList(this, link, holder);
    fConditions = new CSchPrmFrame(this, this, holder);
    fPeriods = new CSchPrdList(this, holder);
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
