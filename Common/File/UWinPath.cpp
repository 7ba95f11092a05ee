#include "Common/File/UWinPath.h"

#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/String/UString.h"

namespace {

const unsigned char kEmpty[] = "";

bool IsSeparator(unsigned char c) {
    return c == ':' || c == '\\';
}

}  // namespace

const unsigned char* UWinPath::FindPathName(const unsigned char* text) {
    if (!text) return kEmpty;
    const unsigned char* p = text;
    while (*p && !IsSeparator(*p)) ++p;
    if (!*p) return p;
    while (IsSeparator(*p)) ++p;
    return p;
}

const unsigned char* UWinPath::FindLeafName(const unsigned char* text) {
    if (!text) return kEmpty;
    const unsigned char* leaf = text;
    for (const unsigned char* p = text; *p; ++p) {
        if (IsSeparator(*p)) leaf = p + 1;
    }
    return leaf;
}

const unsigned char* UWinPath::FindExtension(const unsigned char* text) {
    if (!text) return kEmpty;
    const unsigned char* dot = nullptr;
    bool blank = false;
    const unsigned char* p = FindLeafName(text);
    for (; *p; ++p) {
        if (*p == '.') {
            dot = p;
            blank = false;
        } else if (*p == ' ') {
            blank = true;
        } else if (blank) {
            dot = nullptr;  // a blank followed by more text cancels the extension
            blank = false;
        }
    }
    return dot ? dot : p;
}

LString UWinPath::GetFileExtension(const unsigned char* text) {
    const unsigned char* ext = FindExtension(text);
    if (*ext != '.') return LString();
    ++ext;
    uint32_t n = UString::LengthOf(ext);
    while (n > 0 && ext[n - 1] == ' ') --n;
    LVariStr<64> out;
    for (uint32_t i = 0; i < n; ++i) {
        unsigned char c = ext[i];
        out.Append(static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c));
    }
    return LString(out);
}

LString UWinPath::ChangeExtension(const unsigned char* text, const unsigned char* extension) {
    if (!text) text = kEmpty;
    const unsigned char* ext = FindExtension(text);
    LVariStr<64> out;
    out.Append(text, static_cast<uint32_t>(ext - text));
    if (!UString::IsEmpty(extension)) {
        out.Append('.');
        out.Append(extension);
    }
    return LString(out);
}
