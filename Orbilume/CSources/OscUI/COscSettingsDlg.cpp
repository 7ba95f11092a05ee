#include "Orbilume/CSources/OscUI/COscSettingsDlg.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "Common/Internet/CURLU.h"
#include "Common/ObjC/CNumVol.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Platform/Foundation/Check.h"

namespace {

enum : uint32_t { kTitle = 0, kOkTitle = 1, kCancelTitle = 2, kPortLabel = 3, kExtra = 4 };

}  // namespace

COscSettingsDlg::COscSettingsDlg(LHandler* upper, LPane* owner, const LFrameSpec& spec, const char* name)
    : LModalDialog(upper, owner, spec), fName(name) {
    PLAT_DCHECK_MAIN_THREAD();
    // Children in layout order: panes 1..4, the subclass's from 5 on.
    fOk = new LStdButton(this, LStdCtlSpec());
    fCancel = new LStdButton(this, LStdCtlSpec());
    fPortLabel = new LTextPane(this, 0);
    fPort = new CNumVol(this, 0, 0);

    SetWindowTitle(String(kTitle));
    fOk->SetTitle(String(kOkTitle));
    fCancel->SetTitle(String(kCancelTitle));
    fPortLabel->SetText(String(kPortLabel));
    fPort->SetRange(float(kMinPort), float(kMaxPort), 1);
    fPort->SetValue(float(kMinPort));
    SetDefaultButton(fOk);
    SetCancelButton(fCancel);
}

LString COscSettingsDlg::String(uint32_t n) const {
    const LStrListRsrcH strings{SRsrcRequest(fName)};
    return strings.GetString(n);
}

void COscSettingsDlg::LoadLayout() {
    LLayoutParts layout;
    if (::LoadLayout(SRsrcRequest(fName), layout)) SetLayout(layout, kDescriptionMode);
}

void COscSettingsDlg::SetPort(uint32_t port) {
    fPort->SetValue(float(std::clamp(port, kMinPort, kMaxPort)));
}

uint32_t COscSettingsDlg::Port() const {
    // The knob keeps what was typed until it is entered: clamp here as well.
    const float v = fPort->GetValue();
    if (!std::isfinite(v)) return kMinPort;
    return uint32_t(std::clamp(std::lround(v), long(kMinPort), long(kMaxPort)));
}

// The server dialog.

COscServerDlg::COscServerDlg(LHandler* upper, LPane* owner, const LFrameSpec& spec)
    : COscSettingsDlg(upper, owner, spec, kName) {
    fCheck = new LStdCheck(this, LStdCtlSpec());
    fCheck->SetTitle(String(kExtra));
    LoadLayout();
}

void COscServerDlg::SetChecked(bool on) {
    fCheck->SetValue(on ? 1 : 0);
}

bool COscServerDlg::IsChecked() const {
    return fCheck->GetValue();
}

// The sender dialog.

COscSenderDlg::COscSenderDlg(LHandler* upper, LPane* owner, const LFrameSpec& spec)
    : COscSettingsDlg(upper, owner, spec, kName) {
    fAddressLabel = new LTextPane(this, 0);
    fAddress = new LEditText(this, LEditText::kSingleLine, 0);
    fAddressLabel->SetText(String(kExtra));
    fAddress->SetText(LString("127.0.0.1"));
    LoadLayout();
}

void COscSenderDlg::SetAddressText(const LString& text) {
    fAddress->SetText(text);
}

LString COscSenderDlg::AddressText() const {
    return fAddress->GetText();
}

uint32_t COscSenderDlg::Address() const {
    const LString t = AddressText();
    const std::string text(t.CStr(), t.Length());
    // Four numbers with dots only: inet_aton would also take short, hexadecimal and octal forms.
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) return 0;
    if (std::count(text.begin(), text.end(), '.') != 3) return 0;
    return CURLU::StrToAddr(reinterpret_cast<const unsigned char*>(text.c_str()));
}
