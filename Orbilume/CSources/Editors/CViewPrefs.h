#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreString/LString.h"

class CRecord;

L_MESSAGE_ID(CViewPrefs_Changed);

// The fonts of the four editor text styles, over the preferences' view set ('vwpr'):
// "fonts" / "0".."3" / "fam" (empty: the slot's default style) and "pts" (one decimal; 12 when
// absent or not a size of 1-999). Every change tells every window ("CViewPrefs_Changed", the model
// as sender). One instance for the process. Main thread only.
class CViewPrefs : public LHandler {
public:
    static constexpr uint32_t kSlotCount = 4;
    static constexpr double kDefaultPoints = 12;

    static CViewPrefs& Get();

    // Stores the set (null: none) and broadcasts.
    void SetParamSet(CRecord* set);
    CRecord* ParamSet() const { return fSet; }

    // False without a set or a stored slot; otherwise whether the stored family is not empty.
    bool GetFont(uint32_t slot, LString& family, double& points) const;
    // Nothing without a set, or when family and size (at one decimal) are those stored.
    void SetFont(uint32_t slot, const LString& family, double points);

    // Tells every window, walking a snapshot of the window list (windows closed meanwhile skipped).
    void Broadcast();
    // Makes this the window manager's sender before a window first appears and the text styles'
    // font look-up (kinds 0-3); Uninstall undoes both.
    void Install();
    void Uninstall();

    // The size a stored "pts" text reads as (12 unless a finite number within 1-999).
    static double ReadPoints(const LString& text);

private:
    CViewPrefs() = default;
    static bool FontOverride(uint32_t kind, LString& name, double& size);
    CRecord* SlotSet(uint32_t slot) const;

    CRecord* fSet = nullptr;
};
