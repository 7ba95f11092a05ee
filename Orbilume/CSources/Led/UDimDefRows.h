#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Lib3/LSources/CoreData/CRecordRef.h"

class CRecord;
class LHandler;

// The channel list of the definition editor, row by row: the rows of a code definition's channel
// table ('chcp'), their channel numbers, the texts shown and typed.
struct UDimDefRows {
    // Rows of the list: the table's length, at least 'prcs' + 'pscs'.
    static uint32_t Count(const CRecord* def);
    // Channel of row i (from 1): suffix rows count after the slots of every dot.
    static uint64_t ChannelNumber(const CRecord* def, uint32_t row);
    // "R", "G", "B", "W" for -1..-4, "0" past the table's end, else the number (at most 255).
    static std::string ValueText(const CRecord* def, uint32_t row);
    static std::string CodeText(int32_t code);
    // A decimal number clamped to 0..255, else R, G, B or W in either case (-1..-4); none for
    // anything else.
    static std::optional<int32_t> ParseCode(std::string_view text);
    // The state operation of the row's handle: 0 (shown) on the last prefix row and, with suffix
    // channels, on the last per-dot row; 1 (hidden) elsewhere.
    static uint32_t HandleOperation(const CRecord* def, uint32_t row);
};

// The edits of the definition editor's fields, each undoable through the editor, with the
// values clamped to the fields' ranges.
struct UDimDefEdits {
    static constexpr uint32_t kMaxDots = 170;
    static constexpr uint32_t kMaxCount = 40;
    enum : uint32_t { kPrefix = 0, kPerDot = 1, kSuffix = 2 };

    // What the panes show: the three counts, whether they may be edited and whether the channel
    // list shows the definition (both only for composition 0).
    struct Panes {
        uint32_t counts[3] = {0, 0, 0};
        bool countsEditable = false;
        bool listAttached = false;
    };
    static Panes Describe(const CRecord* def);

    // Dots across or down (1..170); moving merges with the previous edit of the same field.
    static bool SetGrid(LHandler* editor, CRecordRef def, uint32_t field, double value, bool moving);
    // Composition 0..3.
    static bool SetComposition(LHandler* editor, CRecordRef def, double index);
    // One of the three counts (0..40) through the store's resizing.
    static void SetCount(LHandler* editor, CRecordRef def, uint32_t which, double value);
    // A typed channel value (see UDimDefRows::ParseCode); false when the text changes nothing.
    static bool SetChannelText(LHandler* editor, CRecordRef def, uint32_t row, std::string_view text);
    // The dot of grid cell (column, row) (0..170).
    static bool SetDotCell(LHandler* editor, CRecordRef def, uint32_t column, uint32_t row, double value);
    // The 'dodr' entry shown in the cell.
    static int32_t DotCell(const CRecord* def, uint32_t column, uint32_t row);
};
