#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/Composition.h"
#include "Platform/Composer/CompositionKeys.h"
#include "tests/support/TempDir.h"

namespace {

using plat::Color;
using plat::Composition;
using plat::Dictionary;
using plat::Value;
using plat::ValueArray;

using CompositionPtr = plat::Ref<Composition>;

std::string Fixture(const std::string& name) {
    return std::string(COMPOSER_FIXTURES) + "/" + name;
}

CompositionPtr Load(const std::string& path, std::string* error = nullptr) {
    return CompositionPtr(Composition::CreateFromFile(path, plat::NodeClassRegistry::Shared(), error));
}

// The walks the engine makes through the raw list.
const Value& PublishedNodeState(const Composition& c, const std::string& key) {
    const Value& state = c.PropertyList()["rootPatch"]["state"];
    for (const Value& port : state["publishedInputPorts"].ArrayValue()) {
        if (port["key"].StringValue() != key) continue;
        for (const Value& node : state["nodes"].ArrayValue())
            if (node["key"] == port["node"]) return node["state"];
    }
    return Value::Null();
}

const Value& SliderBound(const Composition& c, const std::string& key, const char* which) {
    return c.PropertyList()["portAttributes"][key][which];
}

TEST(CompositionTest, XmlAndBinaryFilesLoadAlike) {
    for (const char* name : {"animation.qtz", "filter.qtz"}) {
        SCOPED_TRACE(name);
        CompositionPtr xml = Load(Fixture(std::string("xml/") + name));
        CompositionPtr bin = Load(Fixture(std::string("binary/") + name));
        ASSERT_TRUE(xml && bin);
        EXPECT_EQ(xml->Attributes(), bin->Attributes());
        EXPECT_EQ(xml->InputKeys(), bin->InputKeys());
        EXPECT_EQ(xml->OutputKeys(), bin->OutputKeys());
        EXPECT_EQ(xml->Protocols(), bin->Protocols());
        EXPECT_EQ(xml->PropertyList(), bin->PropertyList());
        for (const auto* keys : {&xml->InputKeys(), &xml->OutputKeys()})
            for (const std::string& key : *keys)
                EXPECT_EQ(*xml->PortAttributes(key), *bin->PortAttributes(key)) << key;
        EXPECT_TRUE(xml->Identifier().empty());
    }
}

// The committed binary fixtures are what plistutil makes of the XML ones.
TEST(CompositionTest, PeerBinaryFixturesMatchPlistutil) {
    testsupport::TempDir dir;
    for (const char* name : {"animation.qtz", "filter.qtz"}) {
        SCOPED_TRACE(name);
        std::string cmd =
            "plistutil -i " + Fixture(std::string("xml/") + name) + " -o " + dir.File(name) + " -f bin";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        CompositionPtr made = Load(dir.File(name));
        CompositionPtr committed = Load(Fixture(std::string("binary/") + name));
        ASSERT_TRUE(made && committed);
        EXPECT_EQ(made->PropertyList(), committed->PropertyList());
    }
}

TEST(CompositionTest, AttributesKeysAndProtocols) {
    CompositionPtr a = Load(Fixture("xml/animation.qtz"));
    CompositionPtr f = Load(Fixture("xml/filter.qtz"));
    ASSERT_TRUE(a && f);

    EXPECT_EQ(a->InputKeys(), (std::vector<std::string>{"Tint", "Speed", "Shape", "Background"}));
    EXPECT_TRUE(a->OutputKeys().empty());
    EXPECT_EQ(a->Protocols(),
              (std::vector<std::string>{plat::kProtocolGraphicAnimation, plat::kProtocolRSSVisualizer}));
    const Dictionary& attrs = a->Attributes();
    EXPECT_EQ(a->Name(), "Rings");
    EXPECT_EQ(attrs["category"], Value(plat::kCompositionCategoryStylize));
    EXPECT_EQ(attrs["lumetra.name"], Value("Rings,\"Ringe\""));
    EXPECT_EQ(attrs["lumetra.plane"], Value(true));
    EXPECT_TRUE(attrs["lumetra.clear"].IsNull());
    EXPECT_EQ(attrs["lumetra.portex"]["Speed"]["prec"], Value(2));
    EXPECT_EQ(attrs["lumetra.imageparams"].ToTextArray(), std::vector<std::string>{"Tint"});
    EXPECT_FALSE(attrs.Contains("rootPatch"));
    EXPECT_FALSE(attrs.Contains("portAttributes"));
    EXPECT_EQ(attrs["hasConsumers"], Value(true));
    EXPECT_EQ(attrs["isTimeDependent"], Value(true));

    EXPECT_EQ(f->InputKeys(), (std::vector<std::string>{"_protocolInput_Image", "Amount"}));
    EXPECT_EQ(f->OutputKeys(), std::vector<std::string>{"_protocolOutput_Image"});
    EXPECT_TRUE(f->ConformsTo(plat::kProtocolImageFilter));
    EXPECT_FALSE(f->ConformsTo(plat::kProtocolGraphicAnimation));
    EXPECT_FALSE(f->HasConsumers());
    EXPECT_FALSE(f->IsTimeDependent());
    EXPECT_EQ(f->Attributes()["isTimeDependent"], Value(false));
    EXPECT_EQ(f->PortAttributes("nope"), nullptr);
}

TEST(CompositionTest, PortAttributesAndRawWalks) {
    const Value none;
    const Value labels(ValueArray{Value("Circle"), Value("Square"), Value("Star")});
    struct Case {
        const char* file;
        const char* key;
        const char* type;
        const char* name;
        Value defaultValue, min, max, menuItems;
        Value rawLabels, rawInputMin, sliderMin, sliderMax;
    };
    const Case cases[] = {
        {"animation.qtz", "Tint", "color", "Ring colour", Value(Color{1, 0.5f, 0.25f, 1}), none, none, none,
         none, none, none, none},
        {"animation.qtz", "Speed", "number", "Speed", Value(1.5), none, none, none, none, none, Value(-4.0),
         Value(4.0)},
        {"animation.qtz", "Shape", "index", "Shape", Value(uint32_t{1}), Value(1), Value(2), labels, labels,
         Value(1), none, none},
        {"animation.qtz", "Background", "color", "Background", Value(Color{0, 0, 0.2f, 1}), none, none, none,
         none, none, none, none},
        {"filter.qtz", "_protocolInput_Image", "image", "_protocolInput_Image", none, none, none, none, none,
         none, none, none},
        {"filter.qtz", "Amount", "number", "Amount", Value(1.0), Value(0.0), Value(1.0), none, none, none,
         none, none},
        {"filter.qtz", "_protocolOutput_Image", "image", "_protocolOutput_Image", none, none, none, none,
         none, none, none, none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        CompositionPtr compo = Load(Fixture(std::string("binary/") + c.file));
        ASSERT_TRUE(compo);
        const Dictionary* port = compo->PortAttributes(c.key);
        ASSERT_NE(port, nullptr);
        EXPECT_EQ((*port)["type"], Value(c.type));
        EXPECT_EQ((*port)["name"], Value(c.name));
        EXPECT_EQ((*port)["default"], c.defaultValue);
        EXPECT_EQ((*port)["min"], c.min);
        EXPECT_EQ((*port)["max"], c.max);
        EXPECT_EQ((*port)["menuItems"], c.menuItems);
        const Value& state = PublishedNodeState(*compo, c.key);
        EXPECT_EQ(state["indexLabels"], c.rawLabels);
        EXPECT_EQ(state["inputMin"], c.rawInputMin);
        EXPECT_EQ(SliderBound(*compo, c.key, "CIAttributeSliderMin"), c.sliderMin);
        EXPECT_EQ(SliderBound(*compo, c.key, "CIAttributeSliderMax"), c.sliderMax);
    }
}

// The example of the format's README loads and answers as the README says.
TEST(CompositionTest, ReadmeExampleLoads) {
    std::ifstream in(std::string(COMPOSER_FIXTURES) + "/../../../../Platform/Composer/README.md");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t begin = text.find("```xml\n");
    ASSERT_NE(begin, std::string::npos);
    begin += 7;
    size_t end = text.find("```", begin);
    ASSERT_NE(end, std::string::npos);
    std::string error;
    CompositionPtr c(Composition::CreateFromData(reinterpret_cast<const uint8_t*>(text.data() + begin),
                                                 end - begin, plat::NodeClassRegistry::Shared(), &error));
    ASSERT_TRUE(c) << error;
    EXPECT_EQ(c->InputKeys(), (std::vector<std::string>{"Speed", "Tint"}));
    const Dictionary& speed = *c->PortAttributes("Speed");
    EXPECT_EQ(speed["type"], Value("number"));
    EXPECT_EQ(speed["default"], Value(1.5));
    EXPECT_EQ(speed["min"], Value(0));
    EXPECT_EQ(speed["max"], Value(10));
    EXPECT_EQ((*c->PortAttributes("Tint"))["name"], Value("Ring colour"));
    EXPECT_EQ((*c->PortAttributes("Tint"))["default"], Value(Color{1, 0.5f, 0.25f, 1}));
    EXPECT_TRUE(c->HasConsumers());
    EXPECT_TRUE(c->IsTimeDependent());
}

TEST(CompositionTest, BrokenOrMissingFilesGiveNoComposition) {
    const char* paths[] = {"xml/broken.qtz", "xml/readme.txt", "xml/none.qtz", "xml"};
    for (const char* p : paths) {
        std::string error;
        EXPECT_FALSE(Load(Fixture(p), &error)) << p;
        EXPECT_FALSE(error.empty()) << p;
    }
    EXPECT_FALSE(Load(""));
}

TEST(CompositionTest, GraphModelForTheRenderer) {
    CompositionPtr a = Load(Fixture("xml/animation.qtz"));
    ASSERT_TRUE(a);
    const plat::CompositionGraph& g = a->Graph();
    ASSERT_EQ(g.Nodes().size(), 4u);
    long rings = g.FindNode("rings");
    long speed = g.FindNode("speed");
    ASSERT_GE(rings, 0);
    ASSERT_GE(speed, 0);
    const plat::GraphNode& node = g.Nodes()[static_cast<size_t>(rings)];
    EXPECT_EQ(node.nodeClass->Name(), plat::kNodeClassGLSL);
    EXPECT_EQ(node.description.executionMode, plat::ExecutionMode::Consumer);
    EXPECT_EQ(node.description.timeMode, plat::TimeMode::TimeBase);
    ASSERT_EQ(node.description.inputs.size(), 3u);
    long c = g.SourceOf(static_cast<size_t>(rings), 0);
    ASSERT_GE(c, 0);
    EXPECT_EQ(g.Connections()[static_cast<size_t>(c)].sourceNode, static_cast<size_t>(speed));
    EXPECT_EQ(g.SourceOf(static_cast<size_t>(rings), 2), -1);
    EXPECT_EQ(node.inputValues[2], Value(Color{1, 0.5f, 0.25f, 1}));
    // A default given on the published port starts the node input too.
    const plat::PublishedPort& background = g.PublishedInputs()[3];
    EXPECT_EQ(g.Nodes()[background.node].inputValues[background.port], Value(Color{0, 0, 0.2f, 1}));

    std::vector<size_t> order = g.EvaluationOrder();
    auto pos = [&](long n) {
        return std::find(order.begin(), order.end(), static_cast<size_t>(n)) - order.begin();
    };
    EXPECT_LT(pos(speed), pos(rings));
    EXPECT_LT(pos(g.FindNode("shape")), pos(rings));
}

// Builders for graphs written in the test.
Value Node(const char* key, const char* cls, Dictionary state = {}) {
    Dictionary d;
    d.Set("key", Value(key));
    d.Set("class", Value(cls));
    if (!state.Empty()) d.Set("state", Value(std::move(state)));
    return Value(std::move(d));
}

Dictionary SplitterState(const char* type, Value input = Value()) {
    Dictionary s;
    s.Set("type", Value(type));
    if (!input.IsNull()) {
        Dictionary values;
        values.Set("input", std::move(input));
        s.Set("inputValues", Value(std::move(values)));
    }
    return s;
}

Dictionary ShaderState(const char* source, ValueArray uniforms = {}) {
    Dictionary s;
    s.Set("fragment", Value(source));
    s.Set("uniforms", Value(std::move(uniforms)));
    return s;
}

Value Uniform(const char* key, const char* type) {
    Dictionary d;
    d.Set("key", Value(key));
    d.Set("type", Value(type));
    return Value(std::move(d));
}

Value Link(const char* sn, const char* sp, const char* dn, const char* dp) {
    Dictionary d;
    d.Set("sourceNode", Value(sn));
    d.Set("sourcePort", Value(sp));
    d.Set("destinationNode", Value(dn));
    d.Set("destinationPort", Value(dp));
    return Value(std::move(d));
}

Value Pub(const char* key, const char* node, const char* port) {
    Dictionary d;
    d.Set("key", Value(key));
    d.Set("node", Value(node));
    d.Set("port", Value(port));
    return Value(std::move(d));
}

Value Root(ValueArray nodes, ValueArray links = {}, ValueArray inputs = {}, ValueArray outputs = {}) {
    Dictionary state;
    state.Set("nodes", Value(std::move(nodes)));
    state.Set("connections", Value(std::move(links)));
    state.Set("publishedInputPorts", Value(std::move(inputs)));
    state.Set("publishedOutputPorts", Value(std::move(outputs)));
    Dictionary patch;
    patch.Set("state", Value(std::move(state)));
    Dictionary root;
    root.Set("rootPatch", Value(std::move(patch)));
    return Value(std::move(root));
}

TEST(CompositionTest, GraphsAreCheckedOnLoad) {
    const Value a = Node("a", "splitter");
    const Value b = Node("b", "splitter");
    const Value img = Node("img", "colorFill");
    struct Case {
        const char* name;
        Value root;
        bool ok;
    };
    const Case cases[] = {
        {"valid",
         Root({a, b}, {Link("a", "output", "b", "input")}, {Pub("In", "a", "input")},
              {Pub("Out", "b", "output")}),
         true},
        {"not a dictionary", Value(ValueArray{}), false},
        {"no rootPatch", Value(Dictionary{}), false},
        {"nodes not an array",
         [] {
             Value r = Root({});
             Dictionary state;
             state.Set("nodes", Value("x"));
             Dictionary patch;
             patch.Set("state", Value(state));
             r.MutableDictionary().Set("rootPatch", Value(patch));
             return r;
         }(),
         false},
        {"unknown class", Root({Node("a", "teapot")}), false},
        {"node without key", Root({Node("", "splitter")}), false},
        {"duplicate node key", Root({a, Node("a", "clear")}), false},
        {"missing port", Root({a, b}, {Link("a", "nope", "b", "input")}), false},
        {"missing node", Root({a}, {Link("a", "output", "z", "input")}), false},
        {"image into number", Root({img, b}, {Link("img", "image", "b", "input")}), false},
        {"two sources",
         Root({a, b, Node("c", "splitter")},
              {Link("a", "output", "c", "input"), Link("b", "output", "c", "input")}),
         false},
        {"published input on a connected input",
         Root({a, b}, {Link("a", "output", "b", "input")}, {Pub("In", "b", "input")}), false},
        {"cycle", Root({a, b}, {Link("a", "output", "b", "input"), Link("b", "output", "a", "input")}),
         false},
        {"self loop", Root({a}, {Link("a", "output", "a", "input")}), false},
        {"value of the wrong type",
         Root({Node("c", "clear",
                    [] {
                        Dictionary values;
                        values.Set("color", Value("red"));
                        Dictionary s;
                        s.Set("inputValues", Value(values));
                        return s;
                    }())}),
         false},
        {"value for an unknown input",
         Root({Node("s", "splitter",
                    [] {
                        Dictionary values;
                        values.Set("inptu", Value(1));
                        Dictionary s;
                        s.Set("inputValues", Value(values));
                        return s;
                    }())}),
         false},
        {"splitter of unknown type", Root({Node("s", "splitter", SplitterState("vector"))}), false},
        {"shader without source", Root({Node("g", "glsl")}), false},
        {"reserved uniform",
         Root({Node("g", "glsl", ShaderState("void main(){}", {Uniform("time", "number")}))}), false},
        {"string uniform", Root({Node("g", "glsl", ShaderState("void main(){}", {Uniform("s", "string")}))}),
         false},
        {"missing plug-in patch", Root({Node("p", "plugin")}), false},
        {"published key twice", Root({a, b}, {}, {Pub("In", "a", "input"), Pub("In", "b", "input")}), false},
        {"input and output share a key", Root({a}, {}, {Pub("X", "a", "input")}, {Pub("X", "a", "output")}),
         false},
        {"published port on a missing node", Root({a}, {}, {Pub("In", "z", "input")}), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        CompositionPtr compo(
            Composition::CreateFromPropertyList(c.root, plat::NodeClassRegistry::Shared(), &error));
        EXPECT_EQ(compo != nullptr, c.ok) << error;
        EXPECT_EQ(error.empty(), c.ok) << error;
    }
}

TEST(CompositionTest, ConsumersAndTimeFollowTheNodes) {
    struct Case {
        const char* name;
        Value root;
        bool consumers, timed;
    };
    const Case cases[] = {
        {"empty", Root({}), false, false},
        {"clear", Root({Node("c", "clear")}), true, false},
        {"host draw", Root({Node("h", "hostDraw")}), true, false},
        {"glsl using time", Root({Node("g", "glsl", ShaderState("uniform float time; void main(){}"))}), true,
         true},
        {"glsl with a longer name",
         Root({Node("g", "glsl", ShaderState("uniform float timeScale; void main(){}"))}), true, false},
        {"image shader using time",
         Root({Node("g", "imageShader", ShaderState("void main(){ gl_FragColor = vec4(time); }"))}), false,
         true},
        {"crossfade", Root({Node("x", "crossfade")}), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CompositionPtr compo(Composition::CreateFromPropertyList(c.root));
        ASSERT_TRUE(compo);
        EXPECT_EQ(compo->HasConsumers(), c.consumers);
        EXPECT_EQ(compo->IsTimeDependent(), c.timed);
        EXPECT_EQ(compo->Attributes()["hasConsumers"], Value(c.consumers));
    }
}

// A plug-in patch class as a plug-in would register it.
class TestPatch : public plat::NodeClass {
public:
    TestPatch() : NodeClass("Ticker") {}
    bool Describe(const Dictionary&, const plat::NodeClassRegistry&, plat::NodeDescription& out,
                  std::string&) const override {
        out.inputs.push_back(plat::MakePortSpec("inputRate", plat::PortType::Number, "Rate"));
        out.outputs.push_back(plat::MakePortSpec("outputNames", plat::PortType::Structure, "Names"));
        out.executionMode = plat::ExecutionMode::Provider;
        out.timeMode = plat::TimeMode::Idle;
        return true;
    }
};

TEST(CompositionTest, PlugInNodesTakeTheirPortsFromThePatchClass) {
    plat::NodeClassRegistry registry;
    plat::RegisterBuiltinNodeClasses(registry);
    ASSERT_TRUE(registry.RegisterPatch(std::make_unique<TestPatch>()));
    EXPECT_FALSE(registry.RegisterPatch(std::make_unique<TestPatch>()));
    Dictionary state;
    state.Set("patch", Value("Ticker"));
    Value root = Root({Node("t", "plugin", state)}, {}, {Pub("Rate", "t", "inputRate")},
                      {Pub("Names", "t", "outputNames")});
    std::string error;
    CompositionPtr compo(Composition::CreateFromPropertyList(root, registry, &error));
    ASSERT_TRUE(compo) << error;
    EXPECT_EQ((*compo->PortAttributes("Rate"))["name"], Value("Rate"));
    EXPECT_EQ(compo->Graph().Nodes()[0].description.inputs[0].attributes["name"], Value("Rate"));
    EXPECT_EQ((*compo->PortAttributes("Names"))["type"], Value("structure"));
    EXPECT_TRUE(compo->IsTimeDependent());
    EXPECT_FALSE(compo->HasConsumers());
    // The shared registry does not know the patch.
    EXPECT_FALSE(CompositionPtr(Composition::CreateFromPropertyList(root)));
}

}  // namespace
