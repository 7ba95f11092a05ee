#pragma once

#include "Lib3/LSources/CoreUI/LStdCtl.h"

L_MESSAGE_ID(CSlider_Click);
L_MESSAGE_ID(CSlider_Change);

// A slider pane: "CSlider_Click" on a press, "CSlider_Change" as the value follows the pointer. A
// press that moves the knob less than 2 points keeps the old value and sends no change. A switch
// slider (the switch flag, or Option held) jumps between its ends instead of tracking.
class CSlider : public LStdCtl {
public:
    CSlider(LPane* owner, const LStdCtlSpec& spec);

    void BoundsChanged(const CLRect& old) override;
    LMessage Track(const CLPoint& local) override;
    virtual bool WillTrack();
    void Action() override;
    void Draw(LDrawContext& ctx) override;
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;

    int32_t GetValue() const;
    void SetValue(int32_t value);
    void SetRange(int32_t minimum, int32_t maximum);

    void SetSwitchMode(bool on) { fSwitch = on; }
    bool IsSwitchMode() const { return fSwitch; }

private:
    bool fSwitch = false;
};
