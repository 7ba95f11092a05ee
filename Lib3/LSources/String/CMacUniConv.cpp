#include "Lib3/LSources/String/CMacUniConv.h"

#include <cstring>
#include <string>

#include "Lib3/LSources/String/UString.h"
#include "Platform/Foundation/String.h"

CMacUniConv& CMacUniConv::Shared() {
    static CMacUniConv conv;
    return conv;
}

uint32_t CMacUniConv::Convert(const void* bytes, uint32_t length, plat::TextEncoding from,
                              plat::TextEncoding to, LVariBuffer<unsigned char>& out) const {
    (void)out.SetSize(0, false);  // size 0 only frees
    plat::Ref<plat::String> s = plat::String::Create(static_cast<const uint8_t*>(bytes), length, from);
    if (!s) return 0;
    std::string result;
    s->GetBytes(to, result, '?');
    uint32_t n = static_cast<uint32_t>(result.size());
    if (n == 0 || !out.SetSize(n, false)) return 0;
    std::memcpy(out.Data(), result.data(), n);
    return n;
}

uint32_t CMacUniConv::TextToUnicode(const unsigned char* text, uint32_t length,
                                    LVariBuffer<unsigned char>& out) const {
    return Convert(text, text ? length : 0, plat::TextEncoding::kUtf8, plat::TextEncoding::kUtf16, out);
}

uint32_t CMacUniConv::TextToUnicode(const unsigned char* text, LVariBuffer<unsigned char>& out) const {
    return TextToUnicode(text, UString::LengthOf(text), out);
}

uint32_t CMacUniConv::UnicodeToText(const uint16_t* units, uint32_t count,
                                    LVariBuffer<unsigned char>& out) const {
    return Convert(units, units ? count * 2 : 0, plat::TextEncoding::kUtf16, plat::TextEncoding::kUtf8, out);
}

uint32_t CMacUniConv::TextToCString(const unsigned char* text, LVariBuffer<unsigned char>& out) const {
    return Convert(text, UString::LengthOf(text), plat::TextEncoding::kUtf8, fLegacy, out);
}

uint32_t CMacUniConv::CStringToText(const char* text, uint32_t length,
                                    LVariBuffer<unsigned char>& out) const {
    return Convert(text, text ? length : 0, fLegacy, plat::TextEncoding::kUtf8, out);
}

uint32_t CMacUniConv::CStringToText(const char* text, LVariBuffer<unsigned char>& out) const {
    return CStringToText(text, UString::LengthOf(text), out);
}
