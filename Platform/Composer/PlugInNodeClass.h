#pragma once

#include <memory>
#include <string>

#include "Platform/Composer/NodeClass.h"

namespace plat {

class PlugInPatchClass;
class PlugInStructure;
class PlugInValue;

// A plug-in's patch class as a node class (registered with NodeClassRegistry::RegisterPatch and used
// through the "plugin" node class).
class PlugInNodeClass final : public NodeClass {
public:
    explicit PlugInNodeClass(std::unique_ptr<PlugInPatchClass> patchClass);
    ~PlugInNodeClass() override;

    bool Describe(const Dictionary& state, const NodeClassRegistry& registry, NodeDescription& out,
                  std::string& error) const override;
    std::unique_ptr<NodeInstance> CreateInstance(const GraphNode& node) const override;

    const PlugInPatchClass& PatchClass() const { return *fPatchClass; }
    // The patch class's attributes: "name", "description" and "maker".
    const Dictionary& Attributes() const;

private:
    std::unique_ptr<PlugInPatchClass> fPatchClass;
    std::unique_ptr<Dictionary> fAttributes;
};

// Values between the runtime and plug-ins. Images and data have no plug-in form (none).
PlugInValue ToPlugInValue(const Value& value);
Value FromPlugInValue(const PlugInValue& value);

}  // namespace plat
