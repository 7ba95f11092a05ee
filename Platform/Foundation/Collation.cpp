#include "Platform/Foundation/Collation.h"

#include <unicode/ucol.h>

namespace plat {
namespace {

// One collator per option set, opened once; ucol_strcoll on a shared collator is thread-safe.
UCollator* OpenCollator(bool caseInsensitive, bool punctuation) {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* c = ucol_open("", &status);
    if (U_FAILURE(status)) return nullptr;
    ucol_setAttribute(c, UCOL_STRENGTH, caseInsensitive ? UCOL_SECONDARY : UCOL_TERTIARY, &status);
    ucol_setAttribute(c, UCOL_ALTERNATE_HANDLING, punctuation ? UCOL_NON_IGNORABLE : UCOL_SHIFTED, &status);
    ucol_setAttribute(c, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    return c;
}

UCollator* CollatorFor(uint32_t options) {
    bool ci = options & kCollateCaseInsensitive;
    bool punct = options & kCollatePunctuationSignificant;
    static UCollator* const collators[4] = {OpenCollator(false, false), OpenCollator(false, true),
                                            OpenCollator(true, false), OpenCollator(true, true)};
    return collators[(ci ? 2 : 0) + (punct ? 1 : 0)];
}

}  // namespace

int Collate(const char16_t* a, size_t na, const char16_t* b, size_t nb, uint32_t options) {
    UCollator* c = CollatorFor(options);
    if (!c) return 0;
    switch (ucol_strcoll(c, a, static_cast<int32_t>(na), b, static_cast<int32_t>(nb))) {
        case UCOL_LESS:
            return -1;
        case UCOL_GREATER:
            return 1;
        default:
            return 0;
    }
}

std::string CollationKey(const char16_t* text, size_t length, uint32_t options) {
    UCollator* c = CollatorFor(options);
    if (!c) return {};
    std::string key(64, '\0');
    for (;;) {
        const int32_t n =
            ucol_getSortKey(c, text, static_cast<int32_t>(length), reinterpret_cast<uint8_t*>(key.data()),
                            static_cast<int32_t>(key.size()));
        if (n <= 0) return {};
        if (static_cast<size_t>(n) <= key.size()) {
            key.resize(static_cast<size_t>(n) - 1);  // without the terminating 0
            return key;
        }
        key.resize(static_cast<size_t>(n));
    }
}

}  // namespace plat
