#include "Orbilume/CSources/Editors/CUvAdWin.h"

#include "Common/ObjC/CMacWindowKind.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/CHeaderFrame.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LListNavi.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Orbilume/CSources/Editors/CMonitorWin.h"
#include "Orbilume/CSources/Editors/CUvAdList.h"
#include "Platform/Foundation/Check.h"

namespace {

// Where the columns start within a row (as "UVADCELL" places them): first universe, last, count
// and address, as fractions of the row's width.
constexpr int32_t kCellMargin = 4;

}  // namespace

LFrameSpec CUvAdWin::DefaultSpec() {
    auto* menus = new LOwningMenuBar(nullptr, SRsrcRequest(kMenuBarName));
    return LFrameSpec(LFrameSpec::kDocument, CMacWindowKindH(new CMacWinKind(0)), menus);
}

CUvAdWin::CUvAdWin(LHandler* upper, LPane* owner, const LFrameSpec& spec, CRecord* settings,
                   CRecordHolder* holder, CRecord* uvas)
    : LFrame(upper, owner, spec), fSettings(settings) {
    PLAT_DCHECK_MAIN_THREAD();
    SetBackground(LColor::System(1));
    // Panes in layout order: 1 header, 2 "+", 3 the list's navigator.
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    fHeader = new CHeaderFrame(this, this, CHeaderFrame::kLeft, false, true);
    for (uint32_t i = 1; i <= 3; ++i) (void)fHeader->AddItem(strings.GetString(i), LTextStyleH());
    fHeader->SetPlaceListener(this);
    fAdd = new LStdButton(this, LStdCtlSpec());
    fAdd->SetTitle(LString("+"));
    fNavi = new LListNavi(this, LListNavi::kVerticalBar, 1);
    fList = new CUvAdList(fNavi, holder, uvas);
    fNavi->SetListPane(fList);
    fList->SetHeader(fHeader);
    SetWindowTitle(strings.GetString(0));
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    if (!Window()) return;
    FitWindowToLayout();
    if (fSettings) {
        const CLRect place = CParamSet::GetRect(CRecordRef(&fSettings), LString(kPlaceKey));
        if (place.left < place.right && place.top < place.bottom && CMonitorWin::IsOnScreen(place))
            SetWindowFrame(place);
    }
}

CUvAdWin::~CUvAdWin() {
    if (Window() && fSettings) CParamSet::SetRect(fSettings, LString(kPlaceKey), GetWindowFrame());
    if (fList) fList->SetHeader(nullptr);
}

void CUvAdWin::PlaceHeader() {
    if (!fList || !fHeader) return;
    LPanePort port(fHeader);
    LDrawContext ctx(port);
    const int32_t x = fList->GetOriginIn(nullptr).x + fList->Bounds().left -
                      (fHeader->GetOriginIn(nullptr).x + fHeader->Bounds().left);
    const int32_t w = fList->Bounds().Width();
    // First universe, count, address: over the cell's columns.
    const int32_t at[3] = {kCellMargin, w * 45 / 100, w * 62 / 100};
    for (int32_t i = 0; i < 3; ++i) fHeader->PlaceItem(i, x + at[i], CHeaderFrame::kLeft, ctx);
}

LMessage CUvAdWin::Handle(const LMessage& msg) {
    if (msg.Is(CHeaderFrame_Place) && msg.sender == fHeader) {
        PlaceHeader();
        return LMessage();
    }
    if (msg.Is(LStdCtl_Selected) && msg.sender == fAdd) {
        (void)fList->AddRow();
        return LMessage();
    }
    return LFrame::Handle(msg);
}
