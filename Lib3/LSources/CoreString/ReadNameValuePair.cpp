#include "Lib3/LSources/CoreString/ReadNameValuePair.h"

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreString/ReadQuoted.h"
#include "Lib3/LSources/CoreString/UCharIn.h"

namespace {

// The name up to '=' (consumed); false when a line end or the end of input comes first.
bool ReadName(LCharIn& in, LStrBuf& out) {
    uint32_t blanks = 0;
    unsigned char c;
    while (in.Get(c)) {
        if (c == '=') return true;
        if (UCharIn::IsLineEnd(c)) {
            in.Unget();
            return false;
        }
        if (c == ' ' || c == '\t') {
            if (out.Length() > 0) ++blanks;
            continue;
        }
        for (; blanks > 0; --blanks) out.Append(static_cast<unsigned char>(' '));
        out.Append(c);
    }
    return false;
}

}  // namespace

bool ReadNameValuePair(LCharIn& in, LString& name, LString& value) {
    LVariStr<64> buf;
    if (!ReadName(in, buf) || buf.Length() == 0) {
        name = LString();  // no name, not the part read before the line end
        return false;
    }
    name = LString(buf);
    (void)ReadQuotedValue(in, buf, ';', true);  // an empty value is still a pair
    value = LString(buf);
    return true;
}
