// A schedule entry from outside text: seven condition lines, then period lines of numbers (kind,
// then start and end parts); compile it and match a few date-times across month and year ends.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/CSchFilter.h"
#include "Orbilume/CSources/Document/USchedule.h"

namespace {

using T = CDocModelTypes;

std::vector<uint32_t> Numbers(const std::string& line) {
    std::vector<uint32_t> out;
    uint64_t v = 0;
    bool in = false;
    for (char c : line) {
        if (c >= '0' && c <= '9') {
            v = v * 10 + static_cast<uint32_t>(c - '0');
            if (v > 0xFFFFFFFFull) v = 0xFFFFFFFFull;
            in = true;
        } else if (in) {
            out.push_back(static_cast<uint32_t>(v));
            v = 0;
            in = false;
        }
    }
    if (in) out.push_back(static_cast<uint32_t>(v));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 20000) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines;
    size_t from = 0;
    while (from <= text.size() && lines.size() < 64) {
        const size_t nl = text.find('\n', from);
        lines.push_back(text.substr(from, nl == std::string::npos ? std::string::npos : nl - from));
        if (nl == std::string::npos) break;
        from = nl + 1;
    }
    CRecord* entry = USchedule::NewEntry();
    if (!entry) return 0;
    for (uint32_t i = 0; i < 7 && i < lines.size(); ++i)
        entry->StringSlot(T::kScevYear + i) =
            LString(lines[i].data(), static_cast<uint32_t>(lines[i].size()));
    CRecordRef ref(&entry);
    for (size_t i = 7; i < lines.size(); ++i) {
        const std::vector<uint32_t> n = Numbers(lines[i]);
        CRecord* period = USchedule::NewPeriod();
        if (!period) break;
        CRecordRef p(&period);
        if (!n.empty()) (void)p.SetByte(nullptr, T::kScepRange, static_cast<uint8_t>(n[0]));
        const uint32_t half = n.size() > 1 ? static_cast<uint32_t>((n.size() - 1) / 2) : 0;
        if (half) {
            (void)p.SetArray(nullptr, T::kScepStart, n.data() + 1, half);
            (void)p.SetArray(nullptr, T::kScepEnd, n.data() + 1 + half,
                             static_cast<uint32_t>(n.size() - 1 - half));
        }
        if (USchedule::AppendPeriod(ref, nullptr, period) < 0) break;
    }
    CSchFilter filter;
    filter.Load(entry);
    static const SchDateTime kTimes[] = {
        {2024, 3, 1, 5, 0, 0, 0},     {2024, 1, 1, 1, 0, 0, 0},      {2023, 12, 31, 0, 23, 59, 59},
        {2024, 2, 29, 4, 12, 30, 30}, {2999, 12, 31, 2, 23, 59, 59}, {0, 1, 1, 6, 0, 0, 0},
    };
    for (const SchDateTime& t : kTimes) (void)filter.Matches(t);
    CRecord::Delete(entry);
    return 0;
}
