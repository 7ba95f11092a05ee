#pragma once

#include "Lib3/LSources/CoreString/LString.h"

class CRecordHolder;

// One record kept in the preferences under a key: read from the current application's
// preferences when made, written back (and the file synchronised) when destroyed.
class CPrefsRecord {
public:
    CPrefsRecord(CRecordHolder* holder, const LString& key);
    ~CPrefsRecord();
    CPrefsRecord(const CPrefsRecord&) = delete;
    CPrefsRecord& operator=(const CPrefsRecord&) = delete;

    // Writes the record now (as the destructor does).
    void Save();

private:
    CRecordHolder* mHolder;
    LString mKey;
};
