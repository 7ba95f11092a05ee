#include "Orbilume/CSources/Editors/CStartupWin.h"

#include <string>

#include "Common/ObjC/CMacWindowKind.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/LImagePane.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LRsrcImage.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LTextStyle.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Platform/AppKit/Screen.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/URLOpener.h"

namespace {

constexpr int32_t kPercents[CStartupWin::kTextCount] = {400, 200, 300, 200, 300};

uint32_t RealNow(void*) {
    return LTimer::Now();
}
void RealSleep(void*, uint32_t ms) {
    MillisecondWait(ms);
}
const CStartupWin::Clock kRealClock{&RealNow, &RealSleep, nullptr};
const CStartupWin::Clock* gClock = &kRealClock;

void LayOut(LFrame* frame, const char* name) {
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(name), layout)) frame->SetLayout(layout, LFrame::kDescriptionMode);
}

void Show(LPane* pane, bool shown) {
    pane->ChangeState(shown ? LPane::kShow : LPane::kHide);
}

}  // namespace

void CStartupWin::SetClock(const Clock* clock) {
    gClock = clock ? clock : &kRealClock;
}

LFrameSpec CStartupWin::DefaultSpec() {
    return LFrameSpec(LFrameSpec::kDocument, CMacWindowKindH(new CMacWinKind(5)));
}

CStartupWin::CStartupWin(LHandler* upper) : LDialog(upper, nullptr, DefaultSpec()) {
    PLAT_DCHECK_MAIN_THREAD();
    // Children in layout order: 1 a spacer, 2 the image, 3-7 the texts.
    fSpacer = new LPane(this, this);
    fImage = new LImagePane(this);
    fImage->SetImage(LImageH(new LRsrcImage(SRsrcRequest("APP"))));
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    for (uint32_t i = 0; i < kTextCount; ++i) {
        fTexts[i] = new LTextPane(this, 0);
        (void)fTexts[i]->SetTextStyle(LTextStyleH(LTextStyleData::kSystem, 0, 0, 0, kPercents[i]));
        fTexts[i]->SetAlignment(LTextBox::kCenter);
    }
    for (uint32_t i = 1; i <= 3; ++i) (void)fTexts[i]->SetText(strings.GetString(i));
    // A splash shows no menu strip.
    if (Window() && Window()->NativeWindow()) Window()->NativeWindow()->SetHasMenuStrip(false);
    LayOut(this, kName);
}

void CStartupWin::Show() {
    PLAT_DCHECK_MAIN_THREAD();
    ::Show(fTexts[3], !fTexts[4]->Text().IsEmpty());
    if (Window()) {
        FitWindowToLayout();
        plat::Screen screen;
        LWindowServices* services = LWindowServices::Get();
        if (services && plat::FirstScreen(&screen)) {
            const plat::Rect& v = screen.visibleFrame;
            const CLRect now = services->ContentRect(Window());
            const int32_t w = now.Width(), h = now.Height();
            const int32_t left = int32_t(v.x) + (int32_t(v.width) - w) / 2;
            const int32_t top = int32_t(v.y) + (int32_t(v.height) - h) / 2;
            SetWindowFrame({left, top, left + w, top + h});
        }
        ShowWindow();
        UpdateNow();
    }
    fStart = gClock->nowMs(gClock->context);
}

void CStartupWin::HoldFor(uint32_t seconds) {
    const uint32_t held = gClock->nowMs(gClock->context) - fStart;
    const uint64_t wanted = uint64_t(seconds) * 1000;
    if (held < wanted) gClock->sleepMs(gClock->context, uint32_t(wanted - held));
}

// About box.

LFrameSpec CAboutDialog::DefaultSpec() {
    return LFrameSpec(LFrameSpec::kModal, CMacWindowKindH(new CMacWinKind(0)));
}

std::string CAboutDialog::BundleVersion() {
    return plat::BundleInfoValue(plat::MainBundlePath(), plat::kBundleVersionKey);
}

CAboutDialog::CAboutDialog(LHandler* upper, const LFrameSpec& spec, const LString& linkTarget,
                           const std::string& version)
    : LModalDialog(upper, nullptr, spec), fTarget(linkTarget) {
    PLAT_DCHECK_MAIN_THREAD();
    // Children in layout order: 1 OK, 2 link, 3 main text, 4 image, 5 version, 6 note.
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    fOk = new LStdButton(this, LStdCtlSpec());
    fLink = new LStdButton(this, LStdCtlSpec());
    fText = new LTextPane(this, LTextBox::kWrapped);
    fImage = new LImagePane(this);
    fVersion = new LTextPane(this, 0);
    fNote = new LTextPane(this, LTextBox::kWrapped);
    SetWindowTitle(strings.GetString(0));
    fOk->SetTitle(strings.GetString(1));
    fLink->SetTitle(strings.GetString(2));
    (void)fText->SetTextStyle(LTextStyleH(LTextStyleData::kSmallSystem));
    (void)fText->SetText(strings.GetString(3));
    fImage->SetImage(LImageH(new LRsrcImage(SRsrcRequest("APP"))));
    const LString note = strings.GetString(6);
    (void)fNote->SetTextStyle(LTextStyleH(LTextStyleData::kSystem, 0, 0, 0, 200));
    (void)fNote->SetText(note);
    ::Show(fNote, !note.IsEmpty());
    if (fTarget.IsEmpty()) fTarget = strings.GetString(4);
    ::Show(fLink, !fTarget.IsEmpty());
    (void)fVersion->SetTextStyle(LTextStyleH(LTextStyleData::kSmallSystem));
    if (!version.empty()) {
        const LString prefix = strings.GetString(5);
        std::string text(prefix.CStr(), prefix.Length());
        text += version;
        (void)fVersion->SetText(LString(text.data(), uint32_t(text.size())));
    }
    ::Show(fVersion, !version.empty());
    SetDefaultButton(fOk);
    SetCancelButton(fOk);
    LayOut(this, kName);
}

LMessage CAboutDialog::Handle(const LMessage& msg) {
    if (msg.Is(LStdCtl_Selected) && msg.sender == fLink) {
        if (!fTarget.IsEmpty()) (void)plat::OpenURL(std::string(fTarget.CStr(), fTarget.Length()));
        return LMessage();
    }
    return LModalDialog::Handle(msg);
}

void CAboutDialog::Run(LHandler* root) {
    CAboutDialog box(root, DefaultSpec(), LString(), BundleVersion());
    box.FitWindowToLayout();
    (void)box.RunUntilResult();
    box.HideWindow();
}
