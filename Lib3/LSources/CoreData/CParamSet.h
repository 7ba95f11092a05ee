#pragma once

#include <cstdint>
#include <vector>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/SFieldDesc.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/Fs/LFsSpec.h"

class CBytes;
class CRecordType;
class CScrapReader;
class LHandler;
struct SRecordEvent;

// Open-ended settings as records of domain "YUND": a set ("PRMS") of entries ("PRAM": key, value
// text, optional nested set) in insertion order, and a table ("PRMT") of sets, row by row. All
// values are texts. Edits go through the record setters, so they are undoable and observed.
class CParamSet {
public:
    static constexpr uint32_t kDomain = Fcc("YUND");
    static constexpr uint32_t kEntry = Fcc("PRAM");
    static constexpr uint32_t kSet = Fcc("PRMS");
    static constexpr uint32_t kTable = Fcc("PRMT");
    enum : uint32_t { kEntryKey = 0, kEntryValue = 1, kEntrySubSet = 2 };
    enum : uint32_t { kSetEntries = 0 };

    // The registered types (referencing them keeps them linked into a program).
    static const CRecordType& EntryType();
    static const CRecordType& SetType();
    static const CRecordType& TableType();

    // The index of the entry with exactly that key (and its value), or -1.
    static int Find(CRecordRef set, const LString& key, LString* value = nullptr);
    // An empty value deletes the entry; a plain value replaces a nested set (one undo step);
    // consecutive values of one entry merge into one undo entry.
    static void SetString(CRecordRef set, LHandler* editor, const LString& key, const LString& value);
    static CRecord* GetSubSet(CRecordRef set, const LString& key);
    static CRecord* GetSubSetByIndex(CRecordRef set, uint32_t n);
    static CRecord* GetOrCreateSubSet(CRecordRef set, LHandler* editor, const LString& key);

    static int GetInt(CRecordRef set, const LString& key, int32_t& value);
    static int32_t GetIntOr(CRecordRef set, const LString& key, int32_t fallback);
    static int GetFloat(CRecordRef set, const LString& key, double& value);
    // Two hexadecimal digits per byte.
    static int GetBytes(CRecordRef set, const LString& key, CBytes& bytes);
    static void SetInt(CRecordRef set, LHandler* editor, const LString& key, int32_t value);
    static void PutIntByName(CRecord* set, const char* key, int32_t value);
    // SetInt without an editing handler: no undo entry (observers still see the change).
    static void PutIntAt(CRecordRef set, const LString& key, int32_t value);
    // At most `decimals` digits (at most 15), trailing zeros and point cut.
    static void SetFloat(CRecordRef set, LHandler* editor, const LString& key, uint32_t decimals,
                         double value);
    static void SetBytes(CRecordRef set, LHandler* editor, const LString& key, const void* bytes, uint32_t n);
    // Four blank-separated integers; all zeros unless all four read.
    static CLRect GetRect(CRecordRef set, const LString& key);
    static void SetRect(CRecord* set, const LString& key, const CLRect& rect);
    // The value read as a file URL or path; empty when absent or unresolvable.
    static LFsSpec GetFileSpec(CRecordRef set, const LString& key);
    static void SetFileSpec(CRecord* set, const char* key, const LFsSpec& spec);

    // What changed, for observers.
    struct Change {
        LString key;
        CRecord* set = nullptr;    // the set holding the entry
        CRecord* table = nullptr;  // the table when the set is one of its cells
        uint32_t column = 0;
        uint32_t row = 0;
        CRecord* holder = nullptr;    // the record holding the table, or the outermost set
        uint32_t field = 0;           // and the field of it
        std::vector<CRecord*> outer;  // enclosing entries of a nested set, inner first
    };
    // True for a value change or deletion of an entry, or an insertion into a set.
    static bool ParseChange(const SRecordEvent& event, Change& change);
};

class CParamTable {
public:
    enum : uint32_t { kCols = 0, kCells = 1, kBegin = 2, kEnd = 3, kOpIndex = 4, kShownCols = 5, kOp = 6 };
    enum : uint8_t { kOpNone = 0, kOpRow = 1, kOpColumn = 2 };
    enum : int { kNoChange = 0, kRowInserted = 1, kColumnInserted = 2, kRowRemoved = 3, kColumnRemoved = 4 };

    static void GetSize(CRecordRef table, uint32_t& cols, uint32_t& rows);
    static bool GetCell(CRecordRef table, uint32_t column, uint32_t row, const LString& key, LString& value);
    static void SetCell(CRecordRef table, LHandler* editor, uint32_t column, uint32_t row, const LString& key,
                        const LString& value);
    // Cells come from the reader while it yields sets; new empty sets after that.
    static void InsertRows(CRecordRef table, LHandler* editor, uint32_t row, CScrapReader& cells);
    static void InsertColumn(CRecordRef table, LHandler* editor, uint32_t column, CScrapReader& cells);
    static void AppendRow(CRecordRef table, LHandler* editor);
    static void AppendColumn(CRecordRef table, LHandler* editor);
    static void DeleteRow(CRecordRef table, LHandler* editor, uint32_t row);
    // Deletes surplus cells from the end (no undo).
    static void Trim(CRecordRef table, uint32_t cols, uint32_t rows);
    // One of the k... results, with the row or column concerned.
    static int ParseChange(const SRecordEvent& event, uint32_t& index);
};
