#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LVariStr.h"

// Splits a MIME/HTTP header block, fed one byte at a time, into (name, value) lines. A line that
// starts with a blank or tab continues the previous value (joined with one blank). Every line is
// reported once; the empty line that ends the block is reported as soon as its line end arrives.
class CHeaderLineParser {
public:
    enum Result : int {
        kNone = 0,
        kLine = 1,  // a line is complete; an empty name and value is the block's end
        // A header line is complete and this byte (a bare line feed) also ended the block with an
        // empty line: the buffers hold the header line.
        kLineAndEnd = 2,
    };

    // Longest name or value kept; further bytes of it are dropped and Overflowed() is set.
    static constexpr uint32_t kMaxField = 16 * 1024;

    CHeaderLineParser() = default;

    // Starts a new block: buffers emptied by the next byte, no pending byte, state kept.
    void Reset();
    int Feed(uint8_t byte);

    // The completed line stays readable until the next byte is fed.
    const LVariStr<16>& Name() const { return fName; }
    const LVariStr<16>& Value() const { return fValue; }
    // Set when the current line lost bytes to kMaxField.
    bool Overflowed() const { return fOverflow; }
    uint8_t State() const { return fState; }

private:
    void Append(LVariStr<16>& buf, uint8_t byte);

    LVariStr<16> fName;
    LVariStr<16> fValue;
    bool fResetPending = true;
    bool fOverflow = false;
    uint8_t fState = 0;
    uint8_t fPending = 0;
};
