#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreString/LString.h"

class LHandler;

// The MIDI input table: a one-column YUND parameter table, one row per known source, with the keys
// "name" (the composed source name), "use" ("1" when switched on, absent when off) and "stat"
// (0 off, 1 connected, 2 connection failed). Changes go through the record setters.
class MidiInTable {
public:
    enum : int32_t { kStatOff = 0, kStatConnected = 1, kStatFailed = 2 };

    explicit MidiInTable(CRecordRef table) : fTable(table) {}

    uint32_t RowCount() const;
    LString GetName(uint32_t row) const;
    void SetName(uint32_t row, const LString& name, LHandler* editor = nullptr) const;
    bool GetUse(uint32_t row) const;
    void SetUse(uint32_t row, bool use, LHandler* editor = nullptr) const;
    int32_t GetStat(uint32_t row) const;
    void SetStat(uint32_t row, int32_t stat, LHandler* editor = nullptr) const;
    void AppendRow(const LString& name, LHandler* editor = nullptr) const;
    void DeleteRow(uint32_t row, LHandler* editor = nullptr) const;
    // Deletes every row and leaves one column.
    void Clear() const;

    CRecordRef Ref() const { return fTable; }

private:
    CRecordRef fTable;
};
