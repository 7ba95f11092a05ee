#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"

class LStrBuf;

// Operations on URL paths and their segments.
class CURLU {
public:
    // The percent-encoded form of one segment: letters, digits and ! $ ' ( ) * + , - . _ stay;
    // every other byte becomes %XX. The segments "." and ".." become %2E and %2E%2E.
    static LString Encode(const unsigned char* segment);
    static LString Encode(const unsigned char* segment, uint32_t length);
    static void Encode(const unsigned char* segment, uint32_t length, LStrBuf& out);

    // Appends "/" (unless the text already ends with one) and the encoded segment; nothing for an
    // empty segment.
    static void Descend(LStrBuf& path, const unsigned char* segment);

    // The next decoded segment after any "/" characters; the pointer moves to the following "/" or
    // the end. "" at the end of the path.
    static LString Dig(const unsigned char*& path);

    // Splits at the last "/" followed by another character: returns the parent (up to and
    // including that "/", or "") and stores the decoded leaf.
    static LString Ascend(const unsigned char* path, LString& leaf);

    // The decoded leaf of the path of URL text.
    static LString GetLeafDecoded(const unsigned char* url);

    // The relative reference to target from the folder base.
    static LString GetRelativePath(const unsigned char* target, const unsigned char* base);

    // IPv4 addresses in host byte order.
    static LString AddrToStr(uint32_t address);
    static uint32_t StrToAddr(const unsigned char* text);
    static LString HostPortToStr(uint32_t address, uint32_t port);

    // Decodes %XX escapes of n bytes into out; any other byte stands for itself.
    static void Decode(const unsigned char* text, uint32_t n, LStrBuf& out);
};
