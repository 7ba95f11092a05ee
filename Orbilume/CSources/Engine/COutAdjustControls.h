#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"

class CCtlInDocBinder;
class CRecord;

// The output adjustment's controls description: the text property tree "outadj" of the bundle's
// SharedSupport/editor folder, whose "obfx" holds "controls" (children visited depth first in file
// order, those of a nested "controls" as well). Each control gives the input key ("id"), "type",
// "name", "min", "max" and the default value text ("ini", "scale", "prec"). A missing or malformed
// file gives no controls. Pure data over the 'oaun' unit record; main thread.
class COutAdjustControls {
public:
    struct Control {
        LString id;
        LString type;
        LString name;
        float min = 0;
        float max = 0;
        LString defaultText;
        // Decimals shown: "prec" and one more for each power of ten of "scale" (0..6).
        uint32_t decimals = 0;
        bool IsNumeric() const { return type == "numeric"; }
    };
    struct OscControl {
        LString address;
        float min = 0;
        float max = 0;
        LString name;
        LString value;
    };

    static std::string DefaultPath();

    // False (and no controls) when the file is missing, too large or malformed.
    bool Load(const std::string& path);
    bool LoadText(const char* bytes, uint32_t length);

    const std::vector<Control>& Controls() const { return fControls; }
    const Control* Find(const LString& id) const;

    // The binder ranges of the numeric controls.
    void AddRanges(CCtlInDocBinder& binder) const;
    // For every control whose input exists: its 'valu' := the control's default text (no undo).
    void RestoreDefaults(CRecord* unit) const;
    // The controls whose input has an "osc" source with an address, with the input's value.
    void OscControlList(const CRecord* unit, std::vector<OscControl>& out) const;

    // The unit's input of the key, or null.
    static CRecord* FindInput(const CRecord* unit, const LString& key);

    static constexpr uint32_t kMaxFileBytes = 1u << 20;
    static constexpr uint32_t kMaxControls = 4096;

private:
    std::vector<Control> fControls;
};
