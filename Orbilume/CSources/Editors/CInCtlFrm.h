#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LFrame.h"

class CInCtlPrm;
class CNumVol;
class CTextSlot;
class LMenu;
class LMenuItem;

// The control assignment of one input (or of one colour component): a type pop-up over the shared
// menu "INCTLSEL", the range fields ("max", "min") for range-capable types, and the editor of the
// current type. Choices and edits go up as `CInCtlPrmNote`s, each with this frame's key appended to
// its path; the frame changes only when the owner applies the stored set again. Main thread only.
class CInCtlFrm : public LFrame {
public:
    static constexpr uint32_t kTypeCount = 11;  // 0 none, then "dmx" .. "loc"

    // key: the input's key, or "compo1".."compo4" inside a colour editor. rangeCapable: set for
    // number, time, index and string-selection panes.
    CInCtlFrm(LHandler* upper, LPane* owner, const LString& key, bool rangeCapable);
    ~CInCtlFrm() override;

    LMessage Handle(const LMessage& msg) override;
    void Draw(LDrawContext& ctx) override;

    // Shows the set (null: none): the type's editor, made anew when the type changed, the range
    // fields when shown; asks its owner for a new layout when either changed.
    void Apply(CRecord* set);

    // The shared menu readied for this frame: the current type marked, "cRange" enabled and marked.
    LMenu* PrepareMenu();
    // What choosing an item of the shared menu does.
    void Choose(LMenuItem* item);

    const LString& Key() const { return fKey; }
    uint32_t Type() const { return fType; }
    CInCtlPrm* Editor() const { return fEditor; }
    CTextSlot* TypeSlot() const { return fSlot; }
    LFrame* RangeFrame() const { return fRange; }
    CNumVol* RangeMax() const { return fMax; }
    CNumVol* RangeMin() const { return fMin; }
    bool RangeShown() const;
    static LMenu* SharedMenu() { return sMenu; }

private:
    void Note(const char* key, const LString& value);
    bool RangeCapableType() const { return fRangeCapable && fType >= 1 && fType <= 7; }

    LString fKey;
    bool fRangeCapable;
    uint32_t fType = 0;
    CTextSlot* fSlot;  // children
    LFrame* fRange;
    CNumVol* fMax;
    CNumVol* fMin;
    CInCtlPrm* fEditor = nullptr;

    static LMenu* sMenu;
    static uint32_t sFrames;
};
