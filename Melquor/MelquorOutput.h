#pragma once

#include <memory>

#include "Melquor/MelquorText.h"
#include "Platform/Composer/PlugInInterface.h"

// The patch's image: measures the laid-out lines once and renders them through Cairo into the
// buffer the host hands it (ARGB8, BGRA8 or RGBAf), clipped to the band asked for.
class MelquorOutput final : public plat::PlugInImageProvider {
public:
    // flush: 0 left, 0.5 centre, 1 right; lineFactor: the spacing factor L.
    MelquorOutput(std::shared_ptr<MelquorText> text, double flush, double lineFactor,
                  plat::PlugInColor color);

    plat::PlugInRect Bounds() const override;
    std::vector<plat::PlugInBufferFormat> BufferFormats() const override;
    bool RenderToBuffer(void* address, size_t bytesPerRow, plat::PlugInBufferFormat format,
                        const plat::PlugInRect& bounds) override;

    // The host's largest image side.
    static constexpr double kMaxSide = 65535;

private:
    void Measure() const;

    std::shared_ptr<MelquorText> fText;
    double fFlush;
    double fLineFactor;
    plat::PlugInColor fColor;
    mutable bool fMeasured = false;
    mutable plat::PlugInRect fBounds;
    mutable double fLayoutWidth = 0, fLayoutHeight = 0;  // before turning for vertical forms
};
