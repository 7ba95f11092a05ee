#include "Orbilume/CSources/Media/CRateChase.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr uint32_t kStallMs = 200;
constexpr double kStartAhead = 0.05;
constexpr double kSnap = 1.03;
constexpr double kMinRate = 0.1;

}  // namespace

void CRateChase::Init() {
    startMs = 0;
    moveMs = 0;
    startTarget = 0;
    lastTarget = 0;
    seekTarget = -1.0;
    duration = 0;
    rate = 1.0f;
    state = kIdle;
}

void CRateChase::Reset(double newDuration) {
    state = kIdle;
    seekTarget = -1.0;
    duration = newDuration;
}

int32_t CRateChase::Step(uint32_t nowMs, double target, double actual, double latency, double window) {
    if (!std::isfinite(target) || target >= duration) return kNothing;
    if (!std::isfinite(actual)) actual = 0;
    if (!std::isfinite(latency) || latency < 0) latency = 0;
    if (!(window > 0) || !std::isfinite(window)) window = 1.0;
    int32_t result = kNothing;
    if (state != kIdle && std::fabs(actual - target) <= std::max(1.5 * latency, 1.0)) {
        if (target <= lastTarget) {
            // The target stands still: stop after a short stall.
            if (uint32_t(nowMs - moveMs) >= kStallMs) {
                state = kSeeking;
                result = kStop;
            }
        } else {
            moveMs = nowMs;
            switch (state) {
                case kSeeking:
                    startMs = nowMs;
                    startTarget = target;
                    state = kMeasuring;
                    break;
                case kMeasuring:
                    if (target - actual >= -kStartAhead) {
                        rate = 1.0f;
                        state = kChasing;
                        result = kSetRate;
                    }
                    break;
                case kChasing: {
                    const double elapsed = uint32_t(nowMs - startMs) * 0.001;
                    if (elapsed < window || elapsed <= 0) break;
                    const float speed = static_cast<float>((target - startTarget) / elapsed);
                    double r = (speed * window + target - actual) / window;
                    if (!(r >= kMinRate)) r = kMinRate;
                    if (r > 1 / kSnap && r < kSnap) r = 1.0;
                    rate = static_cast<float>(r);
                    startMs = nowMs;
                    startTarget = target;
                    result = kSetRate;
                    break;
                }
                default:
                    break;
            }
        }
        lastTarget = target;
        return result;
    }
    const double s = std::max(std::min(target + latency + kStartAhead, duration), 0.0);
    if (!(s == seekTarget && state == kSeeking)) {
        seekTarget = s;
        result = kSeek;
    }
    state = kSeeking;
    lastTarget = target;
    return result;
}
