#pragma once

#include <cstdint>
#include <memory>

#include "Platform/Foundation/Object.h"

class CMediaModel;
class COffscreenFBO;
namespace plat {
class GLTexture;
}

// Renders a loaded model with an orbit camera (turn, tilt, a position in units of the model's
// radius) into its own offscreen target, multisampled when asked, and hands out the picture. A
// still model is drawn once and its picture kept until something changes; a playing animated model
// is drawn on every call at the time since it was set. Render thread; the GL work runs in a scope on
// the target's own context.
class CModelView {
public:
    CModelView();
    ~CModelView();
    CModelView(const CModelView&) = delete;
    CModelView& operator=(const CModelView&) = delete;

    // Holds the model (null: none). A model with a document starts its clock now; one without
    // deletes the target.
    void SetModel(CMediaModel* model);
    void SetSize(uint32_t width, uint32_t height);
    // A change deletes the target; the next render builds it with the new options.
    void SetMultisample(bool on);
    // Drops the kept picture so that the next render draws again.
    void Invalidate();
    // The document's longest animation, in seconds; 0 without a model.
    float Duration() const;
    // The picture (one reference for the caller) or null; changed is set when it drew. Null
    // without a model with a document, at a zero size, or when the target cannot draw.
    plat::Ref<plat::GLTexture> Render(bool& changed);

    void SetTurn(float degrees) { fTurn = degrees; }
    void SetTilt(float degrees) { fTilt = degrees; }
    void SetPosition(float x, float y, float z) {
        fPosition[0] = x;
        fPosition[1] = y;
        fPosition[2] = z;
    }
    void SetPlaying(bool on) { fPlaying = on; }

    CMediaModel* model() const { return fModel.get(); }
    uint32_t startTime() const { return fStart; }
    uint32_t width() const { return fWidth; }
    uint32_t height() const { return fHeight; }
    float turn() const { return fTurn; }
    float tilt() const { return fTilt; }
    const float* position() const { return fPosition; }
    bool playing() const { return fPlaying; }
    bool multisample() const { return fMultisample; }
    COffscreenFBO* target() const { return fTarget.get(); }

    // The camera placement for the model's bounds and up axis (0 Y, 1 Z, 2 X); false when it is not
    // finite. The view is its inverse.
    [[nodiscard]] static bool Placement(const float* bounds, uint32_t upAxis, float turn, float tilt,
                                        const float* position, float* m);

private:
    plat::Ref<CMediaModel> fModel;
    uint32_t fStart = 0;
    uint32_t fWidth = 0;
    uint32_t fHeight = 0;
    float fTurn = 0;
    float fTilt = 0;
    float fUnused = 1.0f;  // kept from construction; the view does not read it
    float fPosition[3] = {0, 0, 0};
    bool fPlaying = false;
    bool fMultisample = false;
    std::unique_ptr<COffscreenFBO> fTarget;
};
