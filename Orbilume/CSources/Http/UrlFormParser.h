#pragma once

#include "Orbilume/CSources/Http/FormFieldReader.h"

// application/x-www-form-urlencoded: fields separated by '&', the first '=' separates name and
// value, '+' is a blank, %XX an escaped byte (either case); an incomplete escape is dropped with
// the byte that broke it. Fields with an empty name are skipped.
class UrlFormParser : public FormFieldReader {
public:
    int Feed(uint8_t byte) override;
    // Feeds one '&'.
    int Finish() override { return Feed('&'); }

private:
    void Append(uint8_t byte);

    uint8_t fState = 0;  // 0 before a field, 1 in a field, 2 after '%', 3 after its first digit
    uint8_t fHex = 0;
    bool fInValue = false;
    bool fOverflow = false;
};
