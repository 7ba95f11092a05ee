#include "Platform/Composer/Composition.h"

#include "Platform/Composer/CompositionKeys.h"
#include "Platform/Foundation/PropertyList.h"

namespace plat {

namespace {

void SetError(std::string* out, const std::string& error) {
    if (out) *out = error;
}

std::string FileStem(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

Ref<Composition> Composition::CreateFromFile(const std::string& path, const NodeClassRegistry& registry,
                                             std::string* error) {
    if (path.empty()) {
        SetError(error, "no path");
        return nullptr;
    }
    Value root;
    if (!ReadPropertyListFile(path, root)) {
        SetError(error, "not a readable property list: " + path);
        return nullptr;
    }
    Ref<Composition> c = Adopt(new Composition);
    c->fPath = path;
    std::string why;
    if (!c->Load(root, registry, why)) {
        SetError(error, why);
        return nullptr;
    }
    if (!c->fAttributes.Contains(kCompositionAttributeName))
        c->fAttributes.Set(kCompositionAttributeName, Value(FileStem(path)));
    return c;
}

Ref<Composition> Composition::CreateFromData(const uint8_t* data, size_t size,
                                             const NodeClassRegistry& registry, std::string* error) {
    Value root;
    if (!ReadPropertyList(data, size, root)) {
        SetError(error, "not a readable property list");
        return nullptr;
    }
    return CreateFromPropertyList(root, registry, error);
}

Ref<Composition> Composition::CreateFromPropertyList(const Value& root, const NodeClassRegistry& registry,
                                                     std::string* error) {
    Ref<Composition> c = Adopt(new Composition);
    std::string why;
    if (!c->Load(root, registry, why)) {
        SetError(error, why);
        return nullptr;
    }
    return c;
}

bool Composition::Load(const Value& root, const NodeClassRegistry& registry, std::string& error) {
    if (root.Kind() != ValueKind::Dictionary) {
        error = "the file is not a dictionary";
        return false;
    }
    const Value& protocols = root[kCompositionFileProtocols];
    const Value& portAttributes = root[kCompositionFilePortAttributes];
    if (!protocols.IsNull() && protocols.Kind() != ValueKind::Array) {
        error = "protocols is not an array";
        return false;
    }
    if (!portAttributes.IsNull() && portAttributes.Kind() != ValueKind::Dictionary) {
        error = "portAttributes is not a dictionary";
        return false;
    }
    const Value& name = root[kCompositionAttributeName];
    if (!name.IsNull() && name.Kind() != ValueKind::String) {
        error = "name is not a string";
        return false;
    }
    if (!CompositionGraph::Build(root[kCompositionFileRootPatch], registry, fGraph, error)) return false;

    for (const Value& p : protocols.ArrayValue()) {
        if (p.Kind() != ValueKind::String) {
            error = "a protocol is not a string";
            return false;
        }
        fProtocols.push_back(p.StringValue());
    }
    for (const PublishedPort& p : fGraph.PublishedInputs()) fInputKeys.push_back(p.key);
    for (const PublishedPort& p : fGraph.PublishedOutputs()) {
        for (const std::string& in : fInputKeys) {
            if (in == p.key) {
                error = "port \"" + p.key + "\" is both an input and an output";
                return false;
            }
        }
        fOutputKeys.push_back(p.key);
    }

    for (const auto& [key, value] : root.DictionaryValue()) {
        if (key == kCompositionFileProtocols || key == kCompositionFilePortAttributes ||
            key == kCompositionFileRootPatch)
            continue;
        fAttributes.Set(key, value);
    }
    fAttributes.Set(kCompositionAttributeHasConsumers, Value(fGraph.HasConsumers()));
    fAttributes.Set(kCompositionAttributeIsTimeDependent, Value(fGraph.IsTimeDependent()));
    fRoot = root;
    return true;
}

const Dictionary* Composition::PortAttributes(std::string_view key) const {
    for (const PublishedPort& p : fGraph.PublishedInputs())
        if (p.key == key) return &p.attributes;
    for (const PublishedPort& p : fGraph.PublishedOutputs())
        if (p.key == key) return &p.attributes;
    return nullptr;
}

bool Composition::ConformsTo(std::string_view protocol) const {
    for (const std::string& p : fProtocols)
        if (p == protocol) return true;
    return false;
}

}  // namespace plat
