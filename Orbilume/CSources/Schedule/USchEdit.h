#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/CoreUI/SchDateTime.h"

class LHandler;

// The edits the schedule editors make, apart from their panes: the week list's text, a period's
// ends written from the date-time fields, a kind chosen, the test window's date and the stored
// window places. Every write goes through the record setters with the editing handler (undoable).
// Main thread only.
class USchEdit {
public:
    // The weekday condition as a week list shows it: bit k (k = 0 Monday ... 6 Sunday) set when
    // k + 1 is in the text read as a range list.
    static uint8_t WeekMaskOf(const LString& condition);
    // The text the week list stores: for each set bit k in order, k + 1 and "," ("1,3,").
    static LString WeekTextOf(uint8_t mask);

    // The fields of a date-time frame (the weekday is 1 Monday ... 7 Sunday).
    struct Fields {
        uint32_t year = 2020, month = 1, day = 1, weekday = 1, hour = 0, minute = 0, second = 0;
    };
    // A period end's fields as stored (missing parts at their minimum).
    static Fields ReadEnd(CRecordRef period, uint32_t field);
    // The day limited to the month's length for the kind: kind 6 by the frame's year and month,
    // kind 5 by the month with February counted as 29 days; other kinds leave it.
    static uint32_t LimitDay(uint8_t kind, const Fields& f);
    // Writes parts 0, 1, 2, 4, 5 and 6 of 'strt' or 'endp' from the fields (the day limited for
    // the period's kind), as one undo step.
    static void WriteEnd(CRecordRef period, LHandler* editor, uint32_t field, const Fields& f);
    // The weekday popup: part 3 := index + 1.
    static void WriteWeekday(CRecordRef period, LHandler* editor, uint32_t field, uint32_t index);
    // A kind chosen in the header (item i: kind 6 - i): 'rang' and then both ends written again
    // from their frames, as one undo step.
    static void ChooseKind(CRecordRef period, LHandler* editor, uint32_t item, const Fields& start,
                           const Fields& end);

    // The test window's fields as a normalised date-time (day limited, weekday computed).
    static SchDateTime TestDateTime(uint32_t year, uint32_t month, uint32_t day, uint32_t hour,
                                    uint32_t minute, uint32_t second);

    // A window place stored in the settings set, applied only when left < right and top < bottom.
    static bool ReadPlace(CRecordRef settings, const char* key, CLRect& place);
    static void StorePlace(CRecord* settings, const char* key, const CLRect& place);
};
