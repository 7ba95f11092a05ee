#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Platform/Foundation/Object.h"
#include "Platform/Foundation/Value.h"

class COpenGLContext_Cca;
class COpenGLFBOTarget;
class CStrArray;
class MQcComposition_;

namespace plat {
class CompositionRenderer;
class Image;
}  // namespace plat

// The engine's renderer of one composition into a framebuffer-object target: a
// plat::CompositionRenderer on the target's context, the flags that say when to render again and
// when a new image is waiting to be passed on, and the images the composition's image inputs held
// when it was made.
//
// Targets are private (made for this renderer, at the unit's size) or the engine's shared target.
// A target's drawing slot holds the renderer of "drawer.qtz", made by the first CreateShared on it;
// that renderer borrows its target (the target owns it).
//
// Renderers are made and released on the main thread and used on a render thread, always under
// the engine's frame lock; every GL use happens inside a scope on the target's context, which the
// renderer opens itself. Callers hold renderers in plat::Ref.
class MQcRenderer_ final : public plat::Object {
public:
    // A renderer on the target, which gets one reference; with a drawing renderer in the target's
    // slot (made from "drawer.qtz" when the slot is empty). Null when the target has no context or
    // pixel format, or the composition is missing.
    static plat::Ref<MQcRenderer_> CreateShared(MQcComposition_* composition, COpenGLFBOTarget* target);
    // A renderer on a new target of its own of that size, with a depth buffer when asked. Null when
    // the target cannot be made at that size.
    static plat::Ref<MQcRenderer_> CreatePrivate(MQcComposition_* composition, uint32_t width,
                                                 uint32_t height, bool depth);

    // The folder of the internal compositions (SharedSupport/privatecompo of the running bundle
    // unless set) and an internal composition's path.
    static void SetInternalFolder(const std::string& folder);
    static std::string InternalCompositionPath(const char* name);

    // Loads a plug-in module, or every module of a folder, into the process's node classes. False
    // when nothing registered.
    [[nodiscard]] static bool LoadPlugIn(const std::string& path);

    // Nothing without a target or when the size is unchanged; a private target is resized. Marks
    // the renderer for a render in either case.
    void SetSize(uint32_t width, uint32_t height);
    // Renders into the target when a render is due; false when nothing was rendered.
    bool RenderAtTime(double time);

    void SetNumber(const LString& key, float value);
    void SetString(const LString& key, const LString& text);
    void SetColor(const LString& key, float red, float green, float blue, float alpha);
    void SetStructure(const LString& key, const float values[16]);
    // Null restores the input's saved default image (none when it had none).
    void SetImage(const LString& key, const plat::Image* image);

    uint32_t GetInputUInt(const LString& key) const;
    float GetInputFloat(const LString& key) const;
    LString GetInputString(const LString& key) const;
    // A colour value, or a value the runtime converts to one, fills the four components; anything
    // else (null, numbers, texts) leaves them unchanged and answers false.
    bool GetInputColor(const LString& key, float rgba[4]) const;

    float GetOutputFloat(const LString& key) const;
    uint32_t GetOutputUInt(const LString& key) const;
    // A number gives the text of its integer part.
    LString GetOutputString(const LString& key) const;
    bool GetOutputColor(const LString& key, float rgba[4]) const;
    // Appends each element as text; false when there is no value.
    bool GetOutputStrings(const LString& key, CStrArray& out) const;

    // Passes the source's output image (its target image when the source key is empty) to the
    // destination's input. Without force only a source with a new image passes, and it is then
    // counted as passed. False when nothing passed.
    static bool PassImage(MQcRenderer_* destination, const LString& destinationKey, MQcRenderer_* source,
                          const LString& sourceKey, bool force);
    // Draws the renderer's output image (the target's texture when the key is empty) into the
    // current context, premultiplied by alpha. The caller has a scope open on that context, the
    // blending set and a triangle strip of four 2-D vertices bound as the vertex array.
    static void DrawOutput(MQcRenderer_* renderer, COpenGLContext_Cca& destination, const LString& outputKey,
                           float alpha);

    void MarkNeedPass();
    bool TakeNeedPass();
    bool NeedsRender() const { return fNeedRender; }
    void ClearTimed() { fTimed = false; }
    bool IsPrivate() const { return fPrivate; }

    uint32_t TargetWidth() const;
    uint32_t TargetHeight() const;
    COpenGLFBOTarget* Target() const { return fTarget; }
    static MQcComposition_* Composition(const MQcRenderer_* renderer);
    plat::CompositionRenderer* Runtime() const { return fRenderer.get(); }

private:
    MQcRenderer_(MQcComposition_* composition, COpenGLFBOTarget* target, bool borrowTarget,
                 plat::Ref<plat::CompositionRenderer> renderer);
    ~MQcRenderer_() override;
    static plat::Ref<MQcRenderer_> Create(MQcComposition_* composition, COpenGLFBOTarget* target,
                                          bool borrowTarget);
    // The target's drawing renderer, made when its slot is empty; null without "drawer.qtz".
    static MQcRenderer_* DrawingRenderer(COpenGLFBOTarget* target);
    void SaveDefaultImages();
    void SetInput(const LString& key, const plat::Value& value);
    const plat::Value& Output(const LString& key) const;

    COpenGLFBOTarget* fTarget;
    plat::Dictionary fDefaultImages;
    plat::Ref<MQcComposition_> fCompo;
    plat::Ref<plat::CompositionRenderer> fRenderer;
    bool fBorrowedTarget;
    bool fPrivate = false;
    bool fTimed = false;
    bool fNeedRender = true;
    bool fNeedPass = false;
};
