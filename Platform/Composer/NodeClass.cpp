#include "Platform/Composer/NodeClass.h"

#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/CompositionKeys.h"
#include "Platform/Composer/NodeInstance.h"

namespace plat {

namespace {

const PortSpec* FindPort(const std::vector<PortSpec>& ports, std::string_view key) {
    for (const PortSpec& p : ports)
        if (p.key == key) return &p;
    return nullptr;
}

}  // namespace

const PortSpec* NodeDescription::FindInput(std::string_view key) const {
    return FindPort(inputs, key);
}
const PortSpec* NodeDescription::FindOutput(std::string_view key) const {
    return FindPort(outputs, key);
}

std::unique_ptr<NodeInstance> NodeClass::CreateInstance(const GraphNode&) const {
    return nullptr;
}

bool NodeClassRegistry::Register(std::unique_ptr<NodeClass> nodeClass) {
    if (!nodeClass) return false;
    std::lock_guard<std::mutex> lock(fMutex);
    std::string name = nodeClass->Name();
    return fClasses.emplace(std::move(name), std::move(nodeClass)).second;
}

bool NodeClassRegistry::RegisterPatch(std::unique_ptr<NodeClass> patchClass) {
    if (!patchClass) return false;
    std::lock_guard<std::mutex> lock(fMutex);
    std::string name = patchClass->Name();
    return fPatches.emplace(std::move(name), std::move(patchClass)).second;
}

const NodeClass* NodeClassRegistry::Find(std::string_view name) const {
    std::lock_guard<std::mutex> lock(fMutex);
    auto it = fClasses.find(name);
    return it == fClasses.end() ? nullptr : it->second.get();
}

const NodeClass* NodeClassRegistry::FindPatch(std::string_view name) const {
    std::lock_guard<std::mutex> lock(fMutex);
    auto it = fPatches.find(name);
    return it == fPatches.end() ? nullptr : it->second.get();
}

NodeClassRegistry& NodeClassRegistry::Shared() {
    static NodeClassRegistry* shared = [] {
        auto* r = new NodeClassRegistry;
        RegisterBuiltinNodeClasses(*r);
        return r;
    }();
    return *shared;
}

PortSpec MakePortSpec(std::string key, PortType type, std::string name) {
    PortSpec p;
    p.type = type;
    p.attributes.Set(kPortAttributeType, Value(PortTypeName(type)));
    p.attributes.Set(kPortAttributeName, Value(name.empty() ? key : std::move(name)));
    p.key = std::move(key);
    return p;
}

bool PortSpecFromDeclaration(const Value& declaration, PortSpec& out, std::string& error) {
    const Value& key = declaration[kPublishedPortKey];
    const Value& type = declaration[kPortAttributeType];
    if (key.Kind() != ValueKind::String || key.StringValue().empty()) {
        error = "port declaration without a key";
        return false;
    }
    PortType t = PortTypeFromName(type.StringValue());
    if (t == PortType::Other) {
        error = "port \"" + key.StringValue() + "\" has no known type";
        return false;
    }
    out = MakePortSpec(key.StringValue(), t);
    for (const auto& [k, v] : declaration.DictionaryValue()) {
        if (k == kPublishedPortKey || k == kPortAttributeType) continue;
        out.attributes.Set(k, v);
    }
    return true;
}

}  // namespace plat
