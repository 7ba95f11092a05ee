#pragma once

// Whether storing b over a float field that holds a changes it: equal values (zeros of either sign
// included) and two NaNs are the same, so that NaN sent again is no change.
constexpr bool SameFloat(float a, float b) {
    return a == b || (a != a && b != b);
}
