#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/CoreUI/LColor.h"

class LDrawContext;

// A rectangle outline of pen-size thickness drawn inside the rectangle.
class LRectFrame {
public:
    LRectFrame() = default;
    virtual ~LRectFrame() = default;
    void Draw(LDrawContext& ctx) const;

    int32_t penWidth = 1;
    int32_t penHeight = 1;
    CLRect rect;
    LColor colour;
    uint32_t mode = 0;
};

// A stroked rectangle with quadratic corners of the corner size; the line is the mean pen size.
class LRoundRectStroke : public LRectFrame {
public:
    void Draw(LDrawContext& ctx) const;

    int32_t cornerWidth = 16;
    int32_t cornerHeight = 16;
};
