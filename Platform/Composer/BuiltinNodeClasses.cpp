#include "Platform/Composer/BuiltinNodeClasses.h"

#include <functional>

#include "Platform/Composer/BuiltinNodeInstances.h"
#include "Platform/Composer/CompositionKeys.h"
#include "Platform/Composer/NodeClass.h"
#include "Platform/Composer/NodeInstance.h"

namespace plat {

namespace {

using DescribeFunction =
    std::function<bool(const Dictionary&, const NodeClassRegistry&, NodeDescription&, std::string&)>;
using InstanceFunction = std::unique_ptr<NodeInstance> (*)(const GraphNode&);

class FunctionNodeClass : public NodeClass {
public:
    FunctionNodeClass(std::string name, DescribeFunction describe, InstanceFunction make)
        : NodeClass(std::move(name)), fDescribe(std::move(describe)), fMake(make) {}
    bool Describe(const Dictionary& state, const NodeClassRegistry& registry, NodeDescription& out,
                  std::string& error) const override {
        return fDescribe(state, registry, out, error);
    }
    std::unique_ptr<NodeInstance> CreateInstance(const GraphNode& node) const override {
        return fMake ? fMake(node) : nullptr;
    }

private:
    DescribeFunction fDescribe;
    InstanceFunction fMake;
};

std::unique_ptr<NodeInstance> MakeGLSLNode(const GraphNode& node) {
    return MakeShaderNode(node, false);
}
std::unique_ptr<NodeInstance> MakeImageShaderNode(const GraphNode& node) {
    return MakeShaderNode(node, true);
}

PortSpec Port(const char* key, PortType type, Value defaultValue = Value()) {
    PortSpec p = MakePortSpec(key, type);
    if (!defaultValue.IsNull()) p.attributes.Set(kPortAttributeDefault, std::move(defaultValue));
    return p;
}

PortSpec SizePort(const char* key) {
    return Port(key, PortType::Index, Value(uint32_t{0}));
}

bool IsIdentifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Whether GLSL source uses the identifier (as a whole word).
bool UsesIdentifier(const std::string& source, std::string_view name) {
    for (size_t pos = source.find(name); pos != std::string::npos; pos = source.find(name, pos + 1)) {
        bool before = pos > 0 && IsIdentifierChar(source[pos - 1]);
        size_t end = pos + name.size();
        bool after = end < source.size() && IsIdentifierChar(source[end]);
        if (!before && !after) return true;
    }
    return false;
}

// Shader state: fragment source (required), vertex source, uniform declarations.
bool DescribeShader(const Dictionary& state, NodeDescription& out, std::string& error) {
    const Value& fragment = state[kShaderStateFragment];
    const Value& vertex = state[kShaderStateVertex];
    if (fragment.Kind() != ValueKind::String || fragment.StringValue().empty()) {
        error = "shader without fragment source";
        return false;
    }
    if (!vertex.IsNull() && vertex.Kind() != ValueKind::String) {
        error = "shader vertex source is not a string";
        return false;
    }
    const Value& uniforms = state[kShaderStateUniforms];
    if (!uniforms.IsNull() && uniforms.Kind() != ValueKind::Array) {
        error = "shader uniforms are not an array";
        return false;
    }
    for (const Value& u : uniforms.ArrayValue()) {
        PortSpec p;
        if (!PortSpecFromDeclaration(u, p, error)) return false;
        // A structure feeds a float array uniform (float name[N], N <= 64).
        if (p.type == PortType::String) {
            error = "uniform \"" + p.key + "\" cannot be a " + PortTypeName(p.type);
            return false;
        }
        if (p.key == "time" || p.key == "resolution" || out.FindInput(p.key)) {
            error = "uniform \"" + p.key + "\" is declared twice or reserved";
            return false;
        }
        out.inputs.push_back(std::move(p));
    }
    bool timed =
        UsesIdentifier(fragment.StringValue(), "time") || UsesIdentifier(vertex.StringValue(), "time");
    out.timeMode = timed ? TimeMode::TimeBase : TimeMode::None;
    return true;
}

bool DescribeSplitter(const Dictionary& state, NodeDescription& out, std::string& error) {
    const Value& typeName = state[kSplitterStateType];
    PortType type = PortType::Number;
    if (!typeName.IsNull()) {
        type = PortTypeFromName(typeName.StringValue());
        if (type == PortType::Other) {
            error = "splitter of unknown type \"" + typeName.StringValue() + "\"";
            return false;
        }
    }
    PortSpec in = Port("input", type);
    if (type == PortType::Index || type == PortType::Number) {
        const Value& lo = state[kSplitterStateInputMin];
        const Value& hi = state[kSplitterStateInputMax];
        if (lo.Kind() == ValueKind::Number) in.attributes.Set(kPortAttributeMinimum, lo);
        if (hi.Kind() == ValueKind::Number) in.attributes.Set(kPortAttributeMaximum, hi);
    }
    const Value& labels = state[kSplitterStateIndexLabels];
    if (type == PortType::Index && labels.Kind() == ValueKind::Array) {
        ValueArray items;
        for (const std::string& s : labels.ToTextArray()) items.emplace_back(s);
        in.attributes.Set(kPortAttributeMenuItems, Value(std::move(items)));
    }
    out.inputs.push_back(std::move(in));
    out.outputs.push_back(Port("output", type));
    out.executionMode = ExecutionMode::Processor;
    return true;
}

void Register(NodeClassRegistry& registry, const char* name, DescribeFunction f, InstanceFunction make) {
    // Built-in names are distinct; a clash only means an earlier class of that name stays.
    (void)registry.Register(std::make_unique<FunctionNodeClass>(name, std::move(f), make));
}

}  // namespace

void RegisterBuiltinNodeClasses(NodeClassRegistry& registry) {
    Register(
        registry, kNodeClassClear,
        [](const Dictionary&, const NodeClassRegistry&, NodeDescription& out, std::string&) {
            out.inputs.push_back(Port("color", PortType::Color, Value(Color{0, 0, 0, 1})));
            out.executionMode = ExecutionMode::Consumer;
            return true;
        },
        MakeClearNode);
    Register(
        registry, kNodeClassGLSL,
        [](const Dictionary& state, const NodeClassRegistry&, NodeDescription& out, std::string& error) {
            out.executionMode = ExecutionMode::Consumer;
            return DescribeShader(state, out, error);
        },
        MakeGLSLNode);
    Register(
        registry, kNodeClassImageShader,
        [](const Dictionary& state, const NodeClassRegistry&, NodeDescription& out, std::string& error) {
            out.inputs.push_back(SizePort("width"));
            out.inputs.push_back(SizePort("height"));
            out.outputs.push_back(Port("image", PortType::Image));
            out.executionMode = ExecutionMode::Processor;
            return DescribeShader(state, out, error);
        },
        MakeImageShaderNode);
    Register(
        registry, kNodeClassImageDraw,
        [](const Dictionary&, const NodeClassRegistry&, NodeDescription& out, std::string&) {
            out.inputs.push_back(Port("image", PortType::Image));
            PortSpec mode = Port("mode", PortType::Index, Value(uint32_t{0}));
            mode.attributes.Set(kPortAttributeMinimum, Value(0));
            mode.attributes.Set(kPortAttributeMaximum, Value(1));
            mode.attributes.Set(kPortAttributeMenuItems, Value(ValueArray{Value("Fit"), Value("Stretch")}));
            out.inputs.push_back(std::move(mode));
            out.executionMode = ExecutionMode::Consumer;
            return true;
        },
        MakeImageDrawNode);
    Register(
        registry, kNodeClassSplitter,
        [](const Dictionary& state, const NodeClassRegistry&, NodeDescription& out, std::string& error) {
            return DescribeSplitter(state, out, error);
        },
        MakeSplitterNode);
    Register(
        registry, kNodeClassColorFill,
        [](const Dictionary&, const NodeClassRegistry&, NodeDescription& out, std::string&) {
            out.inputs.push_back(Port("color", PortType::Color, Value(Color{1, 1, 1, 1})));
            out.inputs.push_back(SizePort("width"));
            out.inputs.push_back(SizePort("height"));
            out.outputs.push_back(Port("image", PortType::Image));
            out.executionMode = ExecutionMode::Provider;
            return true;
        },
        MakeColorFillNode);
    Register(
        registry, kNodeClassCrossfade,
        [](const Dictionary&, const NodeClassRegistry&, NodeDescription& out, std::string&) {
            out.inputs.push_back(Port("source", PortType::Image));
            out.inputs.push_back(Port("destination", PortType::Image));
            PortSpec progress = Port("progress", PortType::Number, Value(0.0));
            progress.attributes.Set(kPortAttributeMinimum, Value(0.0));
            progress.attributes.Set(kPortAttributeMaximum, Value(1.0));
            out.inputs.push_back(std::move(progress));
            out.outputs.push_back(Port("image", PortType::Image));
            out.executionMode = ExecutionMode::Processor;
            return true;
        },
        MakeCrossfadeNode);
    Register(
        registry, kNodeClassHostDraw,
        [](const Dictionary&, const NodeClassRegistry&, NodeDescription& out, std::string&) {
            out.inputs.push_back(Port("image", PortType::Image));
            out.executionMode = ExecutionMode::Consumer;
            return true;
        },
        MakeHostDrawNode);
    Register(
        registry, kNodeClassLfo,
        [](const Dictionary&, const NodeClassRegistry&, NodeDescription& out, std::string&) {
            PortSpec type = Port("type", PortType::Index, Value(uint32_t{0}));
            type.attributes.Set(kPortAttributeMinimum, Value(0));
            type.attributes.Set(kPortAttributeMaximum, Value(4));
            type.attributes.Set(kPortAttributeMenuItems,
                                Value(ValueArray{Value("Sine"), Value("Triangle"), Value("Square"),
                                                 Value("Sawtooth"), Value("Random")}));
            out.inputs.push_back(std::move(type));
            out.inputs.push_back(Port("period", PortType::Number, Value(1.0)));
            PortSpec phase = Port("phase", PortType::Number, Value(0.0));
            phase.attributes.Set(kPortAttributeMinimum, Value(0.0));
            phase.attributes.Set(kPortAttributeMaximum, Value(1.0));
            out.inputs.push_back(std::move(phase));
            out.inputs.push_back(Port("amplitude", PortType::Number, Value(1.0)));
            out.inputs.push_back(Port("offset", PortType::Number, Value(0.0)));
            out.outputs.push_back(Port("value", PortType::Number));
            out.executionMode = ExecutionMode::Provider;
            out.timeMode = TimeMode::TimeBase;
            return true;
        },
        MakeLfoNode);
    Register(
        registry, kNodeClassColorCompose,
        [](const Dictionary&, const NodeClassRegistry&, NodeDescription& out, std::string&) {
            PortSpec model = Port("model", PortType::Index, Value(uint32_t{0}));
            model.attributes.Set(kPortAttributeMinimum, Value(0));
            model.attributes.Set(kPortAttributeMaximum, Value(1));
            model.attributes.Set(kPortAttributeMenuItems, Value(ValueArray{Value("RGB"), Value("HSV")}));
            out.inputs.push_back(std::move(model));
            out.inputs.push_back(Port("value1", PortType::Number, Value(1.0)));
            out.inputs.push_back(Port("value2", PortType::Number, Value(1.0)));
            out.inputs.push_back(Port("value3", PortType::Number, Value(1.0)));
            out.inputs.push_back(Port("alpha", PortType::Number, Value(1.0)));
            out.outputs.push_back(Port("color", PortType::Color));
            out.executionMode = ExecutionMode::Processor;
            return true;
        },
        MakeColorComposeNode);
    Register(
        registry, kNodeClassPlugIn,
        [](const Dictionary& state, const NodeClassRegistry& registry, NodeDescription& out,
           std::string& error) {
            const std::string& name = state[kPlugInStatePatch].StringValue();
            const NodeClass* patch = registry.FindPatch(name);
            if (!patch) {
                error = "no plug-in patch \"" + name + "\"";
                return false;
            }
            return patch->Describe(state, registry, out, error);
        },
        nullptr);
}

}  // namespace plat
