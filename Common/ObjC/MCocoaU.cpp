#include "Common/ObjC/MCocoaU.h"

#include "Lib3/LSources/CoreUI/CLRectConvert.h"
#include "Lib3/LSources/CoreUI/LImage.h"
#include "Lib3/LSources/Mac/SystemInfo.h"
#include "Platform/AppKit/Screen.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Graphics/BitmapImage.h"

namespace {
constexpr int32_t kRegularScroller = 16;
constexpr int32_t kSmallScroller = 11;
}  // namespace

int32_t MCocoaU::Round(double value) {
    return RoundToInt32(value);
}

int32_t MCocoaU::MainScreenHeight() {
    plat::Screen s;
    if (!plat::FirstScreen(&s)) return 0;
    return int32_t(s.frame.height);
}

plat::Point MCocoaU::Flip(const CLPoint& p, int32_t height) {
    return {double(p.x), double(height) - double(p.y)};
}

CLPoint MCocoaU::FlipToCLPoint(const plat::Point& p, double height) {
    return {Round(p.x), Round(height - p.y)};
}

plat::Rect MCocoaU::Flip(const CLRect& r, int32_t height) {
    return {double(r.left), double(height) - double(r.bottom), double(r.right) - double(r.left),
            double(r.bottom) - double(r.top)};
}

CLRect MCocoaU::FlipToCLRect(const plat::Rect& r, double height) {
    return {Round(r.x), Round(height - r.y - r.height), Round(r.x + r.width), Round(height - r.y)};
}

plat::Rect MCocoaU::Convert(const CLRect& r) {
    return ToPlatRect(r);
}

CLRect MCocoaU::ConvertToCLRect(const plat::Rect& r) {
    return ToCLRectOutward(r);
}

plat::ColorSpace MCocoaU::GetSRGBColorSpace() {
    return plat::ColorSpace::kSRGB;
}

void MCocoaU::SRGBComponents(const plat::GfxColor& c, float out[4]) {
    out[0] = float(c.red);
    out[1] = float(c.green);
    out[2] = float(c.blue);
    out[3] = float(c.alpha);
}

plat::GfxColor MCocoaU::ColorFromComponents(float red, float green, float blue, float alpha) {
    return {red, green, blue, alpha};
}

const plat::BitmapImage* MCocoaU::ImageToNSImage(const LImageH& image) {
    const LImage* data = image.Get();
    plat::BitmapImage* native = nullptr;
    if (!data || data->GetNativeImage(native) != LImage::kNativeKind || !native) return nullptr;
    native->Retain();
    return static_cast<const plat::BitmapImage*>(native->Autorelease());
}

CLRect MCocoaU::ToCLRect(const plat::Rect& r) {
    return ::ToCLRect(r);
}

CLPoint MCocoaU::ToCLPoint(const plat::Point& p) {
    return ::ToCLPoint(p);
}

int32_t MCocoaU::ScrollerWidth(const plat::Window* window) {
    if (!window) return kRegularScroller;
    return window->Level() == plat::kFloatingWindowLevel ? kSmallScroller : kRegularScroller;
}

int32_t MCocoaU::GrowBoxInset(const plat::Window* window) {
    // Systems after 10.6 no longer give resizable windows a grow box beside the scrollers.
    if (!window || !(window->StyleMask() & plat::kResizableWindowMask) || gSystemInfo.version > 4207)
        return 0;
    return ScrollerWidth(window);
}
