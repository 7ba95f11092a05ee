#include "Lib3/LSources/CoreUI/CBevelFrame.h"

void CBevelFrame::Draw(FillRect fill, void* context) const {
    const int32_t l = fRect.left, t = fRect.top, r = fRect.right, b = fRect.bottom;
    fill(context, CLRect{l, t, r, t + 1}, fFirst);
    fill(context, CLRect{l, t + 1, l + 1, b - 1}, fFirst);
    fill(context, CLRect{l, b - 1, r, b}, fSecond);
    fill(context, CLRect{r - 1, t + 1, r, b - 1}, fSecond);
}
