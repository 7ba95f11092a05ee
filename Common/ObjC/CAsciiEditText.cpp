#include "Common/ObjC/CAsciiEditText.h"

CAsciiEditText::CAsciiEditText(LPane* owner, uint32_t mode, uint32_t options)
    : LEditText(owner, mode, options), fWindow(GetWindow()) {
    (void)fWindow;
}

CAsciiEditText::~CAsciiEditText() {
    Restore();
}

void CAsciiEditText::StateChanged(uint32_t op) {
    LEditText::StateChanged(op);
    switch (op) {
        case kEnable:
        case kDisable:
        case kChainEnable:
        case kChainDisable:
        case kFocus:
        case kUnfocus:
            break;
        default:
            return;
    }
    constexpr uint32_t need = kEnabled | kChainEnabled | kFocused;
    if ((State() & need) == need)
        Switch();
    else
        Restore();
}

void CAsciiEditText::Switch() {
    if (fSwitched) return;
    fSaved = plat::InputSource::CopyCurrentKeyboard();
    plat::Ref<plat::InputSource> ascii = plat::InputSource::CopyCurrentASCIICapableKeyboard();
    if (ascii) (void)ascii->Select();
    fSwitched = true;
}

void CAsciiEditText::Restore() {
    if (fSwitched && fSaved) (void)fSaved->Select();
    fSaved = nullptr;
    fSwitched = false;
}
