#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Platform/Foundation/Geometry.h"

// Conversions between the framework's integer rectangles and the platform's floating-point ones. Both
// are top-down with the origin at the top-left, so nothing is flipped.

// Nearest integer, halves away from zero; NaN gives 0, values beyond int32 are clamped.
int32_t RoundToInt32(double value);

// Exact: origin and size as doubles.
plat::Rect ToPlatRect(const CLRect& r);
// Each edge rounded to the nearest integer.
CLRect ToCLRect(const plat::Rect& r);
CLPoint ToCLPoint(const plat::Point& p);
// Rounds outwards to whole pixels and clamps every edge into the 32-bit range on both sides; a
// rectangle with a NaN or infinite origin (the null rectangle) or a negative size becomes empty.
CLRect ToCLRectOutward(const plat::Rect& r);
