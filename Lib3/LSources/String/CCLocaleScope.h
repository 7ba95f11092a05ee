#pragma once

#include <locale.h>

// Switches the calling thread to the C locale while it lives, so that number text never follows
// the user's decimal separator whatever setlocale says elsewhere.
class CCLocaleScope {
public:
    CCLocaleScope();
    ~CCLocaleScope();
    CCLocaleScope(const CCLocaleScope&) = delete;
    CCLocaleScope& operator=(const CCLocaleScope&) = delete;

    // The process's C locale object (made once), or 0 when it could not be made.
    static locale_t CLocale();

private:
    locale_t fPrevious = nullptr;
};
