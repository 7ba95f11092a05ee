#include "Orbilume/CSources/Led/UDimDefRows.h"

#include <algorithm>
#include <cmath>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimTypes.h"

namespace {

using T = CDimTypes;

uint32_t Clamped(double value, uint32_t low, uint32_t high) {
    if (!std::isfinite(value)) return low;
    return static_cast<uint32_t>(std::clamp(std::round(value), double(low), double(high)));
}

}  // namespace

uint32_t UDimDefRows::Count(const CRecord* def) {
    return def ? CDimDefStore::CodeArrayLength(def) : 0;
}

uint64_t UDimDefRows::ChannelNumber(const CRecord* def, uint32_t row) {
    if (!def) return uint64_t{row} + 1;
    const uint64_t pre = CDimDefStore::PreChannels(def);
    const uint64_t perDot = CDimDefStore::ChannelsPerDot(def);
    if (row < pre + perDot) return uint64_t{row} + 1;
    const uint64_t dots = uint64_t{def->GetUInt(T::kDidfColumns)} * def->GetUInt(T::kDidfRows);
    return (dots > 0 ? dots - 1 : 0) * perDot + row + 1;
}

std::string UDimDefRows::CodeText(int32_t code) {
    switch (code) {
        case -1:
            return "R";
        case -2:
            return "G";
        case -3:
            return "B";
        case -4:
            return "W";
        default:
            return std::to_string(std::min(code, 255));
    }
}

std::string UDimDefRows::ValueText(const CRecord* def, uint32_t row) {
    if (!def || row >= def->ArrayCount(T::kDidfChannels)) return "0";
    return CodeText(CDimDefStore::ChannelCode(def, row));
}

std::optional<int32_t> UDimDefRows::ParseCode(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    std::string_view digits = text;
    bool negative = false;
    if (digits.front() == '-' || digits.front() == '+') {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    if (!digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        // Any length: the value saturates.
        uint32_t v = 0;
        for (char c : digits) v = std::min<uint32_t>(v * 10 + uint32_t(c - '0'), 1000);
        return negative ? 0 : int32_t(std::min<uint32_t>(v, 255));
    }
    if (text.size() == 1) {
        switch (text.front()) {
            case 'r':
            case 'R':
                return -1;
            case 'g':
            case 'G':
                return -2;
            case 'b':
            case 'B':
                return -3;
            case 'w':
            case 'W':
                return -4;
            default:
                break;
        }
    }
    return std::nullopt;
}

uint32_t UDimDefRows::HandleOperation(const CRecord* def, uint32_t row) {
    if (!def) return 1;
    const uint32_t pre = CDimDefStore::PreChannels(def);
    const uint32_t post = CDimDefStore::PostChannels(def);
    const uint32_t perDot = CDimDefStore::ChannelsPerDot(def);
    if (pre > 0 && row == pre - 1) return 0;
    if (post > 0 && perDot > 0 && row == pre + perDot - 1) return 0;
    return 1;
}

UDimDefEdits::Panes UDimDefEdits::Describe(const CRecord* def) {
    Panes p;
    if (!def) return p;
    // The counts keep their values when another composition locks them.
    p.counts[kPrefix] = def->GetByte(T::kDidfPrefixCount);
    p.counts[kSuffix] = def->GetByte(T::kDidfSuffixCount);
    p.counts[kPerDot] = CDimDefStore::CodeChannels(def);
    const bool codes = def->GetByte(T::kDidfComposition) == 0;
    p.countsEditable = codes;
    p.listAttached = codes;
    return p;
}

bool UDimDefEdits::SetGrid(LHandler* editor, CRecordRef def, uint32_t field, double value, bool moving) {
    if (!def || (field != T::kDidfColumns && field != T::kDidfRows)) return false;
    return def.SetUInt(editor, field, Clamped(value, 1, kMaxDots), moving ? 1 : 0);
}

bool UDimDefEdits::SetComposition(LHandler* editor, CRecordRef def, double index) {
    if (!def) return false;
    return def.SetByte(editor, T::kDidfComposition, static_cast<uint8_t>(Clamped(index, 0, 3)));
}

void UDimDefEdits::SetCount(LHandler* editor, CRecordRef def, uint32_t which, double value) {
    if (!def || def->GetByte(T::kDidfComposition) != 0) return;
    const uint32_t n = Clamped(value, 0, kMaxCount);
    switch (which) {
        case kPrefix:
            CDimDefStore::SetPreChannels(editor, def, n);
            break;
        case kPerDot:
            CDimDefStore::SetCodeChannels(editor, def, n);
            break;
        case kSuffix:
            CDimDefStore::SetPostChannels(editor, def, n);
            break;
        default:
            break;
    }
}

bool UDimDefEdits::SetChannelText(LHandler* editor, CRecordRef def, uint32_t row, std::string_view text) {
    if (!def || row >= UDimDefRows::Count(def.Get())) return false;
    const std::optional<int32_t> code = UDimDefRows::ParseCode(text);
    if (!code) return false;
    return CDimDefStore::SetChannelCode(editor, def, row, *code);
}

int32_t UDimDefEdits::DotCell(const CRecord* def, uint32_t column, uint32_t row) {
    if (!def) return 0;
    const uint64_t i = uint64_t{row} * def->GetUInt(T::kDidfColumns) + column;
    return i < (1u << 20) ? CDimDefStore::DotOrder(def, static_cast<uint32_t>(i)) : 0;
}

bool UDimDefEdits::SetDotCell(LHandler* editor, CRecordRef def, uint32_t column, uint32_t row, double value) {
    if (!def) return false;
    const uint32_t columns = def->GetUInt(T::kDidfColumns);
    if (column >= columns || row >= def->GetUInt(T::kDidfRows)) return false;
    return CDimDefStore::SetDotOrder(editor, def, row * columns + column,
                                     static_cast<int32_t>(Clamped(value, 0, kMaxDots)));
}
