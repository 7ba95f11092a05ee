#include "Platform/Composer/CompositionGraph.h"

#include <set>

#include "Platform/Composer/CompositionKeys.h"

namespace plat {

namespace {

bool IsImage(PortType t) {
    return t == PortType::Image;
}

long FindPort(const std::vector<PortSpec>& ports, std::string_view key) {
    for (size_t i = 0; i < ports.size(); ++i)
        if (ports[i].key == key) return static_cast<long>(i);
    return -1;
}

const std::string* StringEntry(const Value& dict, const char* key) {
    const Value& v = dict[key];
    if (v.Kind() != ValueKind::String || v.StringValue().empty()) return nullptr;
    return &v.StringValue();
}

// Converts a default attribute, if any, to the port's type.
bool NormalizeDefault(PortSpec& port, std::string& error) {
    const Value* d = port.attributes.Find(kPortAttributeDefault);
    if (!d) return true;
    Value converted;
    if (!ConvertForPort(*d, port.type, converted)) {
        error = "default of port \"" + port.key + "\" does not fit its type";
        return false;
    }
    port.attributes.Set(kPortAttributeDefault, std::move(converted));
    return true;
}

bool BuildNode(const Value& entry, const NodeClassRegistry& registry, GraphNode& node, std::string& error) {
    if (entry.Kind() != ValueKind::Dictionary) {
        error = "a node is not a dictionary";
        return false;
    }
    const std::string* key = StringEntry(entry, kNodeKey);
    const std::string* className = StringEntry(entry, kNodeClass);
    if (!key || !className) {
        error = "a node has no key or class";
        return false;
    }
    node.key = *key;
    node.nodeClass = registry.Find(*className);
    if (!node.nodeClass) {
        error = "node \"" + node.key + "\" has unknown class \"" + *className + "\"";
        return false;
    }
    const Value& state = entry[kNodeState];
    if (!state.IsNull() && state.Kind() != ValueKind::Dictionary) {
        error = "state of node \"" + node.key + "\" is not a dictionary";
        return false;
    }
    node.state = state.DictionaryValue();
    std::string why;
    if (!node.nodeClass->Describe(node.state, registry, node.description, why)) {
        error = "node \"" + node.key + "\": " + why;
        return false;
    }
    for (auto* ports : {&node.description.inputs, &node.description.outputs}) {
        std::set<std::string_view> seen;
        for (PortSpec& p : *ports) {
            if (!seen.insert(p.key).second) {
                error = "node \"" + node.key + "\" has port \"" + p.key + "\" twice";
                return false;
            }
            p.attributes.Set(kPortAttributeType, Value(PortTypeName(p.type)));
            if (!NormalizeDefault(p, error)) return false;
        }
    }
    const Value& values = node.state[kNodeInputValues];
    if (!values.IsNull() && values.Kind() != ValueKind::Dictionary) {
        error = "input values of node \"" + node.key + "\" are not a dictionary";
        return false;
    }
    for (const auto& [portKey, v] : values.DictionaryValue()) {
        if (!node.description.FindInput(portKey)) {
            error = "node \"" + node.key + "\" has a value for unknown input \"" + portKey + "\"";
            return false;
        }
    }
    for (const PortSpec& p : node.description.inputs) {
        Value value = DefaultForPort(p.type);
        if (const Value* d = p.attributes.Find(kPortAttributeDefault)) value = *d;
        if (const Value* given = values.DictionaryValue().Find(p.key)) {
            if (!ConvertForPort(*given, p.type, value)) {
                error = "value of \"" + node.key + "." + p.key + "\" does not fit its type";
                return false;
            }
        }
        node.inputValues.push_back(std::move(value));
    }
    return true;
}

}  // namespace

long CompositionGraph::FindNode(std::string_view key) const {
    for (size_t i = 0; i < fNodes.size(); ++i)
        if (fNodes[i].key == key) return static_cast<long>(i);
    return -1;
}

long CompositionGraph::SourceOf(size_t node, size_t inputPort) const {
    for (size_t i = 0; i < fConnections.size(); ++i)
        if (fConnections[i].destinationNode == node && fConnections[i].destinationPort == inputPort)
            return static_cast<long>(i);
    return -1;
}

bool CompositionGraph::Build(const Value& rootPatch, const NodeClassRegistry& registry, CompositionGraph& out,
                             std::string& error, const GraphLimits& limits) {
    out = CompositionGraph();
    if (rootPatch.Kind() != ValueKind::Dictionary) {
        error = "rootPatch is not a dictionary";
        return false;
    }
    const Value& state = rootPatch[kGraphState];
    if (state.Kind() != ValueKind::Dictionary) {
        error = "rootPatch has no state dictionary";
        return false;
    }
    const Value& nodes = state[kGraphNodes];
    const Value& connections = state[kGraphConnections];
    const Value& inputs = state[kGraphPublishedInputs];
    const Value& outputs = state[kGraphPublishedOutputs];
    for (const Value* list : {&nodes, &connections, &inputs, &outputs}) {
        if (!list->IsNull() && list->Kind() != ValueKind::Array) {
            error = "nodes, connections and published ports must be arrays";
            return false;
        }
    }
    if (nodes.ArrayValue().size() > limits.maxNodes ||
        connections.ArrayValue().size() > limits.maxConnections ||
        inputs.ArrayValue().size() > limits.maxPublishedPorts ||
        outputs.ArrayValue().size() > limits.maxPublishedPorts) {
        error = "graph too large";
        return false;
    }

    CompositionGraph g;
    std::set<std::string_view> nodeKeys;
    for (const Value& entry : nodes.ArrayValue()) {
        GraphNode node;
        if (!BuildNode(entry, registry, node, error)) return false;
        g.fNodes.push_back(std::move(node));
    }
    for (const GraphNode& n : g.fNodes) {
        if (!nodeKeys.insert(n.key).second) {
            error = "node key \"" + n.key + "\" is used twice";
            return false;
        }
    }

    // Which inputs already have a source: connections and published inputs alike.
    std::set<std::pair<size_t, size_t>> fed;
    for (const Value& entry : connections.ArrayValue()) {
        const std::string* sn = StringEntry(entry, kConnectionSourceNode);
        const std::string* sp = StringEntry(entry, kConnectionSourcePort);
        const std::string* dn = StringEntry(entry, kConnectionDestinationNode);
        const std::string* dp = StringEntry(entry, kConnectionDestinationPort);
        if (!sn || !sp || !dn || !dp) {
            error = "a connection lacks a node or port";
            return false;
        }
        long src = g.FindNode(*sn), dst = g.FindNode(*dn);
        long srcPort = src < 0 ? -1 : FindPort(g.fNodes[static_cast<size_t>(src)].description.outputs, *sp);
        long dstPort = dst < 0 ? -1 : FindPort(g.fNodes[static_cast<size_t>(dst)].description.inputs, *dp);
        std::string name = *sn + "." + *sp + " -> " + *dn + "." + *dp;
        if (srcPort < 0 || dstPort < 0) {
            error = "connection " + name + " names a missing node or port";
            return false;
        }
        GraphConnection c{static_cast<size_t>(src), static_cast<size_t>(srcPort), static_cast<size_t>(dst),
                          static_cast<size_t>(dstPort)};
        PortType from = g.fNodes[c.sourceNode].description.outputs[c.sourcePort].type;
        PortType to = g.fNodes[c.destinationNode].description.inputs[c.destinationPort].type;
        if (IsImage(from) != IsImage(to)) {
            error = "connection " + name + " joins an image port to another kind";
            return false;
        }
        if (!fed.insert({c.destinationNode, c.destinationPort}).second) {
            error = "connection " + name + " feeds an input that already has a source";
            return false;
        }
        g.fConnections.push_back(c);
    }

    for (int direction = 0; direction < 2; ++direction) {
        const Value& list = direction == 0 ? inputs : outputs;
        std::vector<PublishedPort>& ports = direction == 0 ? g.fInputs : g.fOutputs;
        std::set<std::string_view> keys;
        for (const Value& entry : list.ArrayValue()) {
            const std::string* key = StringEntry(entry, kPublishedPortKey);
            const std::string* nodeKey = StringEntry(entry, kPublishedPortNode);
            const std::string* portKey = StringEntry(entry, kPublishedPortNodePort);
            if (!key || !nodeKey || !portKey) {
                error = "a published port lacks its key, node or port";
                return false;
            }
            long n = g.FindNode(*nodeKey);
            const GraphNode* node = n < 0 ? nullptr : &g.fNodes[static_cast<size_t>(n)];
            long p = !node ? -1
                           : FindPort(direction == 0 ? node->description.inputs : node->description.outputs,
                                      *portKey);
            if (p < 0) {
                error = "published port \"" + *key + "\" names a missing node or port";
                return false;
            }
            PublishedPort pub;
            pub.key = *key;
            pub.node = static_cast<size_t>(n);
            pub.port = static_cast<size_t>(p);
            const PortSpec& spec =
                (direction == 0 ? node->description.inputs : node->description.outputs)[pub.port];
            pub.type = spec.type;
            pub.attributes = spec.attributes;
            pub.attributes.Set(kPortAttributeName, Value(pub.key));
            if (direction == 0) {
                if (!fed.insert({pub.node, pub.port}).second) {
                    error = "published input \"" + *key + "\" feeds an input that already has a source";
                    return false;
                }
                if (spec.type != PortType::Image)
                    pub.attributes.Set(kPortAttributeDefault, node->inputValues[pub.port]);
            }
            for (const auto& [k, v] : entry.DictionaryValue()) {
                if (k == kPublishedPortKey || k == kPublishedPortNode || k == kPublishedPortNodePort ||
                    k == kPortAttributeType)
                    continue;
                pub.attributes.Set(k, v);
            }
            PortSpec check{pub.key, pub.type, pub.attributes};
            if (!NormalizeDefault(check, error)) return false;
            pub.attributes = std::move(check.attributes);
            // A default given on the published port is the node input's starting value too.
            if (direction == 0 && entry.DictionaryValue().Contains(kPortAttributeDefault))
                g.fNodes[pub.node].inputValues[pub.port] = pub.attributes.Get(kPortAttributeDefault);
            ports.push_back(std::move(pub));
        }
        for (const PublishedPort& pub : ports) {
            if (!keys.insert(pub.key).second) {
                error = "published port \"" + pub.key + "\" appears twice";
                return false;
            }
        }
    }

    // Kahn's algorithm: every node ends up in the order unless there is a cycle.
    std::vector<size_t> pending(g.fNodes.size(), 0);
    for (const GraphConnection& c : g.fConnections) ++pending[c.destinationNode];
    std::vector<size_t> ready;
    for (size_t i = g.fNodes.size(); i-- > 0;)
        if (pending[i] == 0) ready.push_back(i);
    while (!ready.empty()) {
        size_t n = ready.back();
        ready.pop_back();
        g.fOrder.push_back(n);
        for (const GraphConnection& c : g.fConnections)
            if (c.sourceNode == n && --pending[c.destinationNode] == 0) ready.push_back(c.destinationNode);
    }
    if (g.fOrder.size() != g.fNodes.size()) {
        error = "the connections form a cycle";
        return false;
    }
    out = std::move(g);
    return true;
}

bool CompositionGraph::HasConsumers() const {
    for (const GraphNode& n : fNodes)
        if (n.description.executionMode == ExecutionMode::Consumer) return true;
    return false;
}

bool CompositionGraph::IsTimeDependent() const {
    for (const GraphNode& n : fNodes)
        if (n.description.timeMode != TimeMode::None) return true;
    return false;
}

}  // namespace plat
