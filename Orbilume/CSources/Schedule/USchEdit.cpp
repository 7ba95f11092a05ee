#include "Orbilume/CSources/Schedule/USchEdit.h"

#include "Common/Container/ParseRangeList.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CRecordUndo.h"
#include "Lib3/LSources/CoreData/DateTimePart.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"

namespace {

using T = CDocModelTypes;

bool IsPeriod(CRecordRef period) {
    return period && period->IsOfType(T::kScheduleDomain, T::kSCEP);
}

uint16_t Year(uint32_t y) {
    return static_cast<uint16_t>(y > 0xFFFF ? 0xFFFF : y);
}

uint8_t Month(uint32_t m) {
    return static_cast<uint8_t>(m < 1 ? 1 : (m > 12 ? 12 : m));
}

uint8_t Small(uint32_t v, uint32_t max) {
    return static_cast<uint8_t>(v > max ? max : v);
}

}  // namespace

uint8_t USchEdit::WeekMaskOf(const LString& condition) {
    CArray<SRangePair> ranges;
    ParseRangeList(ranges, condition.CStr());
    uint8_t mask = 0;
    for (uint32_t k = 0; k < 7; ++k)
        for (const SRangePair& r : ranges)
            if (r.first <= k + 1 && k + 1 <= r.last) mask = static_cast<uint8_t>(mask | (1u << k));
    return mask;
}

LString USchEdit::WeekTextOf(uint8_t mask) {
    char text[15];
    uint32_t n = 0;
    for (uint32_t k = 0; k < 7; ++k) {
        if (!(mask & (1u << k))) continue;
        text[n++] = static_cast<char>('1' + k);
        text[n++] = ',';
    }
    return LString(text, n);
}

USchEdit::Fields USchEdit::ReadEnd(CRecordRef period, uint32_t field) {
    Fields f;
    f.second = CRecordHolder::GetDateTimePart(period, field, kSchSecond);
    f.minute = CRecordHolder::GetDateTimePart(period, field, kSchMinute);
    f.hour = CRecordHolder::GetDateTimePart(period, field, kSchHour);
    f.weekday = CRecordHolder::GetDateTimePart(period, field, kSchWeekday);
    f.day = CRecordHolder::GetDateTimePart(period, field, kSchDay);
    f.month = CRecordHolder::GetDateTimePart(period, field, kSchMonth);
    f.year = CRecordHolder::GetDateTimePart(period, field, kSchYear);
    return f;
}

uint32_t USchEdit::LimitDay(uint8_t kind, const Fields& f) {
    uint32_t days = 31;
    if (kind == 6) days = SchDateTime::DaysInMonth(Year(f.year), Month(f.month));
    if (kind == 5) days = Month(f.month) == 2 ? 29 : SchDateTime::DaysInMonth(2001, Month(f.month));
    return f.day > days ? days : f.day;
}

void USchEdit::WriteEnd(CRecordRef period, LHandler* editor, uint32_t field, const Fields& f) {
    if (!IsPeriod(period)) return;
    const uint8_t kind = period->GetByte(T::kScepRange);
    void* group = CRecordUndo::BeginGroup(editor);
    (void)CRecordHolder::SetDateTimePart(period, editor, field, kSchSecond, f.second);
    (void)CRecordHolder::SetDateTimePart(period, editor, field, kSchMinute, f.minute);
    (void)CRecordHolder::SetDateTimePart(period, editor, field, kSchHour, f.hour);
    (void)CRecordHolder::SetDateTimePart(period, editor, field, kSchDay, LimitDay(kind, f));
    (void)CRecordHolder::SetDateTimePart(period, editor, field, kSchMonth, f.month);
    (void)CRecordHolder::SetDateTimePart(period, editor, field, kSchYear, f.year);
    CRecordUndo::EndGroup(group);
}

void USchEdit::WriteWeekday(CRecordRef period, LHandler* editor, uint32_t field, uint32_t index) {
    if (IsPeriod(period)) (void)CRecordHolder::SetDateTimePart(period, editor, field, kSchWeekday, index + 1);
}

void USchEdit::ChooseKind(CRecordRef period, LHandler* editor, uint32_t item, const Fields& start,
                          const Fields& end) {
    if (!IsPeriod(period) || item > 6) return;
    void* group = CRecordUndo::BeginGroup(editor);
    (void)period.SetByte(editor, T::kScepRange, static_cast<uint8_t>(6 - item));
    WriteEnd(period, editor, T::kScepStart, start);
    WriteEnd(period, editor, T::kScepEnd, end);
    CRecordUndo::EndGroup(group);
}

SchDateTime USchEdit::TestDateTime(uint32_t year, uint32_t month, uint32_t day, uint32_t hour,
                                   uint32_t minute, uint32_t second) {
    SchDateTime t;
    t.year = Year(year);
    t.month = Small(month, 255);
    t.day = Small(day, 255);
    t.hour = Small(hour, 255);
    t.minute = Small(minute, 255);
    t.second = Small(second, 255);
    SchDateTime::Normalize(t);
    return t;
}

bool USchEdit::ReadPlace(CRecordRef settings, const char* key, CLRect& place) {
    if (!settings) return false;
    const CLRect r = CParamSet::GetRect(settings, LString(key));
    if (!(r.left < r.right && r.top < r.bottom)) return false;
    place = r;
    return true;
}

void USchEdit::StorePlace(CRecord* settings, const char* key, const CLRect& place) {
    if (settings) CParamSet::SetRect(settings, LString(key), place);
}
