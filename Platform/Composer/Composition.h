#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Composer/CompositionGraph.h"
#include "Platform/Composer/NodeClass.h"
#include "Platform/Foundation/Value.h"
#include "Platform/Foundation/Object.h"

namespace plat {

class Repository;

// A composition loaded from a file (XML or binary property list): its attributes, published ports,
// protocols, the checked node graph and the raw property list. Immutable once loaded, so one
// composition may be shared between threads and renderers.
class Composition : public Object {
public:
    // A new composition, or null when the file is missing, unreadable or not a valid composition
    // (error, when given, says why).
    static Ref<Composition> CreateFromFile(const std::string& path,
                                           const NodeClassRegistry& registry = NodeClassRegistry::Shared(),
                                           std::string* error = nullptr);
    static Ref<Composition> CreateFromData(const uint8_t* data, size_t size,
                                           const NodeClassRegistry& registry = NodeClassRegistry::Shared(),
                                           std::string* error = nullptr);
    static Ref<Composition> CreateFromPropertyList(
        const Value& root, const NodeClassRegistry& registry = NodeClassRegistry::Shared(),
        std::string* error = nullptr);

    // Composition attributes: name, description, category, hasConsumers, isTimeDependent and every
    // other top-level entry of the file (the maker's "lumetra.*" keys among them).
    const Dictionary& Attributes() const { return fAttributes; }
    // Attributes of one published input or output port (type, name, default, min, max, menuItems),
    // or null when there is no such port.
    const Dictionary* PortAttributes(std::string_view key) const;

    // Published port keys in file order.
    const std::vector<std::string>& InputKeys() const { return fInputKeys; }
    const std::vector<std::string>& OutputKeys() const { return fOutputKeys; }

    const std::vector<std::string>& Protocols() const { return fProtocols; }
    bool ConformsTo(std::string_view protocol) const;

    // "/name" for compositions of a repository, empty otherwise.
    const std::string& Identifier() const { return fIdentifier; }
    // The file it came from; empty when made from data.
    const std::string& Path() const { return fPath; }
    const std::string& Name() const { return fAttributes.Get("name").StringValue(); }
    bool HasConsumers() const { return fGraph.HasConsumers(); }
    bool IsTimeDependent() const { return fGraph.IsTimeDependent(); }

    // The whole file as read, for callers that walk it themselves.
    const Value& PropertyList() const { return fRoot; }
    const CompositionGraph& Graph() const { return fGraph; }

private:
    friend class Repository;
    Composition() = default;
    ~Composition() override = default;
    bool Load(const Value& root, const NodeClassRegistry& registry, std::string& error);

    std::string fPath;
    std::string fIdentifier;
    Value fRoot;
    Dictionary fAttributes;
    std::vector<std::string> fInputKeys;
    std::vector<std::string> fOutputKeys;
    std::vector<std::string> fProtocols;
    CompositionGraph fGraph;
};

}  // namespace plat
