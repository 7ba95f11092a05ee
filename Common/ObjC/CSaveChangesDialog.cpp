#include "Common/ObjC/CSaveChangesDialog.h"

#include <string>

#include "Common/ObjC/CMacWindowKind.h"
#include "Lib3/LSources/CoreUI/LImagePane.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LRsrcImage.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/String/UWord.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr const char* kName = "CSAVECHANGESDIALOG";
constexpr uint32_t kSaveWindowKind = 11;
constexpr uint32_t kWrapWords = 2;
constexpr uint32_t kDescriptionMode = 0;

}  // namespace

LString ApplicationBundleName() {
    std::string path = plat::MainBundlePath();
    while (!path.empty() && path.back() == '/') path.pop_back();
    const size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return LString(name.empty() ? "Application" : name.c_str());
}

CSaveChangesDialog::CSaveChangesDialog(LHandler* upper, LPane* owner)
    : LModalDialog(upper, owner,
                   LFrameSpec(LFrameSpec::kModal, CMacWindowKindH(new CMacWinKind(kSaveWindowKind)))),
      mTitle("Application"),
      mFirst(new LStdButton(this, LStdCtlSpec{})),
      mSecond(new LStdButton(this, LStdCtlSpec{})),
      mThird(new LStdButton(this, LStdCtlSpec{})),
      mMessage(new LTextPane(this, 0)),
      mIcon(new LImagePane(this)),
      mStrings(SRsrcRequest(kName)) {
    mTitle = ApplicationBundleName();
    mMessage->SetWrapMode(kWrapWords);
    mIcon->SetImage(LImageH(new LRsrcImage(SRsrcRequest("APP"))));
    mFirst->SetTitle(mStrings.GetString(0));
    mSecond->SetTitle(mStrings.GetString(1));
    mThird->SetTitle(mStrings.GetString(2));
    SetDefaultButton(mFirst);
    SetCancelButton(mSecond);
    LLayoutParts parts;
    if (LoadLayout(kName, parts)) SetLayout(parts, kDescriptionMode);
}

CSaveChangesDialog::~CSaveChangesDialog() = default;

LString CSaveChangesDialog::MessageFor(const LStrListRsrcH& strings, uint32_t messageCase,
                                       const LString& name) {
    if (messageCase > 2) return LString();
    const LString format = strings.GetString(messageCase + 3);
    const LString shown = name.IsEmpty() ? LString("untitled") : name;
    const unsigned char* texts[] = {shown.Text()};
    return UWord::Substitute(format.Text(), texts, 1);
}

LMessage CSaveChangesDialog::Handle(const LMessage& msg) {
    if (msg.Is(LStdCtl_Selected) && msg.sender == mThird) {
        SetResult(3);
        return LMessage();
    }
    return LModalDialog::Handle(msg);
}

uint32_t CSaveChangesDialog::Run(uint32_t messageCase) {
    PLAT_DCHECK_MAIN_THREAD();
    static constexpr uint32_t kAnswers[] = {kSave, kCancel, kDiscard};
    (void)mMessage->SetText(MessageFor(mStrings, messageCase, mDocName));
    SetWindowTitle(mTitle);
    UpdateLayout();
    uint32_t result = 0;
    while (result < 1 || result > 3) result = LModalDialog::Run(kForever);
    mAnswer = kAnswers[result - 1];
    return mAnswer;
}
