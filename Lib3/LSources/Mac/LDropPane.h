#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LPane.h"

class LDrop;

L_MESSAGE_ID(LDropPane_Enter);
L_MESSAGE_ID(LDropPane_Drag);
L_MESSAGE_ID(LDropPane_Leave);
L_MESSAGE_ID(LDropPane_Drop);

// A pane that takes drops: claims the drags sensed over it, tells its upper handler (Enter and Drag,
// which may set the feedback; Leave and Drop as replies) and shows a highlight ring while the feedback
// is not refusal. The upper reads the data through the LDrop it got with Enter. Main thread only.
class LDropPane : public LPane {
public:
    LDropPane(LPane* owner, uint8_t highlightStyle);
    ~LDropPane() override;

    LMessage Handle(const LMessage& msg) override;
    void StateChanged(uint32_t op) override;
    void BoundsChanged(const CLRect& old) override;
    bool IntersectsRegion(const CRgn& region) override;
    void Draw(LDrawContext& ctx) override;

    void SetFeedback(uint32_t mode);
    uint32_t Feedback() const { return fFeedback; }
    bool IsHighlighted() const { return fHighlighted; }
    LDrop* Drop() const { return fDrop; }

private:
    void SetHighlight(bool on);
    CRgn HighlightRing() const;
    void LeaveIfTarget();

    uint8_t fHighlighted = 0;
    uint8_t fStyle;
    uint32_t fFeedback = 0;
    LDrop* fDrop = nullptr;
    plat::Window* fWindow;
};
