#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreString/LString.h"

class CDimDefStore;
class LHandler;

// The edits of many placed devices at once: arrange, align, sort by output order and add a grid of
// devices. Each call is one undo step of the editor. Coordinates are canvas units (the longer side
// spans -1..+1, y up); a device is selected when its DIDV field 11 is set. Main thread only.
class UDimArrange {
public:
    enum Arrange : uint32_t {
        kMeanWidth,
        kEvenWidth,
        kAlignLeft,
        kAlignRight,
        kMeanHeight,
        kEvenHeight,
        kAlignTop,
        kAlignBottom,
    };
    // Nothing unless two or more devices are selected; false when nothing was done.
    static bool DoArrange(LHandler* editor, CRecordRef dims, Arrange what);

    // Snaps the selected devices onto the canvas cells (cell = 2 / max(width, height)); in dot
    // mode a device whose definition is known takes its dot grid as its size in cells.
    static bool Snap(LHandler* editor, CRecordRef dims, const CDimDefStore* defs, uint32_t width,
                     uint32_t height, bool dotMode);
    // Rotations to the nearest quarter turn.
    static bool Square(LHandler* editor, CRecordRef dims);
    // Rotations to quarter turns about their mean residue, then a grid snap (one step).
    static bool Group(LHandler* editor, CRecordRef dims, const CDimDefStore* defs, uint32_t width,
                      uint32_t height);
    // Devices into ascending order of (connection, universe or interface serial, first slot).
    static bool SortByChannel(LHandler* editor, CRecordRef dims);

    // The add-devices dialog's values.
    struct AddValues {
        LString name;
        uint32_t across = 1;
        uint32_t down = 1;
        uint32_t net = 0;
        uint32_t subnet = 0;
        uint32_t universe = 0;
        uint32_t firstChannel = 1;
    };
    // Clears the selection (no undo) and appends the grid of selected devices (one undo step).
    static bool AddDevices(LHandler* editor, CRecordRef dims, const CDimDefStore* defs, const AddValues& values);

    // Degrees to -180 up to but excluding 180.
    static double Normalize(double degrees);
    static uint32_t SelectedCount(const CRecord* dims);
};
