#pragma once

#include "Lib3/LSources/CoreUI/LStdCtl.h"

// A push button pane; a default button answers Return and is drawn with the accent.
class LStdButton : public LStdCtl {
public:
    // Without a supplied control it makes a rounded push button.
    LStdButton(LPane* owner, const LStdCtlSpec& spec);

    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;

    void SetDefault(bool isDefault);
    bool IsDefault() const { return fDefault; }
    void Highlight(bool on);

private:
    bool fDefault = false;
};

// The spec of a control pane with a new control of the kind when none was supplied.
LStdCtlSpec MakeStdCtlSpec(const LStdCtlSpec& spec, plat::ControlKind kind);
