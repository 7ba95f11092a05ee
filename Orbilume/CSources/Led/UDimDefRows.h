#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class CRecord;

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
    // The row's handle state operation: 0 (hidden) on the last prefix row and, with suffix channels,
    // on the last per-dot row; 1 elsewhere.
    static uint32_t HandleOperation(const CRecord* def, uint32_t row);
};
