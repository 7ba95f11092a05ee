#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/LFrame.h"

class CRecordHolder;
class CWeekList;
class LEditText;
class LTextPane;
struct SRecordEvent;

// The conditions of one schedule entry ("QLTSCHPRMF"): text fields for the year, month, day,
// hour, minute and second conditions, stored as typed, and a week list for the weekdays, stored
// as "1,3,". It shows nothing (and is disabled) without an entry, follows its entry's values and
// lets go of an entry that leaves the tree. Edits are undoable with the frame as editing handler.
// Main thread only.
class CSchPrmFrame : public LFrame {
public:
    static constexpr const char* kName = "QLTSCHPRMF";

    CSchPrmFrame(LHandler* upper, LPane* owner, CRecordHolder* holder);
    ~CSchPrmFrame() override;

    LMessage Handle(const LMessage& msg) override;

    // Shows an entry (SCEV), or nothing for null.
    void Show(CRecord* entry);
    CRecord* Entry() const { return fEntry; }

    // Field i: 0 year, 1 month, 2 day, 3 hour, 4 minute, 5 second.
    LEditText* Field(uint32_t i) const { return i < 6 ? fFields[i] : nullptr; }
    CWeekList* WeekList() const { return fWeek; }

private:
    static void Observe(void* context, const SRecordEvent* event);
    void OnRecordChange(const SRecordEvent& event);
    void Refresh();
    static uint32_t RecordField(uint32_t i);

    CRecordHolder* fHolder;
    CRecord* fEntry = nullptr;
    LEditText* fFields[6] = {};
    CWeekList* fWeek = nullptr;
    bool fStoring = false;
};
