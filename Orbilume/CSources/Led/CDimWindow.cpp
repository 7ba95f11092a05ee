#include "Orbilume/CSources/Led/CDimWindow.h"

#include <cmath>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/CHeaderFrame.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LListNavi.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LTextStyle.h"
#include "Orbilume/CSources/Led/CDimDeviceList.h"
#include "Orbilume/CSources/Led/CDimLayoutView.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Led/UDimPrefs.h"
#include "Platform/Foundation/Check.h"

using T = CDimTypes;

namespace {

void LayOut(LFrame* frame, const char* name) {
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(name), layout)) frame->SetLayout(layout, LFrame::kDescriptionMode);
}

}  // namespace

LFrameSpec CDimWindow::MakeSpec() {
    auto* menus = new LOwningMenuBar(nullptr, SRsrcRequest(kMenuBarName));
    return LFrameSpec(LFrameSpec::kDocument, CMacWindowKindH(new CMacWinKind(int32_t(kWindowKind))), menus);
}

CDimWindow::CDimWindow(LHandler* upper, LPane* owner, const LFrameSpec& spec, const SDimWindowSources& sources)
    : LFrame(upper, owner, spec), fSources(sources) {
    PLAT_DCHECK_MAIN_THREAD();
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    // Panes in layout order: 1 header, 2 layout view, 3 column header, 4 output check box, 5 the
    // list's navigator.
    fHeader = new LFrame(this, this);
    fLabel = new LTextPane(fHeader, 0);
    fLabel->SetTextStyle(LTextStyleH(2));
    fLabel->SetText(strings.GetString(1));
    fDivision = new CNumVol(fHeader, 0, 0);
    fDivision->SetRange(1, 500, 1);
    LayOut(fHeader, kHeaderName);
    fView = new CDimLayoutView(this, fSources.dims, fSources.defs, fSources.settingsHolder, fSources.settings);
    fView->ChangeState(kRingOutsideOp);
    fView->ChangeState(kClickFocusOn);
    fColumns = new CHeaderFrame(this, this, CHeaderFrame::kLeft, false, true);
    fOutput = new LStdCheck(this, LStdCtlSpec());
    fOutput->SetTitle(strings.GetString(2));
    fNavi = new LListNavi(this, LListNavi::kVerticalBar, 1);
    fList = new CDimDeviceList(fNavi, fSources.settingsHolder, fSources.settings, fSources.dims, fSources.defs,
                               fColumns, fSources.library);
    fNavi->SetListPane(fList);
    if (fSources.usb) (void)fList->WatchUsb(fSources.usb);  // without hot-plug, the pop-ups list what is attached
    SetBackground(LColor::System(1));
    SetWindowTitle(strings.GetString(0));
    LayOut(this, kName);
    if (Window()) {
        CLRect place;
        if (fSources.settings && UDimPrefs::GetWinPlace(fSources.settings, place))
            SetWindowFrame(place);
        else
            FitWindowToLayout();
    }
    RefreshHeader();
    if (fSources.settingsHolder) (void)fSources.settingsHolder->AddObserver(this, &SettingsChanged);
    if (fSources.dims) (void)fSources.dims->AddObserver(this, &DimsChanged);
}

CDimWindow::~CDimWindow() {
    if (fSources.dims) (void)fSources.dims->RemoveObserver(this, &DimsChanged);
    if (fSources.settingsHolder) (void)fSources.settingsHolder->RemoveObserver(this, &SettingsChanged);
    if (Window() && fSources.settings) UDimPrefs::SetWinPlace(fSources.settings, GetWindowRect());
}

LString CDimWindow::TitleFor(const LString& fileName, const LString& suffix) {
    std::string s(fileName.CStr(), fileName.Length());
    if (!s.empty()) s += " -";
    s.append(suffix.CStr(), suffix.Length());
    return LString(s.data(), uint32_t(s.size()));
}

void CDimWindow::SetTitleFor(const LString& fileName) {
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    SetWindowTitle(TitleFor(fileName, strings.GetString(0)));
}

void CDimWindow::RefreshHeader() {
    const CRecord* dims = fSources.dims ? fSources.dims->Root() : nullptr;
    if (dims) {
        fDivision->SetReadOnly(dims->GetByte(T::kDimsAutoDivision) != 0);
        fDivision->SetValue(float(dims->GetUInt(T::kDimsDivision)));
    }
    if (fSources.settings) fOutput->SetValue(UDimPrefs::GetUse(fSources.settings) ? 1 : 0);
}

LMessage CDimWindow::Handle(const LMessage& msg) {
    if (msg.Is(LStdCheck_Change) && msg.sender == fOutput) {
        if (fSources.settings) UDimPrefs::SetUse(fSources.settings, fOutput->GetValue());
        return LMessage();
    }
    if (msg.Is(CNumVol_Fix) && msg.sender == fDivision) {
        const float v = fDivision->GetValue();
        if (fSources.dims && fSources.dims->Root() && std::isfinite(v)) {
            const float clamped = v < 1 ? 1 : (v > 500 ? 500 : v);
            fSources.dims->RootRef().SetUInt(nullptr, T::kDimsDivision, uint32_t(clamped));
        }
        return LMessage();
    }
    return LFrame::Handle(msg);
}

void CDimWindow::SettingsChanged(void* self, const SRecordEvent* e) {
    auto* w = static_cast<CDimWindow*>(self);
    const CRecord* set = w->fSources.settings.Get();
    if (set && e->record.HasAncestor(set)) w->RefreshHeader();
}

void CDimWindow::DimsChanged(void* self, const SRecordEvent* e) {
    auto* w = static_cast<CDimWindow*>(self);
    const CRecord* r = e->record.Get();
    if (r && r == (w->fSources.dims ? w->fSources.dims->Root() : nullptr) &&
        (e->field == T::kDimsDivision || e->field == T::kDimsAutoDivision))
        w->RefreshHeader();
}
