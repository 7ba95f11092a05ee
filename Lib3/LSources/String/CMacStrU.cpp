#include "Lib3/LSources/String/CMacStrU.h"

#include <cstring>
#include <string>

#include "Lib3/LSources/String/CCString.h"
#include "Lib3/LSources/String/CMacUniConv.h"
#include "Lib3/LSources/String/CStrU.h"
#include "Lib3/LSources/String/UString.h"
#include "Lib3/LSources/String/UUtf8.h"
#include "Platform/Foundation/String.h"

plat::Ref<plat::String> CMacStrU::CFStringFromRString(const unsigned char* text) {
    uint32_t n = UString::LengthOf(text);
    if (!text || !isValidUtf8(text, n)) return plat::String::CreateEmpty();
    // The structural check lets overlong forms and surrogates through; the conversion does not.
    plat::Ref<plat::String> s = plat::String::Create(text, n, plat::TextEncoding::kUtf8);
    return s ? s : plat::String::CreateEmpty();
}

LString CMacStrU::LStringFromCFString(const plat::String* const& s) {
    if (!s) return LString();
    std::string bytes;
    s->GetBytes(plat::TextEncoding::kUtf8, bytes);
    return LString(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

LString CMacStrU::LStringFromUniStr(const uint16_t* units, uint32_t count) {
    LVariBuffer<unsigned char> buf;
    uint32_t n = CMacUniConv::Shared().UnicodeToText(units, count, buf);
    return LString(buf.Data(), n);
}

LString CMacStrU::LStringFromPascal(const unsigned char* pascal) {
    if (!pascal) return LString();
    const unsigned char* bytes = pascal + 1;
    uint32_t n = pascal[0];
    if (isValidUtf8(bytes, n)) return LString(bytes, n);
    return CStrU::LStringFromCString(reinterpret_cast<const char*>(bytes), n);
}

void CMacStrU::RStringToPascal(const unsigned char* text, unsigned char* pascal, unsigned char maxLength) {
    if (!pascal) return;
    CCString c(text);
    uint32_t n = c.Length() < maxLength ? c.Length() : maxLength;
    std::memcpy(pascal + 1, c.Text(), n);
    pascal[0] = static_cast<unsigned char>(n);
}
