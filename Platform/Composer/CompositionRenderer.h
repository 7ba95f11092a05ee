#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "Platform/Composer/NodeInstance.h"
#include "Platform/Foundation/Value.h"
#include "Platform/Foundation/Object.h"

namespace plat {

class Composition;
class GLContext;
class GLPixelFormat;
class Image;

// What an output is wanted as.
enum class OutputType : uint8_t {
    Image,  // the image itself
    Color,  // a colour (from a colour, an array of 3 or 4 numbers or a colour dictionary)
    Array,  // an array (a structure dictionary gives its values in order)
};

// Renders one composition in one GL context. Used from one thread at a time; images it hands out
// may be released from any thread. It switches contexts without taking any lock: callers that share
// the context with other threads hold their GL lock around every call.
class CompositionRenderer final : public Object {
public:
    // An owned reference, or null without a context, pixel format or composition.
    static Ref<CompositionRenderer> Create(GLContext* context, GLPixelFormat* pixelFormat,
                                           ColorSpace colorSpace, Composition* composition);

    // Makes the context current, draws into the framebuffer bound in it at its current viewport
    // (binding nothing else for good), and makes the previous context current again. Nodes that
    // feed published outputs run too. False when the context cannot be made current.
    [[nodiscard]] bool RenderAtTime(double time, const Dictionary* arguments = nullptr);

    // False for an unknown key or a value that does not fit the port. Null resets an image input.
    [[nodiscard]] bool SetInputValue(std::string_view key, const Value& value);
    // Null for an unknown key.
    const Value& InputValue(std::string_view key) const;
    // The value of a published output after the last render (null for an unknown key).
    const Value& OutputValue(std::string_view key) const;
    // The output as the given type; false when there is none or it does not convert.
    bool OutputValueOfType(std::string_view key, OutputType type, Value& out) const;

    // An owned image of the pixels of the framebuffer now bound in the renderer's context, at its
    // viewport; null on failure.
    Ref<Image> CreateSnapshotImage();

    // Free for the host; nodes read it (the host context under kUserInfoHostContext).
    Dictionary& UserInfo() { return fUserInfo; }
    const Dictionary& UserInfo() const { return fUserInfo; }

    Composition* GetComposition() const { return fComposition.get(); }
    GLContext* Context() const { return fEnvironment.context; }
    GLPixelFormat* PixelFormat() const { return fEnvironment.pixelFormat; }
    bool IsTimeDependent() const;
    // Whether a render would show anything new: always for a time-dependent composition, else
    // before the first render and after an input changed.
    bool NeedsRender() const;

private:
    struct Source {
        long node = -1;
        size_t port = 0;
    };
    struct NodeState {
        std::unique_ptr<NodeInstance> instance;
        std::vector<Source> sources;  // per input
        ValueArray inputs;
        std::vector<uint8_t> changed;
        ValueArray outputs;
        double lastTime = 0;
        bool started = false;
        bool running = false;
        bool executed = false;
        bool anyChanged = false;
    };

    CompositionRenderer(GLContext* context, GLPixelFormat* pixelFormat, ColorSpace colorSpace,
                        Composition* composition);
    ~CompositionRenderer() override;
    void StartNodes();
    void StopNodes();
    void BuildSchedule();
    void Evaluate(size_t node, double time);
    long FindPublished(bool input, std::string_view key) const;

    Ref<Composition> fComposition;
    Ref<GLContext> fContext;
    Ref<GLPixelFormat> fPixelFormat;
    Ref<ImageTexturePool> fTexturePool;
    RenderEnvironment fEnvironment;  // borrows the four above
    Dictionary fUserInfo;
    std::vector<NodeState> fNodes;
    // The nodes a render evaluates, every source before the nodes it feeds: consumers in file order
    // with what they need, then what the published outputs need.
    std::vector<size_t> fSchedule;
    bool fRendered = false;
    bool fInputChanged = false;
    bool fStarted = false;
    bool fRerunAll = false;
    Viewport fLastViewport;
};

}  // namespace plat
