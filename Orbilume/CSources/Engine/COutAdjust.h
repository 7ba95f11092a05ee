#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Platform/Foundation/Object.h"

class COpenGLContext_Cca;
class COpenGLTexture;

// The last stage between the finished mix and an output window: fade to black, size, position,
// three rotations with an optional perspective, or instead a free placement of the four corners.
// Its fields are the inputs of the preferences' 'oaun' record, set through SetKey on the main
// thread inside the engine's locks; IsActive, Geometry and Draw run on the render thread under
// the frame lock. Values of any size are kept finite.
class COutAdjust {
public:
    enum Corner : uint32_t { kBottomLeft, kBottomRight, kTopLeft, kTopRight };

    COutAdjust();
    ~COutAdjust();
    COutAdjust(const COutAdjust&) = delete;
    COutAdjust& operator=(const COutAdjust&) = delete;

    // A value text for one of the keys ("brt", "sizx", ..., "gmode", "gcnrblx", ...); other keys are
    // ignored. Texts are read in the C locale; unreadable ones count as 0.
    void SetKey(const LString& key, const LString& text);
    void SetCornerMode(bool on);
    void SetCorner(uint32_t corner, uint32_t axis, float value);

    // Whether the full pass (window copy and textured redraw) is needed.
    bool IsActive() const;
    // Scale x, scale y, offset x, offset y for drawing straight into the window.
    void Geometry(bool mixInOwnTarget, float out[4]) const;
    // The matrix the full pass draws the quad with, column-major, for a viewport of that aspect.
    void Matrix(float aspect, double m[16]) const;
    // Draws the mix into the context's current framebuffer at its viewport: mixTexture is the 2-D
    // texture holding the mix, or 0 when the engine drew into the window already (the fade quad,
    // or a copy of the window redrawn).
    void Draw(COpenGLContext_Cca& context, uint32_t mixTexture, bool buildMipmaps);

    float brightness = 1;
    float sizeX = 1, sizeY = 1;
    float posX = 0, posY = 0;
    float rotZ = 0, rotX = 0, rotY = 0;
    float perspective = 0;

    bool cornerMode() const { return fCornerMode; }
    bool prepared() const { return fPrepared; }
    // The cached strip (bottom-left, top-left, bottom-right, top-right) and texture coordinates.
    const float* cornerVertices() const { return fVertices; }
    const float* cornerTexCoords() const { return fTexCoords; }
    // Rebuilds the corner strip when a corner or the mode changed.
    void PrepareCorners();

private:
    void DrawFade(float alpha) const;
    uint32_t CopyWindow(int32_t width, int32_t height);

    bool fCornerMode = false;
    bool fPrepared = false;
    float fCorners[4][2];
    float fVertices[8] = {};
    float fTexCoords[16] = {};
    plat::Ref<COpenGLTexture> fCopy;
    int32_t fCopyWidth = 0;
    int32_t fCopyHeight = 0;
};
