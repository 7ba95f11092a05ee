#pragma once

#include <memory>

#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"

// A windowless frame that moves the focus among its children with Tab (Shift-Tab backwards) and that
// can draw through a borrowed port: a list draws one prototype cell per row with
//     fill the cell, place it, BorrowPort, op 6 or 7, ShowBorrowed, Draw, HideBorrowed, ReturnPort.
// While a port is borrowed the children see that port, and what they invalidate is collected in it
// until HideBorrowed hands it to the frame's own invalidation. Main thread only.
class CTabFocusPane : public LFrame {
public:
    CTabFocusPane(LHandler* upper, LPane* owner);
    ~CTabFocusPane() override;

    LMessage Handle(const LMessage& msg) override;
    void FillPort(LPanePort& port) override;
    void Invalidate(const CRgn& invalid, const CRgn& erase) override;

    // Makes the borrowed port if needed and fills it as the frame fills its own.
    void BorrowPort();
    // Shows the children without invalidating anything through the frame.
    void ShowBorrowed();
    // Invalidates what was collected while borrowed, then hides the children.
    void HideBorrowed();
    void ReturnPort();

    bool IsBorrowing() const { return mBorrowed != nullptr; }
    // What the children invalidated while borrowed (frame-local); empty without a borrowed port.
    CRgn BorrowedUpdate() const { return mBorrowed ? mBorrowed->update : CRgn(); }
    CRgn BorrowedErase() const { return mBorrowed ? mBorrowed->erase : CRgn(); }

private:
    struct Borrowed {
        LPanePort port;
        CRgn update;
        CRgn erase;
    };
    std::unique_ptr<Borrowed> mBorrowed;
};
