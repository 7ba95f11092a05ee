#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"

L_MESSAGE_ID(CRespText_Click);

// A one-line text item that reports a click with "CRespText_Click"; when nobody above takes it, the
// click goes on up as a plain "LMouse_Click". Selected, it is drawn over the selection colour in the
// selected-text colour; with the background option it fills its bounds with the background in force.
class CRespText : public LTextPane {
public:
    CRespText(LHandler* upper, LPane* owner, bool background);

    LMessage Handle(const LMessage& msg) override;
    void Draw(LDrawContext& ctx) override;

    void SetSelected(bool selected, const LColor& colour);
    bool IsSelected() const { return fSelected; }
    bool HasBackground() const { return fBackground; }

private:
    bool fBackground;
    bool fSelected = false;
    LColor fSelection = LColor::System(3);
};
