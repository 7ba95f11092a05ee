#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"

// A click on the slot (sender the slot); the slot's text changed through Cut, Paste or Delete.
L_MESSAGE_ID(CTextSlot_Click);
L_MESSAGE_ID(CTextSlot_Changed);

// A framed, focusable one-line text without a native editor: it shows a text chosen elsewhere,
// reports clicks, and when editable supports Cut, Copy, Paste and Delete (also Backspace) through
// the clipboard's text scrap. Main thread only.
class CTextSlot : public LTextPane {
public:
    enum : uint8_t { kEditable = 1, kDeletable = 2, kBorderless = 4 };

    CTextSlot(LPane* owner, uint8_t options);

    LMessage Handle(const LMessage& msg) override;
    void StateChanged(uint32_t op) override;
    bool IntersectsRegion(const CRgn& region) override;
    void Draw(LDrawContext& ctx) override;

    uint8_t Options() const { return fOptions; }
    const LColor& Background() const { return fBackground; }
    void SetBackground(const LColor& colour);
    // Puts the text on the clipboard; an empty text leaves the clipboard as it is.
    void Copy();
    // Empties the text and tells the upper handler.
    void Clear();
    // Takes the clipboard's text, when it has some, and tells the upper handler.
    void Paste();

private:
    bool CanDelete() const { return fOptions & (kEditable | kDeletable); }
    void Changed() { Dispatch(LMessage(CTextSlot_Changed, this, Upper())); }
    CRgn FrameArea() const;

    LColor fBackground;
    uint8_t fOptions;
};
