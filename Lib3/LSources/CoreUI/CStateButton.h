#pragma once

#include "Lib3/LSources/CoreUI/LImage.h"
#include "Lib3/LSources/CoreUI/LStdCtl.h"

L_MESSAGE_ID(CStateButton_Push);
L_MESSAGE_ID(CStateButton_Unpush);
L_MESSAGE_ID(CStateButton_DblClk);

// A pressable button that tracks the mouse itself through the framework's capture: "Push" as it
// highlights, "Unpush" as it stops, "LStdCtl_Selected" on a release inside, "DblClk" on a double
// click.
class CStateButton : public LStdCtl {
public:
    enum : uint32_t { kSmall = 1u << 1 };

    CStateButton(LPane* owner, const LStdCtlSpec& spec, uint32_t options = 0);

    LMessage Handle(const LMessage& msg) override;
    LMessage Track(const CLPoint& local) override;
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;

    // Highlight with or without "Push"/"Unpush".
    void SetHighlight(bool on, bool notify);
    void SetPushed(bool on) { SetHighlight(on, false); }
    bool IsHighlighted() const { return fHighlight; }
    void SetState(int32_t state);
    // Shown on the face; only a change reaches the control.
    void SetImage(const LImageH& image);
    const LImageH& Image() const { return fImage; }

private:
    // Out of a window nothing redraws the control by itself.
    void InvalidateOffscreen();

    bool fSmall;
    LImageH fImage;
    bool fHighlight = false;
    uint32_t fClickStamp = 0;
};
