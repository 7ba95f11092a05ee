#pragma once

#include <cstdint>

#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreData/LTimer.h"

// A single click was made on the unfocused field (sender the field).
L_MESSAGE_ID(CLatentEditText_Click);

// A borderless edit text that looks like a label until it is clicked once and left alone for
// 500 ms: then it asks for the focus and edits in place. A double click is the container's; every
// click goes on to the upper handler. Main thread only.
class CLatentEditText : public LEditText {
public:
    static constexpr uint32_t kLatentDelayMs = 500;

    CLatentEditText(LPane* owner, uint32_t mode);

    LMessage Handle(const LMessage& msg) override;
    void StateChanged(uint32_t op) override;
    void Draw(LDrawContext& ctx) override;
    // Focus comes only through the latent click or the container's request.
    bool TakeFocus(int32_t, bool) override { return false; }

    bool IsPending() const { return fTimer.IsRunning(); }

private:
    uint32_t fLastClick;
    LTimer fTimer{this};
};
