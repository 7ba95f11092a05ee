#include <cmath>
#include <cstdint>

#include "Platform/Composer/BuiltinNodeInstances.h"
#include "Platform/Composer/NodeInstance.h"

namespace plat {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// A value in -1..1 that depends only on the period number.
double HeldRandom(int64_t period) {
    uint64_t x = static_cast<uint64_t>(period) * 0x9E3779B97F4A7C15ull;
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 31;
    return static_cast<double>(x >> 11) / static_cast<double>(1ull << 52) - 1.0;
}

// A wave of -1..1 over time: inputs type, period, phase, amplitude, offset; output value.
class LfoNode final : public NodeInstance {
public:
    bool Execute(NodeExecution& execution) override {
        const uint32_t type = execution.Input(0).ToIndex();
        const double period = execution.Input(1).ToNumber();
        const double phase = execution.Input(2).ToNumber();
        const double amplitude = execution.Input(3).ToNumber();
        const double offset = execution.Input(4).ToNumber();
        double cycles = phase;
        if (period > 0 && std::isfinite(period)) cycles += execution.Time() / period;
        if (!std::isfinite(cycles)) cycles = 0;
        const double whole = std::floor(cycles);
        const double p = cycles - whole;  // 0 <= p < 1
        execution.SetOutput(0, Value(offset + amplitude * Wave(type, p, whole)));
        return true;
    }

    static double Wave(uint32_t type, double p, double whole) {
        switch (type) {
            case 1:  // triangle, rising through 0 like the sine
                if (p < 0.25) return 4 * p;
                if (p < 0.75) return 2 - 4 * p;
                return 4 * p - 4;
            case 2:  // square
                return p < 0.5 ? 1.0 : -1.0;
            case 3:  // sawtooth, rising
                return 2 * p - 1;
            case 4: {  // random, held for a period
                const double limit = 9.0e18;
                return HeldRandom(static_cast<int64_t>(whole < -limit  ? -limit
                                                       : whole > limit ? limit
                                                                       : whole));
            }
            default:
                return std::sin(kTwoPi * p);
        }
    }
};

// A colour from four numbers: red, green, blue (model 0) or hue, saturation, value (model 1), and
// alpha.
class ColorComposeNode final : public NodeInstance {
public:
    bool Execute(NodeExecution& execution) override {
        const uint32_t model = execution.Input(0).ToIndex();
        const double a = execution.Input(1).ToNumber();
        const double b = execution.Input(2).ToNumber();
        const double c = execution.Input(3).ToNumber();
        const double alpha = execution.Input(4).ToNumber();
        Color out{static_cast<float>(a), static_cast<float>(b), static_cast<float>(c),
                  static_cast<float>(alpha)};
        if (model == 1) HsvToRgb(a, b, c, out);
        execution.SetOutput(0, Value(out));
        return true;
    }

    static void HsvToRgb(double h, double s, double v, Color& out) {
        h = std::isfinite(h) ? h - std::floor(h) : 0;
        s = s < 0 ? 0 : s > 1 ? 1 : s;
        const double sector = h * 6;
        const int i = static_cast<int>(sector) % 6;
        const double f = sector - std::floor(sector);
        const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
        double r = v, g = t, bl = p;
        switch (i) {
            case 1:
                r = q, g = v, bl = p;
                break;
            case 2:
                r = p, g = v, bl = t;
                break;
            case 3:
                r = p, g = q, bl = v;
                break;
            case 4:
                r = t, g = p, bl = v;
                break;
            case 5:
                r = v, g = p, bl = q;
                break;
            default:
                break;
        }
        out.red = static_cast<float>(r);
        out.green = static_cast<float>(g);
        out.blue = static_cast<float>(bl);
    }
};

}  // namespace

std::unique_ptr<NodeInstance> MakeLfoNode(const GraphNode&) {
    return std::make_unique<LfoNode>();
}
std::unique_ptr<NodeInstance> MakeColorComposeNode(const GraphNode&) {
    return std::make_unique<ColorComposeNode>();
}

}  // namespace plat
