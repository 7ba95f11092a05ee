#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CRecordRef.h"

class CDimDefStore;
class CRecordHolder;
class LHandler;

// What the device list's cells show and how their edits are stored: the layout-mode scale, the
// output numbers of "anuniv", the interface pop-up's items and the edits of one row or of every
// selected row (one undo entry that a repeat of the same edit continues).
namespace dimcell {

// The layout-mode numbers: shown = stored × s − offset. With "lyodiv" the canvas's pixels (whole
// numbers, ±1000), otherwise hundredths of the canvas (one decimal, ±200).
struct Scale {
    double s = 100;
    double ox = 0, oy = 0;
    bool pixels = false;
    double posLimit = 200;   // X, Y in -limit .. limit
    double sizeLimit = 200;  // W, H in 0 .. limit
    double step = 0.1;
    uint32_t decimals = 1;
};
Scale LayoutScale(const CRecord* dims, const CRecord* device, const CRecord* definition, bool lyodiv);

struct LayoutValues {
    double x = 0, y = 0, w = 0, h = 0;
    int32_t rotation = 0;  // rounded half away from zero
};
LayoutValues Shown(const Scale& scale, const CRecord* device);

// "anuniv": Art-Net Net (bits 8-14), SubNet (4-7), Universe (0-3); sACN universe - 1.
enum class Part { kNet, kSubNet, kUniverse };
uint32_t WithPart(int32_t anuniv, Part part, int32_t value);
int32_t PartOf(int32_t anuniv, Part part);

// "- " and the last channel: first + footprint - 1 (first itself without a footprint).
std::string EndChannelText(uint32_t first, uint64_t footprint);

// The interface pop-up: item 0 is "none", then the connected serials; a stored serial that is not
// connected is kept after a separator. Returns the item to select.
struct PopupItem {
    std::string title;
    bool separator = false;
};
uint32_t SelectSerial(std::vector<PopupItem>& items, const std::string& serial);
// The connected serials behind the first item (every other item removed).
void FillInterfaces(std::vector<PopupItem>& items, const std::vector<std::string>& serials);

// The device list's setters. An edit of a row outside the selection changes that row alone;
// otherwise every selected row, in one undo entry. The entry continues the previous one when the
// same setter of the same control edits the same row with the same selection.
class CEdits {
public:
    enum class Setter {
        kFirstChannel,
        kNet,
        kSubNet,
        kUniverse,
        kSacn,
        kX,
        kY,
        kW,
        kH,
        kRotation,
        kOutput,
        kInterface,
        kDefinition
    };

    CEdits(CRecordHolder* dims, CDimDefStore* defs) : fDims(dims), fDefs(defs) {}

    // selection: the list's selected rows; control: the cell control that changed; number: knob
    // and pop-up values; text: serial or definition name; lyodiv: the setting.
    void Edit(LHandler* editor, uint32_t row, const std::vector<uint32_t>& selection, const void* control,
              Setter setter, double number, const std::string& text, bool lyodiv);
    // The next edit starts a new undo entry.
    void Forget() { fLast = Last(); }

private:
    struct Last {
        Setter setter = Setter::kFirstChannel;
        const void* control = nullptr;
        std::vector<uint32_t> selection;
        uint32_t row = UINT32_MAX;
    };
    CRecordRef DeviceRef(uint32_t row) const;

    CRecordHolder* fDims;
    CDimDefStore* fDefs;
    Last fLast;
};

}  // namespace dimcell
