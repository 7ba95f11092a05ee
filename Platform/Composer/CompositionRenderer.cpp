#include "Platform/Composer/CompositionRenderer.h"

#include <epoxy/gl.h>

#include "Platform/Composer/Composition.h"
#include "Platform/Composer/GLDrawing.h"
#include "Platform/Composer/GLTextureImage.h"
#include "Platform/Composer/Image.h"
#include "Platform/Composer/ImageTexturePool.h"
#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLPixelFormat.h"
#include "Platform/GL/GLShareGroup.h"

namespace plat {

namespace {

const Dictionary& EmptyArguments() {
    static const Dictionary* empty = new Dictionary;
    return *empty;
}

Viewport CurrentViewport() {
    GLint v[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, v);
    return Viewport{v[0], v[1], v[2], v[3]};
}

}  // namespace

Ref<CompositionRenderer> CompositionRenderer::Create(GLContext* context, GLPixelFormat* pixelFormat,
                                                     ColorSpace colorSpace, Composition* composition) {
    if (!context || !pixelFormat || !composition) return nullptr;
    return Adopt(new CompositionRenderer(context, pixelFormat, colorSpace, composition));
}

CompositionRenderer::CompositionRenderer(GLContext* context, GLPixelFormat* pixelFormat,
                                         ColorSpace colorSpace, Composition* composition)
    : fComposition(composition),
      fContext(context),
      fPixelFormat(pixelFormat),
      fTexturePool(ImageTexturePool::Create(context->ShareGroup())) {
    fEnvironment.context = context;
    fEnvironment.pixelFormat = pixelFormat;
    fEnvironment.shareGroup = context->ShareGroup();
    fEnvironment.texturePool = fTexturePool.get();
    fEnvironment.colorSpace = colorSpace;
    fEnvironment.userInfo = &fUserInfo;
    const CompositionGraph& graph = fComposition->Graph();
    fNodes.resize(graph.Nodes().size());
    for (size_t i = 0; i < fNodes.size(); ++i) {
        const GraphNode& node = graph.Nodes()[i];
        NodeState& state = fNodes[i];
        const NodeClass* maker =
            node.description.instanceClass ? node.description.instanceClass : node.nodeClass;
        state.instance = maker->CreateInstance(node);
        state.inputs = node.inputValues;
        state.changed.assign(state.inputs.size(), 0);
        for (const PortSpec& out : node.description.outputs)
            state.outputs.push_back(DefaultForPort(out.type));
        state.sources.resize(state.inputs.size());
    }
    for (const GraphConnection& c : graph.Connections())
        fNodes[c.destinationNode].sources[c.destinationPort] = {static_cast<long>(c.sourceNode),
                                                                c.sourcePort};
    BuildSchedule();
}

void CompositionRenderer::BuildSchedule() {
    const CompositionGraph& graph = fComposition->Graph();
    std::vector<size_t> roots;
    for (size_t i = 0; i < fNodes.size(); ++i)
        if (graph.Nodes()[i].description.executionMode == ExecutionMode::Consumer) roots.push_back(i);
    for (const PublishedPort& out : graph.PublishedOutputs()) roots.push_back(out.node);
    // Depth first over the sources, without recursion; a node goes in after all its sources.
    std::vector<uint8_t> seen(fNodes.size(), 0);
    std::vector<std::pair<size_t, size_t>> stack;  // node, next input to look at
    for (size_t root : roots) {
        if (seen[root]) continue;
        seen[root] = 1;
        stack.push_back({root, 0});
        while (!stack.empty()) {
            auto& [node, next] = stack.back();
            const std::vector<Source>& sources = fNodes[node].sources;
            while (next < sources.size() &&
                   (sources[next].node < 0 || seen[static_cast<size_t>(sources[next].node)]))
                ++next;
            if (next == sources.size()) {
                fSchedule.push_back(node);
                stack.pop_back();
                continue;
            }
            auto source = static_cast<size_t>(sources[next].node);
            seen[source] = 1;
            stack.push_back({source, 0});
        }
    }
}

CompositionRenderer::~CompositionRenderer() {
    {
        gldraw::ContextSwitch current(fEnvironment.context);
        if (current.Ok()) {
            StopNodes();
            fNodes.clear();
            fEnvironment.texturePool->Trim();
            fEnvironment.shareGroup->Collect();
        }
        // Without the context the nodes go without their GL cleanup (the names stay with the group).
        fNodes.clear();
    }
}

bool CompositionRenderer::IsTimeDependent() const {
    return fComposition->IsTimeDependent();
}

bool CompositionRenderer::NeedsRender() const {
    return IsTimeDependent() || !fRendered || fInputChanged;
}

void CompositionRenderer::StartNodes() {
    fStarted = true;
    for (NodeState& n : fNodes) {
        if (!n.instance) continue;
        n.started = true;
        n.running = n.instance->Start(fEnvironment);
        if (n.running) n.instance->Enable(fEnvironment);
    }
}

void CompositionRenderer::StopNodes() {
    if (!fStarted) return;
    gldraw::StateScope scope;
    for (NodeState& n : fNodes) {
        if (!n.instance || !n.started) continue;
        if (n.running) n.instance->Disable(fEnvironment);
        n.instance->Stop(fEnvironment);
        n.started = n.running = false;
    }
    fStarted = false;
}

void CompositionRenderer::Evaluate(size_t index, double time) {
    NodeState& state = fNodes[index];
    const NodeDescription& d = fComposition->Graph().Nodes()[index].description;
    for (size_t p = 0; p < state.inputs.size(); ++p) {
        const Source& source = state.sources[p];
        if (source.node < 0) continue;
        const Value& produced = fNodes[static_cast<size_t>(source.node)].outputs[source.port];
        if (produced == state.inputs[p]) continue;
        Value converted;
        if (!ConvertForPort(produced, d.inputs[p].type, converted)) converted = Value();
        if (!(converted == state.inputs[p])) {
            state.inputs[p] = std::move(converted);
            state.changed[p] = 1;
            state.anyChanged = true;
        }
    }
    if (!state.running) return;
    bool run = d.executionMode == ExecutionMode::Consumer || !state.executed || state.anyChanged ||
               fRerunAll || d.timeMode == TimeMode::Idle ||
               (d.timeMode == TimeMode::TimeBase && time != state.lastTime);
    if (!run) return;
    NodeExecution execution(fEnvironment, time, state.inputs, state.changed, state.outputs, !state.executed);
    state.instance->Execute(execution);
    state.executed = true;
    state.lastTime = time;
    state.anyChanged = false;
    state.changed.assign(state.changed.size(), 0);
}

bool CompositionRenderer::RenderAtTime(double time, const Dictionary* arguments) {
    gldraw::ContextSwitch current(fEnvironment.context);
    if (!current.Ok()) return false;
    fEnvironment.shareGroup->Collect();
    fEnvironment.texturePool->Trim();
    fEnvironment.arguments = arguments ? arguments : &EmptyArguments();
    fEnvironment.viewport = CurrentViewport();
    {
        gldraw::StateScope scope;
        if (!fStarted) StartNodes();
        fRerunAll = fRendered && !(fEnvironment.viewport == fLastViewport);
        for (size_t node : fSchedule) Evaluate(node, time);
    }
    fEnvironment.arguments = nullptr;
    fLastViewport = fEnvironment.viewport;
    fRerunAll = false;
    fRendered = true;
    fInputChanged = false;
    return true;
}

long CompositionRenderer::FindPublished(bool input, std::string_view key) const {
    const CompositionGraph& graph = fComposition->Graph();
    const std::vector<PublishedPort>& ports = input ? graph.PublishedInputs() : graph.PublishedOutputs();
    for (size_t i = 0; i < ports.size(); ++i)
        if (ports[i].key == key) return static_cast<long>(i);
    return -1;
}

bool CompositionRenderer::SetInputValue(std::string_view key, const Value& value) {
    long i = FindPublished(true, key);
    if (i < 0) return false;
    const PublishedPort& port = fComposition->Graph().PublishedInputs()[static_cast<size_t>(i)];
    Value converted;
    if (!ConvertForPort(value, port.type, converted)) return false;
    NodeState& state = fNodes[port.node];
    if (converted == state.inputs[port.port]) return true;
    state.inputs[port.port] = std::move(converted);
    state.changed[port.port] = 1;
    state.anyChanged = true;
    fInputChanged = true;
    return true;
}

const Value& CompositionRenderer::InputValue(std::string_view key) const {
    long i = FindPublished(true, key);
    if (i < 0) return Value::Null();
    const PublishedPort& port = fComposition->Graph().PublishedInputs()[static_cast<size_t>(i)];
    return fNodes[port.node].inputs[port.port];
}

const Value& CompositionRenderer::OutputValue(std::string_view key) const {
    long i = FindPublished(false, key);
    if (i < 0) return Value::Null();
    const PublishedPort& port = fComposition->Graph().PublishedOutputs()[static_cast<size_t>(i)];
    return fNodes[port.node].outputs[port.port];
}

bool CompositionRenderer::OutputValueOfType(std::string_view key, OutputType type, Value& out) const {
    const Value& v = OutputValue(key);
    switch (type) {
        case OutputType::Image:
            if (v.Kind() != ValueKind::Image) return false;
            out = v;
            return true;
        case OutputType::Color: {
            Color c;
            if (!v.ToColor(c)) return false;
            out = Value(c);
            return true;
        }
        case OutputType::Array:
            if (v.Kind() == ValueKind::Array) {
                out = v;
                return true;
            }
            if (v.Kind() == ValueKind::Dictionary) {
                ValueArray values;
                for (const auto& [k, element] : v.DictionaryValue()) values.push_back(element);
                out = Value(std::move(values));
                return true;
            }
            return false;
    }
    return false;
}

Ref<Image> CompositionRenderer::CreateSnapshotImage() {
    gldraw::ContextSwitch current(fEnvironment.context);
    if (!current.Ok()) return nullptr;
    Viewport v = CurrentViewport();
    if (v.width <= 0 || v.height <= 0) return nullptr;
    Ref<GLTextureImage> image = fEnvironment.texturePool->CreateImage(
        GL_TEXTURE_2D, static_cast<uint32_t>(v.width), static_cast<uint32_t>(v.height));
    if (!image) return nullptr;
    gldraw::StateScope scope;
    while (glGetError() != GL_NO_ERROR) {
    }
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, image->Name());
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, v.x, v.y, v.width, v.height);
    if (glGetError() != GL_NO_ERROR) return nullptr;
    return image;
}

}  // namespace plat
