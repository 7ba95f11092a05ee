#include "Lib3/LSources/String/CAsciiString.h"

#include <cstring>

CAsciiString::CAsciiString(const LString& s) : fString(s), fText(""), fLength(s.Length()) {
    if (fLength) fText = fString.CStr();
}

CAsciiString::CAsciiString(const char* text) : fText(""), fLength(0) {
    if (!text) return;
    const size_t n = std::strlen(text);
    fLength = n > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(n);
    if (fLength) fText = text;
}
