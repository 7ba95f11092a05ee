#include "Lib3/LSources/String/UStrCompar.h"

#include <cctype>
#include <cstring>
#include <string>

#include "Lib3/LSources/String/UString.h"
#include "Platform/Foundation/Collation.h"
#include "Platform/Foundation/TextEncoding.h"

namespace {

const char* Str(const unsigned char* s) {
    return s ? reinterpret_cast<const char*>(s) : "";
}

// Text that is not valid UTF-8 compares as the empty text, as the platform string would be.
std::u16string Utf16(const unsigned char* s) {
    std::u16string out;
    if (s && !plat::DecodeUtf8(s, std::strlen(Str(s)), out)) out.clear();
    return out;
}

int Collate(const unsigned char* a, const unsigned char* b, uint32_t options) {
    std::u16string ua = Utf16(a), ub = Utf16(b);
    return plat::Collate(ua.data(), ua.size(), ub.data(), ub.size(), options);
}

}  // namespace

int UStrCompar::Binary(const unsigned char* a, const unsigned char* b) {
    return std::strcmp(Str(a), Str(b));
}

int UStrCompar::FirstBinary(const unsigned char* a, const unsigned char* b) {
    const char* sa = Str(a);
    const char* sb = Str(b);
    if (!*sb) return *sa ? 1 : 0;
    if (!*sa) return -1;
    size_t nb = std::strlen(sb);
    if (nb <= std::strlen(sa)) return std::strncmp(sa, sb, nb);
    return std::strcmp(sa, sb);
}

int UStrCompar::Locale(const unsigned char* a, const unsigned char* b) {
    return Collate(a, b, 0);
}

bool UStrCompar::NoCase(const unsigned char* a, const unsigned char* b) {
    return Collate(a, b, plat::kCollateCaseInsensitive | plat::kCollatePunctuationSignificant) == 0;
}

bool UStrCompar::FsEqual(const unsigned char* a, const unsigned char* b) {
    const char* sa = Str(a);
    const char* sb = Str(b);
    if (!*sa || !*sb) return !*sa && !*sb;
    for (;; ++sa, ++sb) {
        int ca = std::toupper(static_cast<unsigned char>(*sa));
        int cb = std::toupper(static_cast<unsigned char>(*sb));
        if (ca != cb) return false;
        if (!ca) return true;
    }
}
