#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CStrArray.h"
#include "Orbilume/CSources/QCx/MQcComposition_.h"
#include "Orbilume/CSources/QCx/PickLocalText.h"
#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/NodeClass.h"
#include "Platform/Foundation/PropertyList.h"
#include "tests/support/TempDir.h"

namespace {

using plat::Ref;

std::string Fixture(const std::string& name) {
    return std::string(QCX_FIXTURES) + "/" + name;
}

std::vector<std::string> Texts(const std::vector<LString>& list) {
    std::vector<std::string> out;
    for (const LString& s : list) out.emplace_back(s.CStr(), s.Length());
    return out;
}

std::vector<std::string> Texts(const CStrArray& list) {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < list.Count(); ++i) out.emplace_back(list[i].CStr(), list[i].Length());
    return out;
}

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

struct Expected {
    const char* key;
    uint32_t kind;
    const char* name;
    float defaultValue, min, max;
    int32_t decimals;
    uint8_t lines;
    std::vector<std::string> labels;
    const char* monitor = "";
    uint32_t timeFormat = 0;
    const char* strsel = "";
    uint8_t spectrum = 0;
};

const Expected kPorts[] = {
    // Labels from the splitter's indexLabels, the first two replaced by the shorter "items".
    {"Mode", 2, "Mode", 0, 0, 3, -1, 2, {"Alpha", "Beta", "c", "d"}},
    // A minimum of 0 gives way to the node's inputMin.
    {"Count", 2, "Count", 0, 2, 9, -1, 2, {}},
    // No maximum: the slider range of the file's portAttributes.
    {"Steps", 2, "Steps", 0, 0, 40, -1, 2, {}},
    {"Speed", 3, "Speed", 1.5f, -1000, 1000, 3, 2, {}, "SpeedOut", 1},
    // "prec" that is no number and a "name" that is no text count as absent.
    {"Gain", 3, "Loudness", 0, 0, 5, -1, 2, {}},
    // One bound of its own, the other from the slider.
    {"Level", 3, "Level", 0, -2, 10, -1, 2, {}},
    // A numeric string default reads as its number.
    {"Ranged", 3, "Ranged", 0.5f, -4, 4, -1, 2, {}},
    {"_protocolInput_AudioPeak", 3, "_protocolInput_AudioPeak", 0, 0, 1, -1, 2, {}},
    {"_protocolInput_Pace", 3, "_protocolInput_Pace", 0, 0, 2, -1, 2, {}},
    {"Caption", 4, "Caption", 0, 0, 0, -1, 4, {}, "", 0, "font"},
    {"Note", 4, "Note", 0, 0, 0, -1, 2, {}},
    {"Flag", 1, "Flag", 1, 0, 0, -1, 2, {}},
    {"_protocolInput_AudioSpectrum", 7, "_protocolInput_AudioSpectrum", 0, 0, 0, -1, 2, {}, "", 0, "", 1},
    {"_protocolInput_Image", 6, "_protocolInput_Image", 0, 0, 0, -1, 2, {}},
    // A colour's default is an array: no number, so 0.
    {"Tint", 5, "Tint", 0, 0, 0, -1, 2, {}},
    {"SpeedOut", 3, "SpeedOut", 0, -1000, 1000, -1, 2, {}},
};

void ExpectPorts(const MQcComposition_* c) {
    for (const Expected& e : kPorts) {
        SCOPED_TRACE(e.key);
        CQcPortDesc d;
        ASSERT_TRUE(MQcComposition_::ReadPortDesc(c, LString(e.key), d));
        EXPECT_EQ(d.kind, e.kind);
        EXPECT_EQ(Str(d.key), e.key);
        EXPECT_EQ(Str(d.name), e.name);
        EXPECT_FLOAT_EQ(d.defaultValue, e.defaultValue);
        EXPECT_FLOAT_EQ(d.min, e.min);
        EXPECT_FLOAT_EQ(d.max, e.max);
        EXPECT_EQ(d.decimals, e.decimals);
        EXPECT_EQ(d.lines, e.lines);
        EXPECT_EQ(Texts(d.menuLabels), e.labels);
        EXPECT_EQ(Str(d.monitorKey), e.monitor);
        EXPECT_EQ(d.timeFormat, e.timeFormat);
        EXPECT_EQ(Str(d.stringSelection), e.strsel);
        EXPECT_EQ(d.audioSpectrum, e.spectrum);
    }
    CQcPortDesc none;
    EXPECT_FALSE(MQcComposition_::ReadPortDesc(c, LString("Nope"), none));
}

