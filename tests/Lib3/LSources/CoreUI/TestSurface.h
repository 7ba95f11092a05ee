#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Platform/Graphics/DrawContext.h"

// A white image surface of the given size seen through a port at its top-left.
struct TestSurface {
    TestSurface(int32_t width, int32_t height) : native(plat::DrawContext::CreateImage(width, height)) {
        native->SetFillColor({1, 1, 1, 1});
        native->FillRect({0, 0, double(width), double(height)});
        port.clip = CRgn(CLRect{0, 0, width, height});
    }
    TestSurface(const TestSurface&) = delete;
    TestSurface& operator=(const TestSurface&) = delete;
    // The pixel as 0xRRGGBB.
    uint32_t At(int x, int y) const { return native->PixelAt(x, y) & 0xFFFFFF; }

    plat::Ref<plat::DrawContext> native;
    LPanePort port;
};
