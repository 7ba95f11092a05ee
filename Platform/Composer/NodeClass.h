#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Composer/PortType.h"
#include "Platform/Foundation/Value.h"

namespace plat {

class NodeClass;
class NodeClassRegistry;
class NodeInstance;
struct GraphNode;

enum class ExecutionMode : uint8_t { Provider = 1, Processor = 2, Consumer = 3 };
enum class TimeMode : uint8_t { None = 0, Idle = 1, TimeBase = 2 };

// One port of a node: its key, type and attributes (the keys of CompositionKeys.h: name, default,
// min, max, menuItems; the type attribute is filled in from type).
struct PortSpec {
    std::string key;
    PortType type = PortType::Other;
    Dictionary attributes;
};

// What a node of some class with some state has: its ports, in order, and its modes.
struct NodeDescription {
    std::vector<PortSpec> inputs;
    std::vector<PortSpec> outputs;
    ExecutionMode executionMode = ExecutionMode::Processor;
    TimeMode timeMode = TimeMode::None;
    // The class whose CreateInstance runs the node, when not the node's own (a plug-in node's
    // patch class).
    const NodeClass* instanceClass = nullptr;

    const PortSpec* FindInput(std::string_view key) const;
    const PortSpec* FindOutput(std::string_view key) const;
};

// A kind of node. Subclasses describe the ports a node has from its state (a shader's uniforms, a
// splitter's type); false, with a reason, when the state is unusable.
class NodeClass {
public:
    explicit NodeClass(std::string name) : fName(std::move(name)) {}
    virtual ~NodeClass() = default;
    NodeClass(const NodeClass&) = delete;
    NodeClass& operator=(const NodeClass&) = delete;

    const std::string& Name() const { return fName; }
    virtual bool Describe(const Dictionary& state, const NodeClassRegistry& registry, NodeDescription& out,
                          std::string& error) const = 0;
    // The running side of a node of this class in one renderer; null for classes that only
    // describe (such a node never executes and its outputs keep their defaults).
    virtual std::unique_ptr<NodeInstance> CreateInstance(const GraphNode& node) const;

private:
    std::string fName;
};

// Node classes by name, and the patch classes of plug-ins (used through the "plugin" node class) by
// patch name. Registration happens at start-up; lookups may come from any thread.
class NodeClassRegistry {
public:
    NodeClassRegistry() = default;
    NodeClassRegistry(const NodeClassRegistry&) = delete;
    NodeClassRegistry& operator=(const NodeClassRegistry&) = delete;

    // False when a class of that name is already registered (the new one is dropped).
    [[nodiscard]] bool Register(std::unique_ptr<NodeClass> nodeClass);
    [[nodiscard]] bool RegisterPatch(std::unique_ptr<NodeClass> patchClass);
    const NodeClass* Find(std::string_view name) const;
    const NodeClass* FindPatch(std::string_view name) const;

    // The process's registry, holding the built-in classes.
    static NodeClassRegistry& Shared();

private:
    mutable std::mutex fMutex;
    std::map<std::string, std::unique_ptr<NodeClass>, std::less<>> fClasses;
    std::map<std::string, std::unique_ptr<NodeClass>, std::less<>> fPatches;
};

// Helpers for describing ports.
PortSpec MakePortSpec(std::string key, PortType type, std::string name = std::string());
// A port declaration as written in a file: a dictionary with "key" and "type" and optional
// attributes. False with a reason when it is not one.
[[nodiscard]] bool PortSpecFromDeclaration(const Value& declaration, PortSpec& out, std::string& error);

}  // namespace plat
