#include "Lib3/LSources/CoreUI/CTabFocusPane.h"

#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Platform/Foundation/Check.h"

CTabFocusPane::CTabFocusPane(LHandler* upper, LPane* owner) : LFrame(upper, owner) {}

CTabFocusPane::~CTabFocusPane() = default;

LMessage CTabFocusPane::Handle(const LMessage& msg) {
    if (msg.Is(LKeyboard_Down)) {
        LKeyboard* kb = LKeyboard::Get();
        if (kb && msg.sender == kb && kb->Char() == 9 && !kb->IsControlDown()) {
            (void)TabStep(kb->IsShiftDown());
            return LMessage();
        }
    }
    return LFrame::Handle(msg);
}

void CTabFocusPane::FillPort(LPanePort& port) {
    if (mBorrowed) {
        port = mBorrowed->port;
        return;
    }
    LFrame::FillPort(port);
}

void CTabFocusPane::Invalidate(const CRgn& invalid, const CRgn& erase) {
    if (!mBorrowed) {
        LFrame::Invalidate(invalid, erase);
        return;
    }
    if ((State() & (kShown | kChainShown)) != (kShown | kChainShown)) return;
    mBorrowed->update |= invalid;
    mBorrowed->erase |= erase;
}

void CTabFocusPane::BorrowPort() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!mBorrowed) mBorrowed = std::make_unique<Borrowed>();
    mBorrowed->port = LPanePort();
    LFrame::FillPort(mBorrowed->port);
}

void CTabFocusPane::ShowBorrowed() {
    ClearNoErase();
    SetStateBitQuietly(kChainShown, false);
    SendToChildren(kChainShow);
    SetStateBitQuietly(kChainShown, true);
}

void CTabFocusPane::HideBorrowed() {
    if (mBorrowed) {
        const CRgn update = mBorrowed->update;
        const CRgn erase = mBorrowed->erase;
        mBorrowed->update = CRgn();
        mBorrowed->erase = CRgn();
        LFrame::Invalidate(update, erase);
    }
    SetStateBitQuietly(kChainShown, false);
    SendToChildren(kChainHide);
}

void CTabFocusPane::ReturnPort() {
    mBorrowed.reset();
}
