#include "Orbilume/CSources/SoundUI/CTcReaderWin.h"

#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Orbilume/CSources/SoundUI/CSoundInSel.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr const char* kName = "TCRCTLF";
enum : uint32_t {
    kTitle = 0,
    kThruTitle = 1,
    kGainLabel = 2,
    kTimeLabel = 3,
    kUseTitle = 4,
    kSoundInTitle = 5
};
constexpr uint32_t kLabelTextSize = 2;
constexpr uint32_t kTimeTextSize = 3;
constexpr const char* kCmdClose = "LStdCmd_Close";

}  // namespace

CTcReaderWin::CTcReaderWin(LHandler* upper, LPane* owner, LtcSource* source, LAsyncLoop* mainLoop,
                           const LFrameSpec& spec)
    : LFrame(upper, owner, spec), fMeterTimer(this) {
    PLAT_DCHECK_MAIN_THREAD();
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    // Children in layout order: panes 1..8.
    fMeter = new CLevelMeter(this);
    fGainLabel = new LTextPane(this, 0);
    fGain = new CSlider(this, LStdCtlSpec());
    fThru = new LStdCheck(this, LStdCtlSpec());
    fTimeLabel = new LTextPane(this, 0);
    fTime = new LTextPane(this, 0);
    fUse = new CStateButton(this, LStdCtlSpec());
    fSoundIn = new CStateButton(this, LStdCtlSpec());

    SetWindowTitle(strings.GetString(kTitle));
    fThru->SetTitle(strings.GetString(kThruTitle));
    fUse->SetTitle(strings.GetString(kUseTitle));
    fSoundIn->SetTitle(strings.GetString(kSoundInTitle));
    fGainLabel->SetTextStyle(LTextStyleH(kLabelTextSize));
    fTimeLabel->SetTextStyle(LTextStyleH(kLabelTextSize));
    fTime->SetTextStyle(LTextStyleH(kTimeTextSize));
    fGainLabel->SetText(strings.GetString(kGainLabel));
    fTimeLabel->SetText(strings.GetString(kTimeLabel));
    fTime->SetText(LString("00:00:00:00"));
    fGain->SetRange(CTcReader::kGainMin, CTcReader::kGainMax);
    fGain->SetValue(0);
    CTcReader::SetUpMeter(*fMeter);

    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    fReader = std::make_unique<CTcReader>(source, mainLoop, this);
}

CTcReaderWin::~CTcReaderWin() {
    fMeterTimer.Stop();
    fReader.reset();  // removes the listener before the panes go
}

LMessage CTcReaderWin::Handle(const LMessage& msg) {
    if (msg.Is(CSlider_Change) && msg.sender == fGain) {
        fReader->OnGainChanged(fGain->GetValue());
        return LMessage();
    }
    if (msg.Is(LStdCheck_Change) && msg.sender == fThru) {
        fReader->OnThruChanged(fThru->GetValue());
        return LMessage();
    }
    if (msg.Is(LStdCtl_Selected) && msg.sender == fUse) {
        fReader->OnUsePressed();
        return LMessage();
    }
    if (msg.Is(LStdCtl_Selected) && msg.sender == fSoundIn) {
        fReader->OnSoundInputPressed();
        return LMessage();
    }
    if (msg.Is(LTimer_Expire) && msg.sender == &fMeterTimer) {
        fReader->OnMeterTimer();
        return LMessage();
    }
    // Close in the menu hides the window while it exists, as its close box does.
    if (msg.Is(LMenuBar_Ready) && msg.sender && Window())
        static_cast<LMenuBar*>(msg.sender)->EnableCommand(kCmdClose);  // and on up the chain
    if (msg.Is(LMenuItem_Selected) && msg.sender && Window() &&
        static_cast<LMenuItem*>(msg.sender)->HasCommand(kCmdClose)) {
        ShowWindow(false);
        return LMessage();
    }
    if (msg.Is(LFrame_Close) && msg.sender == this) {
        ShowWindow(false);
        return LMessage();
    }
    return LFrame::Handle(msg);
}

void CTcReaderWin::ShowTime(const std::string& text) {
    fTime->SetText(LString(text.c_str()));
}

void CTcReaderWin::SetMeterValue(uint32_t value) {
    fMeter->SetValue(value);
}

void CTcReaderWin::SetUseButton(bool on) {
    fUseOn = on;
    fUse->SetState(on ? 1 : 0);
}

void CTcReaderWin::SetGainSlider(int dB) {
    fGain->SetValue(dB);
}

void CTcReaderWin::SetThruBox(bool checked) {
    fThru->SetValue(checked ? 1 : 0);
}

void CTcReaderWin::ShowWindow(bool shown) {
    fShown = shown;
    if (shown) {
        LFrame::ShowWindow();
    } else {
        HideWindow();
    }
}

void CTcReaderWin::PlaceWindow(const CLRect& frame) {
    fFrame = frame;
    if (Window()) SetWindowFrame(frame);
}

CLRect CTcReaderWin::WindowFrame() const {
    return Window() ? GetWindowRect() : fFrame;
}

void CTcReaderWin::StartMeterTimer(uint32_t ms) {
    fMeterTimer.StartOnce(ms, 0);
}

void CTcReaderWin::StopMeterTimer() {
    fMeterTimer.Stop();
}

bool CTcReaderWin::RunSoundInputDialog(SoundInputSpec& spec) {
    return fDialog ? fDialog(spec) : CSoundInSel::Run(this, spec, fAudio);
}
