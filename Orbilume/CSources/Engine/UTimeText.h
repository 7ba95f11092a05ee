#pragma once

#include "Lib3/LSources/CoreString/LString.h"

// Reads a time text: fields separated by ":" combined as value = value × 60 + field ("1:30" is 90 s,
// "1:02:03.5" is 3723.5 s); a minus sign before the first field makes the whole time negative.
// False, leaving seconds as it was, for an empty text, a field that is not a number, more than
// kMaxFields fields, or a value that is not a finite float.
class UTimeText {
public:
    static constexpr int kMaxFields = 4;
    [[nodiscard]] static bool Parse(const LString& text, float& seconds);
};
