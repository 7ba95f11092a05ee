#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Composer/NodeClass.h"
#include "Platform/Foundation/Value.h"

namespace plat {

// Upper bounds of one graph.
struct GraphLimits {
    size_t maxNodes = 4096;
    size_t maxConnections = 16384;
    size_t maxPublishedPorts = 1024;
};

struct GraphNode {
    std::string key;
    const NodeClass* nodeClass = nullptr;
    Dictionary state;
    NodeDescription description;
    // Value of each input before anything is connected or set, in description.inputs order.
    ValueArray inputValues;
};

// Indexes into the nodes and into their description's outputs (source) and inputs (destination).
struct GraphConnection {
    size_t sourceNode = 0;
    size_t sourcePort = 0;
    size_t destinationNode = 0;
    size_t destinationPort = 0;
};

// A published port: the composition's port key, the node port behind it, and its attribute dictionary.
struct PublishedPort {
    std::string key;
    size_t node = 0;
    size_t port = 0;  // into the node's inputs (published inputs) or outputs (published outputs)
    PortType type = PortType::Other;
    Dictionary attributes;
};

// The node graph of a composition, checked: node keys unique, every class known, every connection
// and published port naming an existing port of a matching kind, each input fed by one source at
// most, no cycles.
class CompositionGraph {
public:
    // From the "rootPatch" dictionary. False with a reason otherwise.
    [[nodiscard]] static bool Build(const Value& rootPatch, const NodeClassRegistry& registry,
                                    CompositionGraph& out, std::string& error,
                                    const GraphLimits& limits = {});

    const std::vector<GraphNode>& Nodes() const { return fNodes; }
    const std::vector<GraphConnection>& Connections() const { return fConnections; }
    const std::vector<PublishedPort>& PublishedInputs() const { return fInputs; }
    const std::vector<PublishedPort>& PublishedOutputs() const { return fOutputs; }

    // Index of the node with that key, or -1.
    long FindNode(std::string_view key) const;
    // The connection feeding a node input, or -1.
    long SourceOf(size_t node, size_t inputPort) const;
    // Nodes in an order where every connection's source comes before its destination.
    const std::vector<size_t>& EvaluationOrder() const { return fOrder; }

    bool HasConsumers() const;
    bool IsTimeDependent() const;

private:
    std::vector<GraphNode> fNodes;
    std::vector<GraphConnection> fConnections;
    std::vector<PublishedPort> fInputs;
    std::vector<PublishedPort> fOutputs;
    std::vector<size_t> fOrder;
};

}  // namespace plat
