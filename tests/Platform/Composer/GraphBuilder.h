#pragma once

#include <string>

#include "Platform/Composer/Composition.h"
#include "Platform/Foundation/Value.h"

namespace composertest {

// Builds a composition's property list in code.
class GraphBuilder {
public:
    GraphBuilder& Node(const std::string& key, const std::string& nodeClass,
                       plat::Dictionary state = plat::Dictionary());
    GraphBuilder& Connect(const std::string& sourceNode, const std::string& sourcePort,
                          const std::string& destinationNode, const std::string& destinationPort);
    GraphBuilder& PublishInput(const std::string& key, const std::string& node, const std::string& port);
    GraphBuilder& PublishOutput(const std::string& key, const std::string& node, const std::string& port);

    plat::Value PropertyList() const;
    // Fails the test when the graph does not load.
    plat::Ref<plat::Composition> Build(
        const plat::NodeClassRegistry& registry = plat::NodeClassRegistry::Shared()) const;

private:
    plat::ValueArray fNodes, fConnections, fInputs, fOutputs;
};

// State of a shader node: fragment source and uniform declarations {key, type}.
plat::Dictionary ShaderState(const std::string& fragment,
                             std::initializer_list<std::pair<const char*, const char*>> uniforms = {});

// One shader node filling the frame with the colour of its published input "Color" (white unless set).
GraphBuilder SolidColorGraph();

// One node "p" of class "plugin" running the patch, its ports published as {name, port key}.
using PortKeys = std::initializer_list<std::pair<const char*, const char*>>;
GraphBuilder PatchGraph(const char* patch, PortKeys inputs, PortKeys outputs);

}  // namespace composertest
