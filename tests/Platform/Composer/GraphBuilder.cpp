#include "tests/Platform/Composer/GraphBuilder.h"

#include <gtest/gtest.h>

#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/CompositionKeys.h"

namespace composertest {

namespace {

plat::Value Port(const std::string& key, const std::string& node, const std::string& port) {
    plat::Dictionary d;
    d.Set(plat::kPublishedPortKey, plat::Value(key));
    d.Set(plat::kPublishedPortNode, plat::Value(node));
    d.Set(plat::kPublishedPortNodePort, plat::Value(port));
    return plat::Value(std::move(d));
}

}  // namespace

GraphBuilder& GraphBuilder::Node(const std::string& key, const std::string& nodeClass,
                                 plat::Dictionary state) {
    plat::Dictionary d;
    d.Set(plat::kNodeKey, plat::Value(key));
    d.Set(plat::kNodeClass, plat::Value(nodeClass));
    d.Set(plat::kNodeState, plat::Value(std::move(state)));
    fNodes.emplace_back(std::move(d));
    return *this;
}

GraphBuilder& GraphBuilder::Connect(const std::string& sourceNode, const std::string& sourcePort,
                                    const std::string& destinationNode, const std::string& destinationPort) {
    plat::Dictionary d;
    d.Set(plat::kConnectionSourceNode, plat::Value(sourceNode));
    d.Set(plat::kConnectionSourcePort, plat::Value(sourcePort));
    d.Set(plat::kConnectionDestinationNode, plat::Value(destinationNode));
    d.Set(plat::kConnectionDestinationPort, plat::Value(destinationPort));
    fConnections.emplace_back(std::move(d));
    return *this;
}

GraphBuilder& GraphBuilder::PublishInput(const std::string& key, const std::string& node,
                                         const std::string& port) {
    fInputs.push_back(Port(key, node, port));
    return *this;
}

GraphBuilder& GraphBuilder::PublishOutput(const std::string& key, const std::string& node,
                                          const std::string& port) {
    fOutputs.push_back(Port(key, node, port));
    return *this;
}

plat::Value GraphBuilder::PropertyList() const {
    plat::Dictionary state;
    state.Set(plat::kGraphNodes, plat::Value(fNodes));
    state.Set(plat::kGraphConnections, plat::Value(fConnections));
    state.Set(plat::kGraphPublishedInputs, plat::Value(fInputs));
    state.Set(plat::kGraphPublishedOutputs, plat::Value(fOutputs));
    plat::Dictionary root;
    root.Set(plat::kGraphState, plat::Value(std::move(state)));
    plat::Dictionary file;
    file.Set(plat::kCompositionAttributeName, plat::Value("test"));
    file.Set(plat::kCompositionFileRootPatch, plat::Value(std::move(root)));
    return plat::Value(std::move(file));
}

plat::Ref<plat::Composition> GraphBuilder::Build(const plat::NodeClassRegistry& registry) const {
    std::string error;
    plat::Ref<plat::Composition> c =
        plat::Composition::CreateFromPropertyList(PropertyList(), registry, &error);
    EXPECT_NE(c, nullptr) << error;
    return c;
}

plat::Dictionary ShaderState(const std::string& fragment,
                             std::initializer_list<std::pair<const char*, const char*>> uniforms) {
    plat::Dictionary state;
    state.Set(plat::kShaderStateFragment, plat::Value(fragment));
    plat::ValueArray list;
    for (const auto& [key, type] : uniforms) {
        plat::Dictionary u;
        u.Set(plat::kPublishedPortKey, plat::Value(key));
        u.Set(plat::kPortAttributeType, plat::Value(type));
        list.emplace_back(std::move(u));
    }
    state.Set(plat::kShaderStateUniforms, plat::Value(std::move(list)));
    return state;
}

GraphBuilder PatchGraph(const char* patch, PortKeys inputs, PortKeys outputs) {
    plat::Dictionary state;
    state.Set(plat::kPlugInStatePatch, plat::Value(patch));
    GraphBuilder g;
    g.Node("p", plat::kNodeClassPlugIn, state);
    for (const auto& [name, key] : inputs) g.PublishInput(name, "p", key);
    for (const auto& [name, key] : outputs) g.PublishOutput(name, "p", key);
    return g;
}

GraphBuilder SolidColorGraph() {
    plat::Dictionary u;
    u.Set(plat::kPublishedPortKey, plat::Value("color"));
    u.Set(plat::kPortAttributeType, plat::Value("color"));
    u.Set(plat::kPortAttributeDefault, plat::Value(plat::Color{1, 1, 1, 1}));
    plat::Dictionary state;
    state.Set(plat::kShaderStateFragment, plat::Value("uniform vec4 color; void main() { gl_FragColor = color; }"));
    state.Set(plat::kShaderStateUniforms, plat::Value(plat::ValueArray{plat::Value(std::move(u))}));
    GraphBuilder solid;
    solid.Node("g", plat::kNodeClassGLSL, state);
    solid.PublishInput("Color", "g", "color");
    return solid;
}

}  // namespace composertest