TEST(MQcComposition_, PortDescriptorsFromXmlAndBinaryFiles) {
    for (const char* form : {"xml", "binary"}) {
        SCOPED_TRACE(form);
        Ref<MQcComposition_> c =
            plat::Adopt(MQcComposition_::FromFile(Fixture(std::string(form) + "/ports.qtz")));
        ASSERT_TRUE(c);
        ExpectPorts(c.get());
    }
}

// The committed binary twin is what plistutil makes of the XML file.
TEST(MQcComposition_, PeerBinaryTwinMatchesPlistutil) {
    testsupport::TempDir dir;
    const std::string cmd =
        "plistutil -i " + Fixture("xml/ports.qtz") + " -o " + dir.File("ports.qtz") + " -f bin";
    if (std::system("command -v plistutil >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "plistutil is not installed";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    Ref<MQcComposition_> made = plat::Adopt(MQcComposition_::FromFile(dir.File("ports.qtz")));
    Ref<MQcComposition_> committed = plat::Adopt(MQcComposition_::FromFile(Fixture("binary/ports.qtz")));
    ASSERT_TRUE(made && committed);
    EXPECT_EQ(made->prop(), committed->prop());
    ExpectPorts(made.get());
}

TEST(MQcComposition_, ReadersOfAttributesProtocolsAndImagePorts) {
    Ref<MQcComposition_> c = plat::Adopt(MQcComposition_::FromFile(Fixture("xml/ports.qtz")));
    ASSERT_TRUE(c);
    EXPECT_EQ(Str(MQcComposition_::Name(c.get())), "Ports");
    EXPECT_EQ(Str(MQcComposition_::DisplayName(c.get())), "Ports test");
    EXPECT_EQ(Str(MQcComposition_::MakerCategory(c.get())), "Tests");
    EXPECT_EQ(Str(MQcComposition_::Identifier(c.get())), "ports.qtz");
    EXPECT_EQ(MQcComposition_::Category(c.get()), MQcComposition_::kCategoryStylize);
    std::vector<uint32_t> protocols;
    MQcComposition_::Protocols(c.get(), protocols);
    EXPECT_EQ(protocols,
              (std::vector<uint32_t>{MQcComposition_::kImageFilter, MQcComposition_::kMusicVisualizer}));
    EXPECT_TRUE(MQcComposition_::IsStub(c.get()));
    EXPECT_TRUE(MQcComposition_::IsPlane(c.get()));
    EXPECT_FALSE(MQcComposition_::IsClear(c.get()));  // a string is no boolean
    EXPECT_TRUE(MQcComposition_::HasConsumers(c.get()) == false);
    CStrArray group;
    MQcComposition_::StringListAttribute(c.get(), "lumetra.imageparams", group);
    EXPECT_EQ(Texts(group), (std::vector<std::string>{"Speed", "Gain"}));
    CStrArray outputs;
    MQcComposition_::OutputKeys(c.get(), outputs);
    EXPECT_EQ(Texts(outputs), (std::vector<std::string>{"SpeedOut", "_protocolOutput_Image"}));
    CStrArray inputs;
    MQcComposition_::InputKeys(c.get(), inputs);
    EXPECT_EQ(inputs.Count(), 15u);

    std::vector<CQcImagePort> in, out;
    MQcComposition_::ImageInputs(c.get(), in);
    MQcComposition_::ImageOutputs(c.get(), out);
    ASSERT_EQ(in.size(), 1u);
    EXPECT_EQ(Str(in[0].key), "_protocolInput_Image");
    EXPECT_EQ(in[0].standard, 1);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(Str(out[0].key), "_protocolOutput_Image");

    plat::Value labels = MQcComposition_::MenuItems(c.get(), LString("Mode"));
    EXPECT_EQ(labels.ArrayValue().size(), 4u);
    EXPECT_TRUE(MQcComposition_::MenuItems(c.get(), LString("Speed")).IsNull());

    // Null wrappers read nothing.
    CQcPortDesc d;
    EXPECT_FALSE(MQcComposition_::ReadPortDesc(nullptr, LString("Mode"), d));
    EXPECT_TRUE(MQcComposition_::Identifier(nullptr).IsEmpty());
    EXPECT_EQ(MQcComposition_::FromFile(""), nullptr);
    EXPECT_EQ(MQcComposition_::FromFile(Fixture("missing.qtz")), nullptr);
    EXPECT_EQ(MQcComposition_::FromComposition(nullptr), nullptr);
}

// A node class whose input has no type the engine knows.
class UntypedNodeClass : public plat::NodeClass {
public:
    UntypedNodeClass() : NodeClass("untyped") {}
    bool Describe(const plat::Dictionary&, const plat::NodeClassRegistry&, plat::NodeDescription& out,
                  std::string&) const override {
        plat::PortSpec p;
        p.key = "input";
        out.inputs.push_back(p);
        out.executionMode = plat::ExecutionMode::Processor;
        return true;
    }
};

TEST(MQcComposition_, PortWithoutTypeIsKindZero) {
    plat::NodeClassRegistry registry;
    plat::RegisterBuiltinNodeClasses(registry);
    ASSERT_TRUE(registry.Register(std::make_unique<UntypedNodeClass>()));
    plat::Dictionary node, published, state, root;
    node.Set("key", plat::Value("n"));
    node.Set("class", plat::Value("untyped"));
    published.Set("key", plat::Value("Raw"));
    published.Set("node", plat::Value("n"));
    published.Set("port", plat::Value("input"));
    state.Set("nodes", plat::Value(plat::ValueArray{plat::Value(node)}));
    state.Set("publishedInputPorts", plat::Value(plat::ValueArray{plat::Value(published)}));
    plat::Dictionary patch;
    patch.Set("state", plat::Value(state));
    root.Set("rootPatch", plat::Value(patch));
    std::string error;
    Ref<plat::Composition> composition =
        plat::Composition::CreateFromPropertyList(plat::Value(root), registry, &error);
    ASSERT_TRUE(composition) << error;
    Ref<MQcComposition_> c = plat::Adopt(MQcComposition_::FromComposition(composition.get()));
    CQcPortDesc d;
    ASSERT_TRUE(MQcComposition_::ReadPortDesc(c.get(), LString("Raw"), d));
    EXPECT_EQ(d.kind, 0u);
    EXPECT_EQ(Str(d.name), "Raw");
}

TEST(MQcComposition_, NumbersOfAttributes) {
    struct Row {
        plat::Value v;
        bool ok;
        double n;
    };
    const Row rows[] = {
        {plat::Value(2.5), true, 2.5},
        {plat::Value(true), true, 1},
        {plat::Value(" -3 "), true, -3},
        {plat::Value("+4e1"), true, 40},
        {plat::Value("12abc"), false, 0},
        {plat::Value(""), false, 0},
        {plat::Value("nan-ish"), false, 0},
        {plat::Value(plat::ValueArray{plat::Value(1)}), false, 0},
        {plat::Value(plat::Color{1, 0, 0, 1}), false, 0},
        {plat::Value(), false, 0},
    };
    for (const Row& r : rows) {
        double n = 0;
        EXPECT_EQ(MQcComposition_::NumberOf(r.v, n), r.ok) << r.v.ToText();
        if (r.ok) {
            EXPECT_DOUBLE_EQ(n, r.n);
        }
    }
}

TEST(PickLocalText, Table) {
    struct Row {
        const char* in;
        const char* out;
    };
    const Row rows[] = {
        {"", ""},
        {"Plain", "Plain"},
        {"Grün,Green", "Green"},
        {"Grün,Blüte", "Grün"},
        {"A,B,C", "C"},
        {"Über,Over,Überall", "Over"},
        {"\"a,b\",\"c\nd\"", "c\nd"},
        {"first\nsecond,third", "first"},
        {"first\r,third", "first"},
        {"Ünï,,", "Ünï"},
        {"\"unterminated, x", "unterminated, x"},
        {"\"Zweite, B\",Beta", "Beta"},
    };
    for (const Row& r : rows) EXPECT_EQ(Str(PickLocalText(LString(r.in))), r.out) << r.in;
}

}  // namespace
