#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CHeapBuffer.h"
#include "Lib3/LSources/FsFile/CMacForkStream.h"

// A file stream with a 512-byte block buffer: small reads and writes cost one file call per
// block, and runs of whole blocks go to the file directly.
class CFileStream : public CMacForkStream {
public:
    static constexpr uint32_t kBlock = 512;

    CFileStream(const LFsSpec& spec, uint32_t mode);
    ~CFileStream() override;

    // Writes the buffered bytes out; the position stays.
    void Flush();

protected:
    void DoSeek(uint64_t position) override;
    void DoSeekEnd() override;
    void DoSetEnd() override;
    void DoPut(const void* bytes, uint64_t count) override;
    void DoGet(void* bytes, uint64_t& count) override;

private:
    void Fill();
    void Restart(uint64_t position) {
        fBufferPosition = position;
        fValid = 0;
    }
    void KeepOrRestart(uint64_t position);

    uint64_t fBufferPosition = 0;
    uint32_t fValid = 0;
    CHeapBuffer fBlock{kBlock};
    bool fDirty = false;
};
