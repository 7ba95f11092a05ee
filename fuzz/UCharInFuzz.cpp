// Runs the text scanners over arbitrary bytes, as every line and token parser does.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LLtdStrAcu.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreString/UCharIn.h"
#include "Lib3/LSources/String/CStrU.h"
#include "Lib3/LSources/String/ParseInt64Decimal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 1 << 16) return 0;
    const uint8_t program = data[0];
    LCStrCharIn in(data + 1, static_cast<uint32_t>(size - 1));
    // Each pass reads at least one byte or ends, so the number of passes is bounded by the size.
    for (size_t pass = 0; pass <= size; ++pass) {
        const unsigned char* before = in.Cursor();
        LVariStr<64> out;
        LString s;
        int32_t value;
        switch ((program + pass) % 9) {
            case 0:
                UCharIn::Read(in, value);
                break;
            case 1:
                UCharIn::Read(in, s);
                break;
            case 2:
                UCharIn::LineReadUntil(in, out, '=', pass & 1);
                break;
            case 3:
                UCharIn::ReadNumber(in, out);
                break;
            case 4:
                UCharIn::ReadRestOfLine(in, s);
                break;
            case 5:
                UCharIn::ReadAlpha(in, out);
                break;
            case 6:
                UCharIn::ReadChar(in);
                break;
            case 7:
                UCharIn::ReadQuotedField(in, out, ',', pass & 2);
                break;
            case 8:
                UCharIn::ReadQuotedBody(in, out, pass & 2);
                break;
        }
        // Single-byte reads stop at a NUL, so built text never holds one.
        if (std::strlen(out.CStr()) != out.Length()) std::abort();
        if (in.Cursor() == before && !UCharIn::LineNext(in)) {
            unsigned char c;
            if (!in.Get(c)) break;
        }
    }

    std::string text(reinterpret_cast<const char*>(data), size);
    const char* p = text.c_str();
    int64_t number;
    if (ParseInt64Decimal(p, number) && (p < text.c_str() || p > text.c_str() + text.size())) std::abort();

    LVariStr<64> normal;
    CStrU::NormalizeEOL(reinterpret_cast<const unsigned char*>(text.c_str()), normal,
                        reinterpret_cast<const unsigned char*>("\r\n"));
    char small[16];
    LLtdStrAcu acu(small, sizeof small);
    acu.Append(normal.Text(), normal.Length());
    if (acu.Length() >= sizeof small) std::abort();
    (void)CStrU::LStringFromCString(text.c_str(), static_cast<uint32_t>(size));
    return 0;
}
