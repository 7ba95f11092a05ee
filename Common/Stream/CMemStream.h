#pragma once

#include <cstdint>

#include "Common/Stream/CStream.h"
#include "Lib3/LSources/CoreData/LVariBufferBase.h"

class CBytes;

// Memory stream over fixed memory, a growable byte buffer or a CBytes array. Over a growable
// buffer or a CBytes, destruction (without error) cuts the target to what was written.
class CMemStream : public CStream {
public:
    // Fixed memory: readable from the start when data is given, never grows.
    CMemStream(void* data, uint32_t size);
    explicit CMemStream(LVariBuffer<uint8_t>& buffer);
    explicit CMemStream(CBytes& bytes);
    ~CMemStream() override;

    // Bytes written so far (the readable length).
    uint64_t End() const { return mEnd; }
    uint32_t Capacity() const { return mCapacity; }
    const uint8_t* Data() const;

protected:
    void DoSeekEnd() override { mPosition = mEnd; }
    void DoSetEnd() override;
    void DoPut(const void* bytes, uint64_t count) override;
    void DoGet(void* bytes, uint64_t& count) override;

private:
    bool GrowFor(uint64_t need);
    void FollowBuffer();

    uint32_t mCapacity = 0;
    uint64_t mEnd = 0;
    uint8_t* mData = nullptr;
    LVariBuffer<uint8_t>* mBuffer = nullptr;
    CBytes* mBytes = nullptr;
};
