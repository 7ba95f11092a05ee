#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace plat::x11 {

// The scroll valuators of pointer devices: a valuator reports an absolute position, and a scroll is
// its change since the last event, in increments (one increment is a wheel notch). The first event
// after the axes were set or reset (enter, device change) only records the position.
class X11ScrollValuators {
public:
    struct Axis {
        int number = 0;
        bool horizontal = false;
        double increment = 0;  // signed; 0 or absurd axes are ignored
    };
    // At most this many devices and axes per device are kept.
    static constexpr size_t kMaxDevices = 32;
    static constexpr size_t kMaxAxes = 8;

    void SetAxes(int device, const std::vector<Axis>& axes);
    void Reset(int device);
    void ResetAll();
    bool HasAxes(int device) const;
    bool IsAxis(int device, int number) const;
    // The valuator values of one event (number, value); answers true when a scroll axis moved, with
    // the notches it moved (positive: up and left, as buttons 4 and 6).
    bool Scroll(int device, const std::vector<std::pair<int, double>>& values, double* linesX,
                double* linesY);

private:
    struct Tracked {
        Axis axis;
        double last = 0;
        bool known = false;
    };
    struct Device {
        int id = 0;
        std::vector<Tracked> axes;
    };
    Device* Find(int device);
    const Device* Find(int device) const;

    std::vector<Device> fDevices;
};

}  // namespace plat::x11
