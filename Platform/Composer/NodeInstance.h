#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Platform/Foundation/Value.h"
#include "Platform/Graphics/GraphicsTypes.h"

namespace plat {

class GLContext;
class GLPixelFormat;
class GLShareGroup;
class ImageTexturePool;

struct Viewport {
    int32_t x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Viewport&) const = default;
};

// What the nodes of one renderer share while it renders.
struct RenderEnvironment {
    GLContext* context = nullptr;
    GLPixelFormat* pixelFormat = nullptr;
    GLShareGroup* shareGroup = nullptr;
    ImageTexturePool* texturePool = nullptr;
    // A label: pixels are passed through unchanged.
    ColorSpace colorSpace = ColorSpace::kSRGB;
    Dictionary* userInfo = nullptr;
    // Arguments of the current render (never null while rendering).
    const Dictionary* arguments = nullptr;
    // The viewport of the framebuffer bound when the render began.
    Viewport viewport;
};

// One execution of a node: its input values (in the order of its description), which of them
// changed since its last execution (all of them on the first), and its outputs to set.
class NodeExecution {
public:
    NodeExecution(RenderEnvironment& environment, double time, const ValueArray& inputs,
                  const std::vector<uint8_t>& changed, ValueArray& outputs, bool first)
        : fEnvironment(environment),
          fTime(time),
          fInputs(inputs),
          fChanged(changed),
          fOutputs(outputs),
          fFirst(first) {}

    RenderEnvironment& Environment() const { return fEnvironment; }
    double Time() const { return fTime; }
    size_t InputCount() const { return fInputs.size(); }
    const Value& Input(size_t i) const { return i < fInputs.size() ? fInputs[i] : Value::Null(); }
    bool InputChanged(size_t i) const { return fFirst || (i < fChanged.size() && fChanged[i]); }
    bool FirstExecution() const { return fFirst; }
    void SetOutput(size_t i, Value value) {
        if (i < fOutputs.size()) fOutputs[i] = std::move(value);
    }
    const Value& Output(size_t i) const { return i < fOutputs.size() ? fOutputs[i] : Value::Null(); }

private:
    RenderEnvironment& fEnvironment;
    double fTime;
    const ValueArray& fInputs;
    const std::vector<uint8_t>& fChanged;
    ValueArray& fOutputs;
    bool fFirst;
};

// The running side of one node in one renderer. Every call comes with the renderer's GL context
// current, on the thread that renders.
class NodeInstance {
public:
    virtual ~NodeInstance() = default;
    // Before the first execution. False: the node does not run (its outputs keep their defaults).
    virtual bool Start(RenderEnvironment&) { return true; }
    virtual void Enable(RenderEnvironment&) {}
    // False when the execution failed; the render goes on.
    virtual bool Execute(NodeExecution& execution) = 0;
    virtual void Disable(RenderEnvironment&) {}
    virtual void Stop(RenderEnvironment&) {}
};

}  // namespace plat
