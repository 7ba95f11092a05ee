#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Geometry.h"
#include "Platform/Foundation/Object.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Graphics/DrawContext.h"

namespace testsupport {

// The lowest luminance (0 black .. 255 white) of the pixels in a rectangle of a context: how dark its
// darkest ink is.
inline int DarkestIn(plat::DrawContext* ctx, const plat::Rect& r) {
    int darkest = 255;
    for (int32_t y = int32_t(r.y); y < int32_t(r.y + r.height); ++y)
        for (int32_t x = int32_t(r.x); x < int32_t(r.x + r.width); ++x) {
            const uint32_t p = ctx->PixelAt(x, y);
            const int lum = int(((p >> 16) & 0xFF) * 30 + ((p >> 8) & 0xFF) * 59 + (p & 0xFF) * 11) / 100;
            if (lum < darkest) darkest = lum;
        }
    return darkest;
}

// Runs a function once from the run loop after a delay, in every mode (inside nested loops too).
class RunLater {
public:
    RunLater(double seconds, std::function<void()> fn) : fFn(std::move(fn)) {
        fTimer = plat::RunLoopTimer::Create(plat::ClockNow() + seconds, 0, &Fire, this);
        if (!plat::RunLoop::Main()->AddTimer(fTimer.get(), plat::kRunLoopCommonModes))
            ADD_FAILURE() << "timer not added";
    }
    ~RunLater() { fTimer->Invalidate(); }
    RunLater(const RunLater&) = delete;
    RunLater& operator=(const RunLater&) = delete;
    bool Ran() const { return fRan; }

private:
    static void Fire(plat::RunLoopTimer*, void* self) {
        auto* me = static_cast<RunLater*>(self);
        me->fRan = true;
        me->fFn();
    }
    std::function<void()> fFn;
    plat::Ref<plat::RunLoopTimer> fTimer;
    bool fRan = false;
};

}  // namespace testsupport
