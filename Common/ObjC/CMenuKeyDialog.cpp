#include "Common/ObjC/CMenuKeyDialog.h"

#include <string>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CSimpleMessageDialog.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LLayoutDesc.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LMenuKeySpec.h"
#include "Lib3/LSources/CoreUI/LPaneListLayout.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/MenuDrawing.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr const char* kName = "CMENUKEYDLG";
constexpr const char* kMessages = "CMENUKEYREG";
constexpr uint32_t kWindowKind = 0;
constexpr uint32_t kCentred = 1;

}  // namespace

CMenuKeyDialog::CMenuKeyDialog(LHandler* upper, LPane* owner)
    : LModalDialog(upper, owner,
                   LFrameSpec(LFrameSpec::kModal, CMacWindowKindH(new CMacWinKind(kWindowKind)))),
      mOk(new LStdButton(this, LStdCtlSpec{})),
      mCancel(new LStdButton(this, LStdCtlSpec{})),
      mPrompt(new LTextPane(this, 0)),
      mKeyText(new LTextPane(this, 0)),
      mStrings(SRsrcRequest(kName)) {
    SetWindowTitle(mStrings.GetString(0));
    mOk->SetTitle(mStrings.GetString(1));
    mCancel->SetTitle(mStrings.GetString(2));
    (void)mPrompt->SetText(mStrings.GetString(3));
    mKeyText->SetAlignment(kCentred);
    SetDefaultButton(mOk);
    SetCancelButton(mCancel);

    LLayoutParts parts;
    if (!LoadLayout(kName, parts)) return;
    LPanePort port(this);
    LDrawContext ctx(port);
    LPaneListLayout panes(Children(), ctx);
    LLayoutDesc desc(&panes);
    for (uint32_t i = 0; i < 3; ++i) desc.Evaluate(parts.Part(i).CStr());
    const SLayoutRect& r = desc.LayoutRect();
    SetWindowFrame({r.left, r.top, r.right, r.bottom});
}

CMenuKeyDialog::~CMenuKeyDialog() = default;

LString CMenuKeyDialog::DisplayText(const LString& spec) {
    SMenuKeySpec key;
    if (!LMenuKeySpec::ParseKeySpec(spec.CStr(), &key)) return LString();
    uint32_t mask = 0;
    if (key.modifiers & SMenuKeySpec::kCommand) mask |= plat::kCommandKeyMask;
    if (key.modifiers & SMenuKeySpec::kShift) mask |= plat::kShiftKeyMask;
    if (key.modifiers & SMenuKeySpec::kOption) mask |= plat::kAlternateKeyMask;
    if (key.modifiers & SMenuKeySpec::kControl) mask |= plat::kControlKeyMask;
    return LString(plat::MenuKeyText(std::string(1, char(key.key)), mask).c_str());
}

LMessage CMenuKeyDialog::Handle(const LMessage& msg) {
    LKeyboard* kb = LKeyboard::Get();
    if (msg.Is(LKeyboard_Down) && kb && msg.sender == kb) {
        LVariStr<16> spec;
        if (LMenuKeySpec::WriteKeySpec(*kb, spec)) {
            mKeySpec = LString(static_cast<const unsigned char*>(spec));
            (void)mKeyText->SetText(DisplayText(mKeySpec));
            return LMessage();
        }
    }
    return LModalDialog::Handle(msg);
}

bool CMenuKeyDialogs::AskKey(LHandler* owner, LString* spec) {
    PLAT_DCHECK_MAIN_THREAD();
    CMenuKeyDialog dialog(owner, nullptr);
    if (dialog.RunUntilResult() != 1) return false;
    if (spec) *spec = dialog.KeySpec();
    return true;
}

LString CMenuKeyDialogs::MessageText(uint32_t index) {
    LStrListRsrcH strings{SRsrcRequest(kMessages)};
    return strings.GetString(index);
}

void CMenuKeyDialogs::ShowMessage(uint32_t index) {
    PLAT_DCHECK_MAIN_THREAD();
    CSimpleMessageDialog box(fUpper, nullptr, kWindowKind);
    (void)box.Run(MessageText(index), 0, false);
}
