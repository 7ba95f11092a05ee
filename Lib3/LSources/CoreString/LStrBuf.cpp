#include "Lib3/LSources/CoreString/LStrBuf.h"

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/String/UString.h"

void LStrBuf::Append(const unsigned char* text) {
    Append(text, UString::LengthOf(text));
}

void LStrBuf::Append(const char* text) {
    Append(reinterpret_cast<const unsigned char*>(text));
}

void LStrBuf::Append(const LString& s) {
    Append(s.Text(), s.Length());
}
