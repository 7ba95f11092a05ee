#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"

// A source of bytes with one byte of put-back.
class LCharIn {
public:
    LCharIn() = default;
    LCharIn(const LCharIn&) = delete;
    LCharIn& operator=(const LCharIn&) = delete;
    virtual ~LCharIn() = default;

    // The next byte; false at the end (c is then 0).
    virtual bool Get(unsigned char& c) = 0;
    // Steps back over the byte last read.
    virtual void Unget() = 0;
    // Up to n bytes; returns how many were read.
    virtual uint32_t Get(unsigned char* bytes, uint32_t n);
};

// Reads a byte range; a NUL byte ends single-byte reads even before the end of the range.
// The text must outlive the reader.
class LCStrCharIn : public LCharIn {
public:
    LCStrCharIn() { Setup(nullptr, 0); }
    LCStrCharIn(const unsigned char* text, uint32_t length) { Setup(text, length); }
    explicit LCStrCharIn(const char* text);

    void Setup(const unsigned char* text, uint32_t length);

    bool Get(unsigned char& c) override;
    void Unget() override;
    // Copies raw bytes, NUL bytes included.
    uint32_t Get(unsigned char* bytes, uint32_t n) override;

    const unsigned char* Cursor() const { return fCursor; }
    uint32_t Remaining() const { return static_cast<uint32_t>(fEnd - fCursor); }

private:
    const unsigned char* fStart;
    const unsigned char* fEnd;
    const unsigned char* fCursor;
};

// Reads the text of a string it keeps alive.
class LStrCharIn : public LCStrCharIn {
public:
    explicit LStrCharIn(const LString& s) : fString(s) { Setup(fString.Text(), fString.Length()); }

private:
    LString fString;
};
