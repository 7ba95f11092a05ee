#include "Common/String/UQuote.h"

#include <cstring>

#include "Lib3/LSources/CoreString/LStrBuf.h"

namespace {

bool IsWhite(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

}  // namespace

void UQuote::Append(LStrBuf& out, const char* text, bool force) {
    if (!text) {
        if (force) out.Append("\"\"");
        return;
    }
    bool quote = force;
    for (const char* p = text; *p && !quote; ++p)
        quote = *p == '"' || IsWhite(static_cast<unsigned char>(*p));
    if (!quote) {
        out.Append(text);
        return;
    }
    out.Append(static_cast<unsigned char>('"'));
    for (const char* p = text; *p; ++p) {
        if (*p == '"') out.Append(static_cast<unsigned char>('"'));
        out.Append(static_cast<unsigned char>(*p));
    }
    out.Append(static_cast<unsigned char>('"'));
}
