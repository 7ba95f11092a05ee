#pragma once

#include <cstdint>

class LString;

// Text builder interface: the text is always NUL-terminated and never null.
class LStrBuf {
public:
    LStrBuf() = default;
    LStrBuf(const LStrBuf&) = delete;
    LStrBuf& operator=(const LStrBuf&) = delete;
    virtual ~LStrBuf() = default;

    virtual operator const unsigned char*() const = 0;
    // Empties the text, keeping storage.
    virtual void Reset() = 0;
    // Empties the text and gives storage back.
    virtual void Free() = 0;
    virtual void Append(const unsigned char* bytes, uint32_t n) = 0;

    void Append(const unsigned char* text);  // NUL-terminated; null appends nothing
    void Append(const char* text);
    void Append(const char* bytes, uint32_t n) { Append(reinterpret_cast<const unsigned char*>(bytes), n); }
    void Append(unsigned char c) { Append(&c, 1); }
    void Append(const LString& s);

    const unsigned char* Text() const { return *this; }
    const char* CStr() const { return reinterpret_cast<const char*>(Text()); }
    uint32_t Length() const { return fLength; }
    // Set when storage could not be had (growing builders) or text was cut (fixed builders);
    // cleared by Reset and Free.
    bool HasFailed() const { return fFailed; }

protected:
    bool fFailed = false;
    uint32_t fLength = 0;
};
