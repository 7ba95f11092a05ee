#include "Lib3/LSources/CoreUI/CSchEvent.h"

#include "Lib3/LSources/CoreData/CRecordHolder.h"

namespace {

// The fields of a kind, most significant first, as (year, month, day, weekday, hour, minute,
// second) picked by a mask: bit 6 year ... bit 0 second.
constexpr uint8_t kFieldMask[7] = {0x01, 0x03, 0x07, 0x0F, 0x17, 0x37, 0x77};

void Fields(const SchDateTime& d, uint32_t out[7]) {
    out[0] = d.year;
    out[1] = d.month;
    out[2] = d.day;
    out[3] = d.weekday;
    out[4] = d.hour;
    out[5] = d.minute;
    out[6] = d.second;
}

// -1, 0 or 1 over the kind's fields; kinds above 6 compare equal.
int Compare(uint8_t kind, const SchDateTime& a, const SchDateTime& b) {
    if (kind > CSchEvent::kOnce) return 0;
    uint32_t fa[7], fb[7];
    Fields(a, fa);
    Fields(b, fb);
    for (int i = 0; i < 7; ++i) {
        if (!(kFieldMask[kind] & (0x40 >> i))) continue;
        if (fa[i] != fb[i]) return fa[i] > fb[i] ? 1 : -1;
    }
    return 0;
}

template <class T>
T Saturate(uint32_t v, uint32_t max) {
    return static_cast<T>(v > max ? max : v);
}

}  // namespace

CSchEvent::CSchEvent() {
    fStart.year = 2020;
    fStart.month = 0;
    fStart.day = 0;
    SchDateTime::Normalize(fStart);
    fEnd = fStart;
}

bool CSchEvent::IsLater(uint8_t kind, const SchDateTime& a, const SchDateTime& b) {
    return Compare(kind, a, b) > 0;
}

void CSchEvent::Load(uint8_t kind, const SchDateTime& start, const SchDateTime& end) {
    fKind = kind;
    fStart = start;
    fEnd = end;
    fWraps = IsLater(kind, start, end);
    fSame = kind > kOnce || Compare(kind, start, end) == 0;
}

int CSchEvent::Match(const SchDateTime& now) const {
    const bool beforeStart = IsLater(fKind, fStart, now);
    const bool beforeEnd = IsLater(fKind, fEnd, now);
    if (!fWraps) return !beforeStart && beforeEnd ? kInPeriod : kNoMatch;
    if (!beforeStart) return kInPeriod;
    if (beforeEnd) return fKind == kEveryWeek ? kInPeriod : kInPreviousCycle;
    return kNoMatch;
}

void CSchEvent::Load(CRecordRef period) {
    const CRecord* record = period.Get();
    const bool hasKind = record && record->Type() && record->Type()->FieldCount() > 0 &&
                         record->Type()->Field(0).kind == kFieldByte;
    SchDateTime start, end;
    ReadDateTime(period, 1, start);
    ReadDateTime(period, 2, end);
    Load(hasKind ? record->GetByte(0) : 0, start, end);
}

void CSchEvent::ReadDateTime(CRecordRef record, uint32_t field, SchDateTime& out) {
    uint32_t values[7];
    for (uint32_t part = 0; part < 7; ++part)
        values[part] = CRecordHolder::GetDateTimePart(record, field, part);
    ReadDateTime(values, 7, out);
}

void CSchEvent::ReadDateTime(const uint32_t* values, uint32_t count, SchDateTime& out) {
    out.second = Saturate<uint8_t>(GetDateTimePart(values, count, kSchSecond), 255);
    out.minute = Saturate<uint8_t>(GetDateTimePart(values, count, kSchMinute), 255);
    out.hour = Saturate<uint8_t>(GetDateTimePart(values, count, kSchHour), 255);
    out.weekday = static_cast<uint8_t>(GetDateTimePart(values, count, kSchWeekday) % 7);
    out.day = Saturate<uint8_t>(GetDateTimePart(values, count, kSchDay), 255);
    out.month = Saturate<uint8_t>(GetDateTimePart(values, count, kSchMonth), 255);
    out.year = Saturate<uint16_t>(GetDateTimePart(values, count, kSchYear), 0xFFFF);
}
