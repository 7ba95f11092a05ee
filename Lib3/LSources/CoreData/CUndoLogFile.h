#pragma once

#include <cstdint>

#include "Common/Stream/CStream.h"

// The private byte log of an undo queue: a temporary file created exclusively with mode 0600 in
// $TMPDIR (or /tmp), named "undo" with the millisecond clock appended, and unlinked at once so
// that nothing is left behind. Reads and writes are positioned; the file grows as it is written.
class CUndoLogFile : public CStream {
public:
    CUndoLogFile();
    ~CUndoLogFile() override;

    bool IsOpen() const { return mFd >= 0; }

protected:
    void DoSeekEnd() override;
    void DoSetEnd() override;
    void DoPut(const void* bytes, uint64_t count) override;
    void DoGet(void* bytes, uint64_t& count) override;

private:
    int mFd = -1;
};
