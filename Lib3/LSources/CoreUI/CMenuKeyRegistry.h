#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreString/LString.h"

class CRecord;
class LMenuBar;
class LMenuItem;

// What the registry asks of the user: the key dialog and its two messages (0: the chosen item has a
// built-in key, 1: the typed key is another item's built-in key). The dialog classes provide it.
class CMenuKeyUI {
public:
    virtual ~CMenuKeyUI() = default;
    // Runs the key dialog with the owner as upper handler; false on Cancel, else the key spec typed
    // (empty: no key).
    virtual bool AskKey(LHandler* owner, LString* spec) = 0;
    virtual void ShowMessage(uint32_t index) = 0;
};

// Key equivalents of the user's own, kept in a 'PRMT' table of domain 'YUND' (one column; each row a
// set with "cmd", "text" and "key") and applied to the menu bar whenever one is added and after
// every change, so that one key is bound to one item. Built-in keys from the menu resources stay.
// After Arm, the next item chosen is not performed: the owner hands its "LMenuItem_Selected" here and
// the dialog asks for a key. Main thread only.
class CMenuKeyRegistry {
public:
    CMenuKeyRegistry(LHandler* owner, CMenuKeyUI* ui);
    ~CMenuKeyRegistry();
    CMenuKeyRegistry(const CMenuKeyRegistry&) = delete;
    CMenuKeyRegistry& operator=(const CMenuKeyRegistry&) = delete;

    void Arm();
    bool IsArmed() const { return fArmed; }
    // "LMenuBar_Added" (apply), "LMenuBar_Ready" (arming steps), "LMenuItem_Selected" while armed
    // (register); true when consumed.
    bool HandleMenuMessage(const LMessage& msg);

    // Replaces the table by a copy of the 'PRMT' record in the field (another record is ignored),
    // normalises it and applies it to the main bar.
    void Load(CRecordRef ref, uint32_t field);
    // Stores a copy of the table in the field.
    void Save(CRecordRef ref, uint32_t field) const;

    void RegisterItem(LMenuItem* item);
    void Normalize();
    void ApplyTo(LMenuBar* bar);

    CRecordRef Table() { return CRecordRef(&fTable); }
    uint32_t RowCount() const;
    // A cell of a row ("cmd", "text", "key"); empty when missing.
    LString Cell(uint32_t row, const char* key) const;

private:
    void AppendRow(const LString& cmd, const LString& text, const LString& key);

    LHandler* fOwner;
    CMenuKeyUI* fUI;
    CRecord* fTable = nullptr;
    bool fArmed = false;
    bool fMenuSeen = false;
};
