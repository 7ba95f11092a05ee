#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Platform/Composer/PlugInInterface.h"

using PangoLayout = struct _PangoLayout;

// Metrics of one laid-out line, in points.
struct MelquorLineMetrics {
    double ascent = 0, descent = 0, leading = 0;
    double width = 0;               // typographic (logical) width
    double inkX = 0, inkWidth = 0;  // image bounds along the line
};

// A string laid out with Pango in one font and size, wrapped at a width, optionally in vertical
// forms. Shared by the patch and the images it publishes; layout calls are serialised.
class MelquorText {
public:
    struct Settings {
        std::string text;
        std::string font = "Lucida Grande";
        double size = 12;
        uint32_t width = 0;  // wrapping width in points, 0: no wrapping
        bool vertical = false;
    };

    // Null when Pango cannot make a layout. Inputs are bounded (length, size, width).
    static std::shared_ptr<MelquorText> Create(const Settings& settings);
    ~MelquorText();
    MelquorText(const MelquorText&) = delete;
    MelquorText& operator=(const MelquorText&) = delete;

    bool Vertical() const { return fVertical; }
    const std::vector<MelquorLineMetrics>& Lines() const { return fLines; }
    // Draws line i with its baseline start at the cairo context's current point.
    void DrawLine(void* cairo, size_t i) const;

    static constexpr size_t kMaxTextBytes = 1 << 20;
    static constexpr double kMaxSize = 4096;
    static constexpr uint32_t kMaxWidth = 1000000;

private:
    MelquorText() = default;
    mutable std::mutex fMutex;
    PangoLayout* fLayout = nullptr;
    bool fVertical = false;
    std::vector<MelquorLineMetrics> fLines;
};

// The vertical offset of every line's top from the top of the layout, for line-spacing factor L.
std::vector<double> MelquorLineOffsets(const std::vector<MelquorLineMetrics>& lines, double lineFactor);
