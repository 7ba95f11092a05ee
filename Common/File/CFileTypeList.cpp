#include "Common/File/CFileTypeList.h"

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/UCharIn.h"
#include "Lib3/LSources/String/CStrU.h"

CFileTypeList::CFileTypeList(const LString* strings, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        LStrCharIn in(strings[i]);
        LString lines[4];
        bool complete = true;
        for (LString& line : lines) complete = complete && UCharIn::ReadRestOfLine(in, line);
        if (!complete) continue;
        fEntries.Append(new Entry{lines[2], lines[3], CStrU::FccFromStringOrBlanks(lines[1].Text()),
                                  CStrU::FccFromStringOrBlanks(lines[0].Text())});
    }
}

CFileTypeList::~CFileTypeList() {
    fEntries.DeleteAll();
}

LString CFileTypeList::Name(uint32_t index) const {
    return index < fEntries.Count() ? fEntries[index]->name : LString();
}

LString CFileTypeList::Extension(uint32_t index) const {
    return index < fEntries.Count() ? fEntries[index]->extension : LString();
}

uint32_t CFileTypeList::Creator(uint32_t index) const {
    return index < fEntries.Count() ? fEntries[index]->creator : 0x3F3F3F3F;
}

uint32_t CFileTypeList::FileType(uint32_t index) const {
    return index < fEntries.Count() ? fEntries[index]->fileType : 0x54455854;
}
