#pragma once

#include <cstdint>
#include <string>

#include "Platform/Foundation/Geometry.h"
#include "Platform/Graphics/GraphicsTypes.h"

namespace plat {

class DrawContext;
class Font;

// The look of every native control: one palette and the painters of bezels, marks, arrows and the
// scroller and slider parts. Menus and panes draw with it too.
namespace theme {

struct Palette {
    GfxColor face{0.93, 0.93, 0.93, 1};
    GfxColor facePressed{0.78, 0.78, 0.80, 1};
    GfxColor border{0.55, 0.55, 0.55, 1};
    GfxColor text{0.05, 0.05, 0.05, 1};
    GfxColor disabledText{0.62, 0.62, 0.62, 1};
    GfxColor accent{0.20, 0.42, 0.85, 1};
    GfxColor accentText{1, 1, 1, 1};
    GfxColor mark{0.10, 0.10, 0.10, 1};
    GfxColor field{1, 1, 1, 1};
    GfxColor track{0.82, 0.82, 0.82, 1};
    GfxColor knob{0.60, 0.60, 0.62, 1};
    GfxColor separator{0.80, 0.80, 0.80, 1};
    GfxColor focus{0.35, 0.58, 0.95, 1};
    // Selected text and its background, in text views and lists.
    GfxColor selectedText{0, 0, 0, 1};
    GfxColor selectedTextBackground{0.71, 0.84, 1.0, 1};
};
const Palette& Colours();

// Theme metrics: 41 the height of a horizontal slider, 45 the width of a vertical one; 0 for others.
double Metric(int32_t id);
// The slider's track thickness and its knob's length along the track.
inline constexpr double kSliderTrack = 5;
inline constexpr double kSliderKnob = 15;

enum class BezelState : uint8_t { kNormal, kPressed, kDefault, kDisabled };

void DrawBezel(DrawContext& ctx, const Rect& r, BezelState state, bool rounded);
void DrawCheckBox(DrawContext& ctx, const Rect& box, bool on, bool pressed, bool enabled);
void DrawRadio(DrawContext& ctx, const Rect& box, bool on, bool pressed, bool enabled);
void DrawPopUpArrows(DrawContext& ctx, const Rect& r, bool enabled);
// A line arrow pointing in the direction: 0 up, 1 down, 2 left, 3 right.
void DrawArrow(DrawContext& ctx, const Rect& r, int32_t direction, bool pressed, bool enabled);
void DrawTrack(DrawContext& ctx, const Rect& r);
void DrawKnob(DrawContext& ctx, const Rect& r, bool pressed, bool enabled);
// A line of the given thickness across the middle of the rectangle.
void DrawSeparator(DrawContext& ctx, const Rect& r, bool vertical, double thickness = 1);
void DrawFieldFrame(DrawContext& ctx, const Rect& r, bool focused);
void DrawFocusRing(DrawContext& ctx, const Rect& r);
// The frame of a list box (a one-pixel border, darker while active) with the focus ring when focused.
void DrawListBoxFrame(DrawContext& ctx, const Rect& r, bool active, bool focused);
// One line of text, vertically centred in the box.
void DrawLabel(DrawContext& ctx, const Font& font, const std::string& text, const Rect& box, int32_t align,
               const GfxColor& colour);

}  // namespace theme
}  // namespace plat
