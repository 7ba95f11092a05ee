#include "Lib3/LSources/String/CCLocaleScope.h"

locale_t CCLocaleScope::CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

CCLocaleScope::CCLocaleScope() {
    if (locale_t c = CLocale()) fPrevious = uselocale(c);
}

CCLocaleScope::~CCLocaleScope() {
    if (fPrevious) uselocale(fPrevious);
}
