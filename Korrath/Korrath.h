#pragma once

#include <cstdint>

#include "Korrath/ShapeCmds.h"
#include "Specific/PlugInSupport/PlugInFramebuffer.h"
#include "Specific/PlugInSupport/PlugInTexturePool.h"

// Draws shape lists into pooled rectangle textures of W x H pixels. Every call but SetSize and
// TakeImage needs a GL context of the textures' share group current (the patch's own).
class CKorrath {
public:
    CKorrath();
    ~CKorrath();  // makes no GL call: ReleaseGL first

    void SetSize(uint32_t width, uint32_t height) {
        fWidth = width;
        fHeight = height;
    }
    uint32_t Width() const { return fWidth; }
    uint32_t Height() const { return fHeight; }

    // Takes a fresh texture cleared to transparent (none when W or H is 0 or beyond the GL limit).
    void Reset();
    // Draws the shapes into it, in grey; shapes with coordinates that are not finite are left out.
    void Draw(const CShapeCmds& cmds);
    // The texture with its reference, forgotten here; empty when there is none.
    plugin::PlugInTextureRef TakeImage() { return std::move(fTexture); }
    // Deletes the framebuffer and the pooled names.
    void ReleaseGL();

private:
    plugin::PlugInFramebuffer fFramebuffer;
    plugin::PlugInTexturePool fPool;
    plugin::PlugInTextureRef fTexture;
    uint32_t fWidth = 0, fHeight = 0;
};
