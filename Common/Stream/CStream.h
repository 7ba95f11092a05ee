#pragma once

#include <cstdint>

// Byte stream with a 64-bit position and a sticky error: the first error stays, and every operation
// does nothing (Get delivers 0 bytes) while an error is set. Subclasses implement the Do* hooks;
// the public operations apply the error and write-permission rules once for all of them.
class CStream {
public:
    enum : uint32_t { kModeRead = 0, kModeWritable = 1 };
    enum : uint32_t { kErrNone = 0, kErrNotWritable = 2, kErrFull = 4 };

    explicit CStream(uint32_t mode = kModeWritable) : mMode(mode) {}
    virtual ~CStream() = default;

    CStream(const CStream&) = delete;
    CStream& operator=(const CStream&) = delete;

    void Seek(uint64_t position);
    void SeekEnd();
    // Makes the stream end at the current position.
    void SetEnd();
    void Put(const void* bytes, uint64_t count);
    // Reads up to count bytes; count becomes the number delivered.
    void Get(void* bytes, uint64_t& count);

    // Fixed-width helpers in the machine's byte order; a short read yields false.
    void PutU8(uint8_t v) { Put(&v, 1); }
    void PutU32(uint32_t v) { Put(&v, sizeof v); }
    void PutU64(uint64_t v) { Put(&v, sizeof v); }
    bool GetU8(uint8_t& v) { return GetExactly(&v, sizeof v); }
    bool GetU32(uint32_t& v) { return GetExactly(&v, sizeof v); }
    bool GetU64(uint64_t& v) { return GetExactly(&v, sizeof v); }
    bool GetExactly(void* bytes, uint64_t count);

    uint64_t Position() const { return mPosition; }
    uint32_t Mode() const { return mMode; }
    bool IsWritable() const { return mMode == kModeWritable; }
    uint32_t Error() const { return mError; }
    bool HasError() const { return mError != kErrNone; }
    // Keeps the first error.
    void SetError(uint32_t error) {
        if (mError == kErrNone) mError = error;
    }

protected:
    virtual void DoSeek(uint64_t position) { mPosition = position; }
    virtual void DoSeekEnd() = 0;
    virtual void DoSetEnd() = 0;
    virtual void DoPut(const void* bytes, uint64_t count) = 0;
    virtual void DoGet(void* bytes, uint64_t& count) = 0;

    uint64_t mPosition = 0;
    uint32_t mMode;

private:
    uint32_t mError = kErrNone;
};
