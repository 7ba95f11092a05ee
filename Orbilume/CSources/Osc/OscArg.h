#pragma once

#include <cstdint>
#include <string>

// One OSC argument, in type-tag order. Received texts and blobs point into the datagram buffer and are
// valid only while the message is handled; a sender's texts and blobs belong to its caller.
struct OscArg {
    uint32_t tag = 0;  // the type-tag character: 'F' 'I' 'N' 'T' 'b' 'f' 'i' 's' 't'
    union {
        int32_t i;
        float f;
        uint64_t t;
        const char* s;
        const uint8_t* b;
    } value{};
    uint32_t size = 0;  // blob length ('b' only)

    static OscArg Int(int32_t v);
    static OscArg Float(float v);
    static OscArg Text(const char* s);
    static OscArg Blob(const uint8_t* bytes, uint32_t length);
    static OscArg TimeTag(uint64_t v);
    static OscArg Flag(char tag);  // 'F' 'I' 'N' 'T'

    // 'f' rounds half away from zero; NaN gives 0 and out-of-range values saturate. 's' reads a
    // leading base-10 integer; 'T' 1; 't' the whole seconds; others 0.
    int32_t AsInt() const;
    // 's' reads a leading number (always with a decimal point); 't' seconds; 'T' 1.
    float AsFloat() const;
    // 'F' "0", 'T' "1", numbers in decimal (decimals 0 to 9 for 'f' and 't'), 's' the text.
    std::string AsText(int decimals) const;
};
