#pragma once

#include <cstdint>

#include "Common/Stream/CMemStream.h"

class CBytes;
class CRecord;

// Writes records as a scrap image into a byte array (replacing its contents): one outer chunk whose id is the
// form type and whose body is the u32 version followed by one chunk per record. Destroying the writer (or
// Close) fills in the outer length.
class CScrapWriter {
public:
    CScrapWriter(uint32_t formType, uint32_t version, CBytes& data);
    ~CScrapWriter();
    CScrapWriter(const CScrapWriter&) = delete;
    CScrapWriter& operator=(const CScrapWriter&) = delete;

    // Appends one record chunk (a null record gives the empty-element chunk). False, with nothing
    // appended, for a tree nested deeper than the image allows or a full buffer.
    [[nodiscard]] bool WriteRecord(const CRecord* record);
    void Close();

private:
    CMemStream mStream;
    uint64_t mOuterStart = 0;
    bool mOpen = false;
};
