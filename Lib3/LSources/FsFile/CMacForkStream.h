#pragma once

#include <cstdint>

#include "Common/Stream/CStream.h"

class LFsSpec;

// Unbuffered stream over a file's data. Linux files have one fork: asking for the resource fork
// fails to open (error 1). Mode 1 opens the existing file for reading and writing, any other mode
// read-only.
class CMacForkStream : public CStream {
public:
    enum : uint32_t { kResourceFork = 4, kNoCache = 2 };
    // Errors beyond CStream's: the fork could not be opened, a read or size query failed, a write
    // or size change failed.
    enum : uint32_t { kErrOpen = 1, kErrRead = 3, kErrWrite = 4 };

    CMacForkStream(const LFsSpec& spec, uint32_t mode, uint32_t flags = 0);
    ~CMacForkStream() override;

    bool IsOpen() const { return fFd >= 0; }

protected:
    void DoSeekEnd() override;
    void DoSetEnd() override;
    void DoPut(const void* bytes, uint64_t count) override;
    void DoGet(void* bytes, uint64_t& count) override;

    // Direct file access at an offset; each sets the stream error on failure.
    [[nodiscard]] bool ForkWrite(uint64_t offset, const void* bytes, uint64_t count);
    // Reads up to count bytes (fewer at the end of the file); false on a read error.
    [[nodiscard]] bool ForkRead(uint64_t offset, void* bytes, uint64_t& count);
    [[nodiscard]] bool ForkSize(uint64_t& size);
    bool ForkTruncate(uint64_t size);
    void CloseFork();

private:
    int fFd = -1;
    uint32_t fFlags;
};
