#pragma once

#include "Lib3/LSources/CoreUI/LStdCtl.h"

L_MESSAGE_ID(LStdCheck_Change);

// A check box pane. The pane keeps the state: a click sends "LStdCtl_Selected", which comes back
// unhandled, switches the state and answers "LStdCheck_Change".
class LStdCheck : public LStdCtl {
public:
    LStdCheck(LPane* owner, const LStdCtlSpec& spec);

    LMessage Handle(const LMessage& msg) override;
    void Action() override;
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;

    void SetValue(int32_t state);
    bool GetValue() const;

protected:
    LStdCheck(LPane* owner, const LStdCtlSpec& spec, plat::ControlKind kind);
    int32_t fStateValue = 0;
};

// A radio button in a ring linked through each button's next one. Turning one on turns the others
// of its ring off; the one already on sends nothing.
class LStdRadio : public LStdCheck {
public:
    LStdRadio(LPane* owner, const LStdCtlSpec& spec);

    LMessage Handle(const LMessage& msg) override;
    void Action() override;
    CLRect GetOuterRect(const CLRect& r) const override;
    virtual bool WillTrack() { return true; }
    LMessage Track(const CLPoint& local) override;

    void LinkTo(LStdRadio* next) { fNext = next; }
    LStdRadio* Next() const { return fNext; }
    // The ring from this button: stops at this button, a missing link or a button already seen.
    std::vector<LStdRadio*> Ring();
    // Index along the ring of the button that is on, -1 when none.
    int32_t GroupValue();
    void SetGroupValue(int32_t index);

private:
    LStdRadio* fNext = nullptr;
};
