#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/CRespText.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LTextStyle.h"

L_MESSAGE_ID(CHeaderFrame_Selected);
L_MESSAGE_ID(CHeaderFrame_Place);

// A windowless frame holding a row of text items (column titles, or selectable labels) placed at
// coordinates with left, centre or right alignment. Items never overlap: each is cut back to the
// next one's left edge. A selectable frame selects a clicked item and sends
// "CHeaderFrame_Selected"; otherwise the click falls through to the frame. "CHeaderFrame_Place" asks
// the place listener to re-place the items whenever the frame moves or changes size. Items are the
// children, indexed in child-list order.
class CHeaderFrame : public LFrame {
public:
    enum : uint32_t { kLeft = 0, kCentre = 1, kRight = 2 };

    CHeaderFrame(LHandler* upper, LPane* owner, uint32_t alignment, bool selectable, bool background);

    LMessage Handle(const LMessage& msg) override;
    void StateChanged(uint32_t op) override;
    void BoundsChanged(const CLRect& old) override;

    CRespText* AddItem(const LString& text, const LTextStyleH& style);
    int32_t ItemCount() const { return int32_t(Children().Count()); }
    CRespText* Item(int32_t i) const;
    bool IsItemVisible(int32_t i) const;

    void PlaceItem(int32_t i, int32_t position, uint32_t alignment, LDrawContext& ctx);
    void SetItemText(int32_t i, const LString& text, LDrawContext& ctx);
    void SetItemStyle(int32_t i, const LTextStyleH& style, LDrawContext& ctx);
    void SetItemVisible(int32_t i, bool visible);
    // True when the selection changed; a missing or hidden item clears it.
    bool Select(int32_t i);
    int32_t Selected() const { return mSelected; }
    void Relayout(const CLRect& old);
    int32_t HeaderHeight(LDrawContext& ctx, int32_t kind);

    void SetPlaceListener(LHandler* listener) { mListener = listener; }
    void SetSelectionColor(const LColor& colour) { mSelectionColour = colour; }

private:
    int32_t IndexOf(const LHandler* item) const;
    void Arrange(LDrawContext& ctx);
    // Places an item at its preferred width, keeping the edge (or centre) its alignment names.
    void Replace(CRespText* item, LDrawContext& ctx);
    void TellListener();

    uint32_t mAlignment;
    bool mBackground;
    bool mSelectable;
    int32_t mSelected = -1;
    LHandler* mListener = nullptr;
    LColor mSelectionColour = LColor::System(3);
};
