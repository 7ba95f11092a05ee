#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LPane.h"

// A completed click: pressed and released inside.
L_MESSAGE_ID(CFlatBtn_Selected);

// A self-drawn push button without a frame: it tracks the mouse through the framework's capture,
// fills itself in grey level 4 while pressed and draws nothing otherwise. Main thread only.
class CFlatBtn : public LPane {
public:
    CFlatBtn(LHandler* upper, LPane* owner);

    LMessage Handle(const LMessage& msg) override;
    void Draw(LDrawContext& ctx) override;

    bool IsPressed() const { return fPressed != 0; }

private:
    void SetPressed(bool pressed);

    uint8_t fPressed = 0;
};
