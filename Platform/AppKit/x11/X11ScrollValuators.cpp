#include "Platform/AppKit/x11/X11ScrollValuators.h"

#include <cmath>

namespace plat::x11 {

namespace {

bool Usable(const X11ScrollValuators::Axis& a) {
    return a.number >= 0 && a.number < 256 && std::isfinite(a.increment) && std::fabs(a.increment) >= 1e-6 &&
           std::fabs(a.increment) <= 1e9;
}

}  // namespace

X11ScrollValuators::Device* X11ScrollValuators::Find(int device) {
    for (Device& d : fDevices)
        if (d.id == device) return &d;
    return nullptr;
}

const X11ScrollValuators::Device* X11ScrollValuators::Find(int device) const {
    for (const Device& d : fDevices)
        if (d.id == device) return &d;
    return nullptr;
}

void X11ScrollValuators::SetAxes(int device, const std::vector<Axis>& axes) {
    Device* d = Find(device);
    if (!d) {
        if (fDevices.size() >= kMaxDevices) fDevices.erase(fDevices.begin());
        fDevices.push_back({device, {}});
        d = &fDevices.back();
    }
    d->axes.clear();
    for (const Axis& a : axes)
        if (Usable(a) && d->axes.size() < kMaxAxes) d->axes.push_back({a, 0, false});
}

void X11ScrollValuators::Reset(int device) {
    if (Device* d = Find(device))
        for (Tracked& t : d->axes) t.known = false;
}

void X11ScrollValuators::ResetAll() {
    for (Device& d : fDevices)
        for (Tracked& t : d.axes) t.known = false;
}

bool X11ScrollValuators::HasAxes(int device) const {
    const Device* d = Find(device);
    return d && !d->axes.empty();
}

bool X11ScrollValuators::IsAxis(int device, int number) const {
    if (const Device* d = Find(device))
        for (const Tracked& t : d->axes)
            if (t.axis.number == number) return true;
    return false;
}

bool X11ScrollValuators::Scroll(int device, const std::vector<std::pair<int, double>>& values, double* linesX,
                                double* linesY) {
    *linesX = *linesY = 0;
    Device* d = Find(device);
    if (!d) return false;
    bool moved = false;
    for (const auto& [number, value] : values) {
        if (!std::isfinite(value)) continue;
        for (Tracked& t : d->axes) {
            if (t.axis.number != number) continue;
            const double before = t.last;
            const bool known = t.known;
            t.last = value;
            t.known = true;
            if (!known || value == before) continue;
            // A positive increment scrolls down or right; notches up and left count positive.
            const double lines = -(value - before) / t.axis.increment;
            (t.axis.horizontal ? *linesX : *linesY) += lines;
            moved = true;
        }
    }
    return moved;
}

}  // namespace plat::x11
