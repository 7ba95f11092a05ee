#pragma once

#include <cstdint>

// Edges of a rectangle in pane coordinates.
struct SLayoutRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// What a layout run needs of the frame it places: the frame's child panes, numbered from 1 in
// construction order (number 0 is the layout rectangle, which the layout object keeps itself).
// The frame implements it over its child list and the pane port used for preferred sizes.
class LLayoutPanes {
public:
    virtual ~LLayoutPanes() = default;

    virtual uint32_t CountPanes() const = 0;
    // n is always in 1..CountPanes().
    virtual SLayoutRect PaneBounds(uint32_t n) const = 0;
    virtual void SetPaneBounds(uint32_t n, const SLayoutRect& bounds) = 0;
    virtual bool PaneVisible(uint32_t n) const = 0;  // the pane's own visibility flag
    virtual int32_t PanePreferredWidth(uint32_t n, int32_t extent) = 0;
    virtual int32_t PanePreferredHeight(uint32_t n, int32_t extent) = 0;
};

// The pane built-ins shared by both layout languages.
enum class ELayoutBuiltin : uint8_t { kSys, kPp, kShown, kWp, kHp, kL, kT, kR, kB, kW, kH };

// Runs one pane built-in over the layout rectangle and the panes (null: no panes at all).
// Missing arguments read as 0; a pane number that names no pane gives 0 or is ignored.
int32_t CallLayoutBuiltin(ELayoutBuiltin which, SLayoutRect& layout, LLayoutPanes* panes, const int32_t* args,
                          uint32_t count);

// Wrapping 32-bit arithmetic of both languages; division by 0 and INT32_MIN / -1 give 0.
namespace ULayoutMath {
inline int32_t Add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t Sub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t Mul(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
inline int32_t Neg(int32_t a) {
    return static_cast<int32_t>(0u - static_cast<uint32_t>(a));
}
inline int32_t Div(int32_t a, int32_t b) {
    if (b == 0 || (b == -1 && a == INT32_MIN)) return 0;
    return a / b;
}
inline int32_t Abs(int32_t a) {
    return a < 0 ? Neg(a) : a;
}
// Single-precision square root rounded half away from zero; 0 for a negative number.
int32_t Sqrt(int32_t a);
}  // namespace ULayoutMath
