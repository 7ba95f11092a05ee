#include "Orbilume/CSources/Led/CNamingDialog.h"

#include <sys/stat.h>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CSimpleMessageDialog.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LImagePane.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LRsrcImage.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Orbilume/CSources/Led/CDimDefLibrary.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/UDimNaming.h"
#include "Platform/Foundation/Check.h"

namespace {

enum : uint32_t { kTitle = 0, kOkTitle = 1, kCancelTitle = 2, kDefaultPrompt = 3 };

CNamingDialog::RunHook sRunHook = nullptr;
void* sRunContext = nullptr;
UDimDefMessage::Hook sMessageHook = nullptr;
void* sMessageContext = nullptr;

LString ListString(const char* list, uint32_t n) {
    const LStrListRsrcH strings{SRsrcRequest(list)};
    return strings.GetString(n);
}

}  // namespace

CNamingDialog::CNamingDialog(LHandler* upper, LPane* owner)
    : LModalDialog(upper, owner, LFrameSpec(LFrameSpec::kModal, CMacWindowKindH(new CMacWinKind(kWindowKind)))) {
    PLAT_DCHECK_MAIN_THREAD();
    // Panes 1..5 of the layout.
    fOk = new LStdButton(this, LStdCtlSpec());
    fCancel = new LStdButton(this, LStdCtlSpec());
    fImage = new LImagePane(this);
    fPrompt = new LTextPane(this, 0);
    fField = new LEditText(this, LEditText::kSingleLine, 0);

    SetWindowTitle(ListString(kName, kTitle));
    fOk->SetTitle(ListString(kName, kOkTitle));
    fCancel->SetTitle(ListString(kName, kCancelTitle));
    fImage->SetImage(LImageH(new LRsrcImage(SRsrcRequest("APP"))));
    (void)fPrompt->SetTextStyle(LTextStyleH(2));
    (void)fPrompt->SetText(ListString(kName, kDefaultPrompt));
    SetDefaultButton(fOk);
    SetCancelButton(fCancel);

    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    FitWindowToLayout();
    UpdateOk();
}

CNamingDialog::~CNamingDialog() = default;

void CNamingDialog::SetPrompt(const LString& text) {
    (void)fPrompt->SetText(text);
}

LString CNamingDialog::Name() const {
    return fField->GetText();
}

void CNamingDialog::SetName(const LString& text) {
    fField->SetText(text);
    UpdateOk();
}

void CNamingDialog::UpdateOk() {
    fOk->ChangeState(fField->GetText().IsEmpty() ? LPane::kDisable : LPane::kEnable);
}

LMessage CNamingDialog::Handle(const LMessage& msg) {
    if (msg.Is(LEditText_Change) && msg.sender == fField) {
        UpdateOk();
        return LMessage();
    }
    return LModalDialog::Handle(msg);
}

void CNamingDialog::SetRunHook(RunHook hook, void* context) {
    sRunHook = hook;
    sRunContext = context;
}

uint32_t CNamingDialog::RunOnce() {
    UpdateOk();
    fField->SelectAll();
    if (sRunHook) return sRunHook(*this, sRunContext);
    SetResult(0);
    return RunUntilResult();
}

LString UDimDefMessage::Text(uint32_t index) {
    return ListString("DIMDEFCTL", index);
}

void UDimDefMessage::SetHook(Hook hook, void* context) {
    sMessageHook = hook;
    sMessageContext = context;
}

uint32_t UDimDefMessage::Show(LHandler* upper, uint32_t index, bool cancel) {
    PLAT_DCHECK_MAIN_THREAD();
    if (sMessageHook) return sMessageHook(index, cancel, sMessageContext);
    CSimpleMessageDialog dialog(upper, nullptr);
    const uint32_t r = dialog.Run(Text(index), 0, cancel);
    return cancel ? r : 1;
}

std::string RunNamingDialog(LHandler* owner, CDimDefStore* store, const CDimDefLibrary* library) {
    PLAT_DCHECK_MAIN_THREAD();
    CNamingDialog dialog(owner, nullptr);
    dialog.SetPrompt(UDimDefMessage::Text(UDimDefMessage::kPrompt));
    for (;;) {
        if (dialog.RunOnce() != 1) return {};
        const LString typed = dialog.Name();
        const std::string name = UDimNaming::Clean(std::string_view(typed.CStr(), typed.Length()));
        dialog.SetName(LString(name.data(), static_cast<uint32_t>(name.size())));
        bool taken = name.empty() || (store && store->Find(name));
        if (!taken && library) {
            // A file of that name (one refused at loading, say) is not overwritten.
            const std::string path = library->DefinitionPath(name, false);
            struct stat st;
            taken = path.empty() || lstat(path.c_str(), &st) == 0;
        }
        if (!taken) return name;
        (void)UDimDefMessage::Show(&dialog, UDimDefMessage::kNameTaken, false);
    }
}
