#pragma once

#include <cstdint>

#include "Common/Container/CPointerArray.h"
#include "Lib3/LSources/CoreString/LString.h"

// The document file types of the open and save dialogs. Each source string holds four lines: the
// file type code, the creator code, the type text that filters files (an extension, or "*"), and
// the label shown for it.
class CFileTypeList {
public:
    // Strings lacking any of the four lines are skipped.
    CFileTypeList(const LString* strings, uint32_t count);
    ~CFileTypeList();
    CFileTypeList(const CFileTypeList&) = delete;
    CFileTypeList& operator=(const CFileTypeList&) = delete;

    uint32_t Count() const { return fEntries.Count(); }
    // "" past the end.
    LString Name(uint32_t index) const;
    LString Extension(uint32_t index) const;
    // '????' past the end.
    uint32_t Creator(uint32_t index) const;
    // 'TEXT' past the end.
    uint32_t FileType(uint32_t index) const;

private:
    struct Entry {
        LString name;
        LString extension;
        uint32_t creator;
        uint32_t fileType;
    };
    CPointerArray<Entry> fEntries;
};
