#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "Common/Stream/CXmlElement.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Models/CColladaCamera.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/CColladaLight.h"
#include "Orbilume/CSources/Models/CColladaNewParam.h"
#include "Orbilume/CSources/Models/CColladaNode.h"
#include "Orbilume/CSources/Models/CColladaTargetPath.h"
#include "Orbilume/CSources/Models/CColladaTreeWalker.h"
#include "Orbilume/CSources/Models/CColladaValue.h"
#include "Orbilume/CSources/Models/UColladaNumbers.h"
#include "Orbilume/CSources/Models/UColladaXml.h"
#include "tests/Orbilume/CSources/Models/ColladaTestDoc.h"
#include "tests/support/TempDir.h"

namespace {

using colladatest::Parse;
using colladatest::Wrap;

// The first element named name, breadth first.
CXmlElement* Find(CColladaDoc& doc, const char* name, CXmlElement* from = nullptr) {
    CColladaTreeWalker w(doc.root(), from);
    while (w.Next())
        if (UColladaXml::NameIs(w.current(), name)) return w.current();
    return nullptr;
}

TEST(CColladaValue, MatricesAreReadRowByRowAndStoredColumnMajor) {
    CColladaValue v;
    ASSERT_TRUE(v.ParseText("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16", CColladaValueType::kFloat4x4));
    EXPECT_EQ(v.floats()[4], 2.0f);
    EXPECT_EQ(v.floats()[1], 5.0f);
    float m[16];
    v.GetMatrix(m, 4);
    EXPECT_EQ(m[12], 4.0f) << "row 0, column 3";

    ASSERT_TRUE(v.ParseText("9 8 7 6", CColladaValueType::kFloat3x3));
    const float* f = v.floats();
    EXPECT_EQ(f[0], 9);
    EXPECT_EQ(f[3], 8);
    EXPECT_EQ(f[6], 7);
    EXPECT_EQ(f[1], 6) << "row 1, column 0";
    EXPECT_EQ(f[4], 1) << "the rest from the identity";
    EXPECT_EQ(f[7], 0);
    EXPECT_EQ(f[2], 0);
    EXPECT_EQ(f[8], 1);
}

TEST(CColladaValue, TextRulesPerType) {
    struct Case {
        const char* text;
        uint32_t code;
        std::vector<int32_t> ints;  // GetInts(4)
    } cases[] = {
        {"true maybe true", CColladaValueType::kBool + 2, {1, 0, 0, 0}},
        {"1 false 0 true", CColladaValueType::kBool4, {1, 0, 0, 1}},
        {"0x10 010 -12 abc", CColladaValueType::kInt4, {16, 8, -12, 0}},
        {"99999999999 -99999999999", CColladaValueType::kInt + 1, {INT32_MAX, INT32_MIN, 0, 0}},
        {"-2.5 2.49 2.5 -0.4", CColladaValueType::kFloat4, {-3, 2, 3, 0}},
        {"1e30 -1e30 nan 1e300", CColladaValueType::kFloat4, {INT32_MAX, INT32_MIN, 0, INT32_MAX}},
        {"abc", CColladaValueType::kFloat, {0, 0, 0, 0}},
        {"", CColladaValueType::kInt + 1, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        CColladaValue v;
        ASSERT_TRUE(v.ParseText(c.text, c.code)) << c.text;
        int32_t out[4];
        v.GetInts(out, 4);
        EXPECT_EQ(std::vector<int32_t>(out, out + 4), c.ints) << c.text;
    }
    CColladaValue v;
    for (uint32_t code : {0u, 1u, 17u, 18u, 19u, 20u, 21u, 22u, 23u, 99u})
        EXPECT_FALSE(v.ParseText("1", code));
    ASSERT_TRUE(v.ParseText("1e30 nan", CColladaValueType::kFloat + 1));
    EXPECT_EQ(v.SingleFloat(), 1e30f);
    float m[9];
    v.GetMatrix(m, 3);
    EXPECT_EQ(m[0], 1e30f);
    EXPECT_TRUE(std::isnan(m[4]));
    EXPECT_EQ(m[8], 1.0f);
}

TEST(CColladaValue, SamplerMembersDefaultsAndRepeats) {
    auto doc = Parse(Wrap(R"(<library_effects><effect id="e"><profile_COMMON>
        <newparam sid="a"><sampler2D><minfilter>LINEAR</minfilter><minfilter>NEAREST</minfilter>
          <wrap_t>MIRROR</wrap_t><wrap_s>bogus</wrap_s><border_color>1 0.5</border_color></sampler2D></newparam>
        <newparam sid="b"><annotate/><sampler1D>1</sampler1D><samplerDEPTH/><float2> 3 4 </float2></newparam>
        <newparam sid="c"><samplerCUBE><wrap_p>CLAMP</wrap_p></samplerCUBE></newparam>
        <newparam sid="d"><sampler1D/></newparam>
        </profile_COMMON></effect></library_effects>)"));
    ASSERT_TRUE(doc);
    CXmlElement* profile = Find(*doc, "profile_COMMON");
    CColladaNewParam::BuildNewParams(*doc, profile);
    std::vector<CColladaNewParam*> params;
    for (CXmlElement* c = UColladaXml::FirstChild(profile); c; c = UColladaXml::Next(c))
        params.push_back(CColladaElement::AttachedAs<CColladaNewParam>(c));
    ASSERT_EQ(params.size(), 4u);
    ASSERT_TRUE(params[0]);
    const CColladaValue& s = params[0]->value();
    EXPECT_EQ(s.type(), CColladaValueType::kSampler2D);
    EXPECT_EQ(s.member(0)->SingleEnum(), GL_REPEAT) << "an unknown word falls back to the default";
    EXPECT_EQ(s.member(1)->SingleEnum(), GL_MIRRORED_REPEAT);
    EXPECT_EQ(s.member(2)->SingleEnum(), GL_LINEAR) << "the first of repeated members";
    EXPECT_EQ(s.member(3)->SingleEnum(), GL_NEAREST);
    EXPECT_EQ(s.member(6)->SingleEnum(), 255);
    float border[4];
    s.member(5)->GetFloats(border, 4);
    EXPECT_EQ(border[1], 0.5f);
    EXPECT_EQ(s.surface(), nullptr);

    ASSERT_TRUE(params[1]) << "built from a later typed child";
    EXPECT_EQ(params[1]->value().type(), CColladaValueType::kFloat + 1);
    EXPECT_EQ(params[1]->value().floats()[1], 4.0f);
    ASSERT_TRUE(params[2]);
    EXPECT_EQ(params[2]->value().member(2)->SingleEnum(), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(params[2]->value().member(0)->SingleEnum(), GL_REPEAT);
    EXPECT_EQ(params[3], nullptr) << "sampler1D never reads";
    EXPECT_EQ(CColladaNewParam::Build(*doc, profile), nullptr) << "not a newparam";
}

TEST(CColladaTreeWalker, VisitsLevelByLevel) {
    auto doc = Parse("<r><A><A1><A11/></A1><A2/></A><B><B1/></B><C/></r>");
    ASSERT_TRUE(doc);
    std::string order;
    CColladaTreeWalker w(doc->root(), nullptr);
    while (w.Next()) order += UColladaXml::Name(w.current()).CStr() + std::string(" ");
    EXPECT_EQ(order, "r A B C A1 A2 B1 A11 ");
    w.Reset(doc->root()->FindChild("A"));
    order.clear();
    while (w.Next()) order += UColladaXml::Name(w.current()).CStr() + std::string(" ");
    EXPECT_EQ(order, "A A1 A2 A11 ");
    EXPECT_FALSE(w.Next());
    EXPECT_EQ(w.current(), nullptr);

    // A wide level keeps the walk right while the queue compacts.
    std::string wide = "<r>";
    for (int i = 0; i < 300; ++i) wide += "<n><m/></n>";
    doc = Parse(wide + "</r>");
    int n = 0, m = 0;
    bool levelsInOrder = true;
    for (CColladaTreeWalker v(doc->root(), nullptr); v.Next();) {
        if (UColladaXml::NameIs(v.current(), "n")) levelsInOrder &= m == 0, ++n;
        if (UColladaXml::NameIs(v.current(), "m")) ++m;
    }
    EXPECT_EQ(n, 300);
    EXPECT_EQ(m, 300);
    EXPECT_TRUE(levelsInOrder);
}

TEST(CColladaDoc, IdIndexLaterBreadthFirstWinsAnyBytesAndEmpty) {
    auto doc = Parse(R"(<r><lib><deep><e id="x" n="deep"/></deep></lib><e id="x" n="shallow"/>
        <e id="" n="empty"/><e id="&#xe9;&amp; /#" n="odd"/><e id="a" n="a"/><e id="ab" n="ab"/></r>)");
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->FindById("x")->GetAttribute("n"), LString("deep"));
    EXPECT_EQ(doc->FindById(""), nullptr);
    EXPECT_EQ(doc->FindById("\xc3\xa9& /#")->GetAttribute("n"), LString("odd"));
    EXPECT_EQ(doc->FindById("a")->GetAttribute("n"), LString("a"));
    EXPECT_EQ(doc->FindById("ab")->GetAttribute("n"), LString("ab"));
    EXPECT_EQ(doc->FindById("#a"), nullptr);
    struct Case {
        const char* url;
        const char* n;
    } cases[] = {{"#a", "a"},
                 {"#", nullptr},
                 {"", nullptr},
                 {"a", nullptr},
                 {"x.dae#a", nullptr},
                 {"file:///x#a", nullptr},
                 {"http://h/#a", nullptr},
                 {"\\x#a", nullptr}};
    for (const Case& c : cases) {
        CXmlElement* e = doc->ResolveUrl(c.url);
        std::string got = e ? e->GetAttribute("n").CStr() : "<none>";
        EXPECT_EQ(got, c.n ? c.n : "<none>") << c.url;
    }
}

TEST(CColladaDoc, NoRootAndUnsupportedProfiles) {
    EXPECT_EQ(Parse("no xml here"), nullptr);
    EXPECT_EQ(Parse(""), nullptr);
    auto doc = Parse(R"(<r><effect id="e"><profile_CG/><profile_COMMON/><profile_GLES/></effect>
        <other><profile_CG/></other></r>)");
    ASSERT_TRUE(doc);
    CXmlElement* effect = doc->FindById("e");
    EXPECT_EQ(effect->ChildCount(), 1u);
    EXPECT_NE(effect->FindChild("profile_COMMON"), nullptr);
    EXPECT_NE(doc->root()->FindChild("other")->FindChild("profile_CG"), nullptr);
}

TEST(CColladaDoc, InstanceCopiesAreLastChildrenAndTheIndexKeepsTheLibrary) {
    auto doc = Parse(R"(<r><library_nodes><node id="n" a="1"><x:child sid="s">text</x:child></node>
        <camera id="c"/></library_nodes><holder url="#n" cam="#c"><first/></holder></r>)");
    ASSERT_TRUE(doc);
    CXmlElement* holder = doc->root()->FindChild("holder");
    uint64_t before = doc->copyBudgetLeft();
    EXPECT_EQ(doc->ResolveInstance(holder, "cam", "node"), nullptr) << "wrong element name";
    EXPECT_EQ(doc->ResolveInstance(holder, "none", "node"), nullptr);
    CXmlElement* copy = doc->ResolveInstance(holder, "url", "node");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(doc->copyBudgetLeft(), before - 2);
    EXPECT_EQ(copy->Parent(), holder);
    EXPECT_EQ(UColladaXml::Next(copy), nullptr) << "the last child";
    EXPECT_NE(copy, doc->FindById("n"));
    EXPECT_EQ(copy->GetAttribute("a"), LString("1"));
    CXmlElement* child = UColladaXml::FirstChild(copy);
    EXPECT_EQ(UColladaXml::Name(child), LString("child"));
    EXPECT_EQ(UColladaXml::Text(child), LString("text"));
    EXPECT_EQ(child->Prefix().Length(), 1u);
    EXPECT_EQ(doc->FindSidInScope(copy, nullptr, "s"), child);
}

TEST(CColladaDoc, CopyBudgetStopsTheDoublingFile) {
    // Each node instances the next twice: 2^40 copies without a budget.
    std::string xml = "<r><library_nodes>";
    for (int i = 0; i < 40; ++i) {
        xml += "<node id=\"n" + std::to_string(i) + "\">";
        if (i < 39)
            for (int k = 0; k < 2; ++k) xml += "<instance_node url=\"#n" + std::to_string(i + 1) + "\"/>";
        xml += "</node>";
    }
    xml += "</library_nodes><scene><instance_node url=\"#n0\"/></scene></r>";
    auto doc = Parse(xml);
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->copyBudgetLeft(), 1000000u);
    doc->SetCopyBudget(100000, CColladaDoc::kCopyByteBudget);
    // Resolve every instance, in copies too, as the node builder does.
    std::vector<CXmlElement*> work{doc->scene()->FindChild("instance_node")};
    uint64_t copies = 0, refused = 0;
    while (!work.empty()) {
        CXmlElement* inst = work.back();
        work.pop_back();
        CXmlElement* copy = doc->ResolveInstance(inst, "url", "node");
        if (!copy) {
            ++refused;
            continue;
        }
        ++copies;
        for (CXmlElement* c = UColladaXml::FindChild(copy, "instance_node"); c;
             c = UColladaXml::FindChild(copy, "instance_node", c))
            work.push_back(c);
    }
    EXPECT_EQ(doc->copyBudgetLeft(), 0u);
    EXPECT_LE(copies, 100000u);
    EXPECT_GT(refused, 0u);
}

TEST(CColladaDoc, CopyByteBudgetStopsCopiesOfLargeTexts) {
    std::string big(100000, '1');
    auto doc =
        Parse("<r><geometry id=\"g\"><float_array>" + big + "</float_array></geometry><i url=\"#g\"/></r>");
    ASSERT_TRUE(doc);
    doc->SetCopyBudget(1000, 350000);
    CXmlElement* i = doc->root()->FindChild("i");
    int copies = 0;
    while (doc->ResolveInstance(i, "url", "geometry")) ++copies;
    EXPECT_EQ(copies, 3);
    EXPECT_EQ(doc->copyBudgetLeft(), 0u) << "a refused copy ends all copying";
}

TEST(CColladaDoc, DepthBoundRefusesCopiesTooDeep) {
    // A chain n0 -> n1 -> ... grows the tree by two levels per link.
    std::string xml = "<r><library_nodes>";
    for (int i = 0; i < 700; ++i)
        xml += "<node id=\"n" + std::to_string(i) + "\"><instance_node url=\"#n" + std::to_string(i + 1) +
               "\"/></node>";
    xml += "<node id=\"n700\"/></library_nodes><scene><instance_node url=\"#n0\"/></scene></r>";
    auto doc = Parse(xml);
    ASSERT_TRUE(doc);
    CXmlElement* inst = doc->scene()->FindChild("instance_node");
    int links = 0;
    while (CXmlElement* copy = doc->ResolveInstance(inst, "url", "node")) {
        ++links;
        inst = copy->FindChild("instance_node");
        if (!inst) break;
    }
    EXPECT_LT(links, 700);
    EXPECT_LE(UColladaXml::Depth(inst), CColladaDoc::kMaxTreeDepth);
}

TEST(CColladaDoc, SidInTheNearestScopeWins) {
    auto doc = Parse(R"(<r><a sid="s" n="root-level"/><b><c sid="s" n="sibling-deep-first"/>
        <start><x sid="s" n="inside-start"/></start><d sid="s" n="sibling"/></b></r>)");
    ASSERT_TRUE(doc);
    CXmlElement* start = Find(*doc, "start");
    EXPECT_EQ(doc->FindSidInScope(start, nullptr, "s")->GetAttribute("n"), LString("inside-start"));
    CXmlElement* x = start->FindChild("x");
    EXPECT_EQ(doc->FindSidInScope(start, x, "s")->GetAttribute("n"), LString("sibling-deep-first"));
    CXmlElement* b = Find(*doc, "b");
    EXPECT_EQ(doc->FindSidInScope(b->Parent(), b, "s")->GetAttribute("n"), LString("root-level"));
    EXPECT_EQ(doc->FindSidInScope(start, nullptr, ""), nullptr);
    EXPECT_EQ(doc->FindSidInScope(start, nullptr, "missing"), nullptr);
}

TEST(CColladaTargetPath, PathsMembersAndIndices) {
    auto doc = Parse(R"(<r><library_effects><effect id="lib"><p sid="q"/></effect></library_effects>
        <scene><node id="n"><rotate sid="rot"/><g><m sid="mat"/></g></node></scene></r>)");
    ASSERT_TRUE(doc);
    CXmlElement* own = doc->FindById("lib");
    struct Case {
        const char* path;
        const char* found;  // name of the element, or null
        const char* member;
        uint32_t indices;
    } cases[] = {
        {"n/rot.ANGLE", "rotate", "ANGLE", 0},
        {"n/mat(3)(1)", "m", "", 2},
        {"n/mat(2)", "m", "", 1},
        {"n", "node", "", 0},
        {"n.X", "node", "X", 0},
        {"/n/rot", nullptr, "", 0},
        {"lib/q", nullptr, "", 0},
        {"./q", "p", "", 0},
        {"n/mat(x)", nullptr, "", 0},
        {"n/mat(1", nullptr, "", 0},
        {"n//rot", nullptr, "", 0},
        {"", nullptr, "", 0},
        {"n/rot(1)(2)(3)", nullptr, "", 0},
    };
    for (const Case& c : cases) {
        SColladaTarget t;
        CXmlElement* e = CColladaTargetPath::FindElement(*doc, own, c.path, t);
        if (!c.found) {
            EXPECT_EQ(e, nullptr) << c.path;
            continue;
        }
        ASSERT_NE(e, nullptr) << c.path;
        EXPECT_TRUE(UColladaXml::NameIs(e, c.found)) << c.path;
        EXPECT_EQ(t.member, LString(c.member)) << c.path;
        EXPECT_EQ(t.indexCount, c.indices) << c.path;
        EXPECT_EQ(CColladaTargetPath::Resolve(*doc, own, c.path, t), nullptr) << "no object accepts it";
    }
    SColladaTarget t;
    CColladaTargetPath::FindElement(*doc, own, "n/mat(3)(1)", t);
    EXPECT_EQ(t.indices[0], 3);
    EXPECT_EQ(t.indices[1], 1);
    std::string deep = "n";
    for (int i = 0; i < 100; ++i) deep += "/g";
    EXPECT_EQ(CColladaTargetPath::FindElement(*doc, own, deep.c_str(), t), nullptr);
}

TEST(CColladaDoc, ResolveFileAgainstTheDocument) {
    testsupport::TempDir dir;
    dir.Write("a b.png", "x");
    LFsSpec docSpec = CMacFileU::LFsSpecFromPath((dir.Path() + "/sub/doc.dae").c_str());
    CColladaDoc doc(docSpec);
    struct Case {
        std::string text;
        std::string path;  // "" when it resolves to nothing
    } cases[] = {
        {"../a%20b.png", dir.Path() + "/a b.png"},
        {"./tex.png", dir.Path() + "/sub/tex.png"},
        {"tex/t.png", dir.Path() + "/sub/tex/t.png"},
        {"#frag", dir.Path() + "/sub/doc.dae"},
        {"file://" + dir.Path() + "/a%20b.png", dir.Path() + "/a b.png"},
        {dir.Path() + "/abs.png", dir.Path() + "/abs.png"},
        {"http://example.invalid/t.png", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        LFsSpec out;
        bool ok = doc.ResolveFile(c.text.c_str(), out);
        EXPECT_EQ(ok ? std::string(CMacFileU::PathFromLFsSpec(out).CStr()) : std::string(), c.path) << c.text;
    }
    // Backslashes are no separators: a name with them resolves to a file nobody has, cleanly.
    LFsSpec out;
    if (doc.ResolveFile("..\\a b.png", out)) {
        EXPECT_NE(std::string(CMacFileU::PathFromLFsSpec(out).CStr()), dir.Path() + "/a b.png");
    }
}

}  // namespace

namespace {

TEST(CColladaTransform, TargetsResolveToTheirValueIndices) {
    auto doc =
        Parse(Wrap("<library_nodes><node id=\"n\"><translate>1 2 3</translate><rotate>0 0 1 90</rotate>"
                   "<matrix>1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16</matrix><scale>2 2 2</scale>"
                   "<skew>10 1 0 0 0 1 0</skew></node></library_nodes>"));
    ASSERT_TRUE(doc);
    std::vector<CColladaTransform*> t;
    for (CXmlElement* c = UColladaXml::FirstChild(doc->FindById("n")); c; c = UColladaXml::Next(c))
        t.push_back(CColladaTransform::Build(c));
    ASSERT_EQ(t.size(), 5u);
    struct Case {
        size_t transform;
        const char* member;
        std::vector<int32_t> indices;
        bool resolves;
        int32_t index;
    };
    const Case cases[] = {
        {0, "", {}, true, -1},     {0, "Y", {}, true, 1},     {0, "ANGLE", {}, false, 0},
        {1, "ANGLE", {}, true, 3}, {1, "X", {}, true, 0},     {2, "", {1, 3}, true, 7},
        {2, "", {4, 0}, false, 0}, {2, "", {15}, true, 15},   {2, "", {16}, false, 0},
        {3, "Z", {}, true, 2},     {4, "ANGLE", {}, true, 0}, {4, "X", {}, false, 0},
    };
    for (const Case& c : cases) {
        SColladaTarget target;
        target.member = c.member;
        for (int32_t i : c.indices) target.indices[target.indexCount++] = i;
        EXPECT_EQ(t[c.transform]->ResolveTarget(target), c.resolves) << c.transform << c.member;
        if (c.resolves) {
            EXPECT_EQ(target.valueIndex, c.index) << c.transform << c.member;
        }
    }
    // The matrix keeps its values in reading order; value 7 is row 1, column 3.
    EXPECT_EQ(t[2]->values()[7], 8.0f);
    // A single animated value fills an unindexed target; an index takes one value.
    SColladaTarget all;
    ASSERT_TRUE(t[0]->ResolveTarget(all));
    const float five = 5;
    t[0]->SetAnimated(all, 1, &five);
    EXPECT_EQ(t[0]->values(), (std::vector<float>{5, 5, 5}));
    SColladaTarget y;
    y.member = "Y";
    ASSERT_TRUE(t[0]->ResolveTarget(y));
    const float seven = 7;
    t[0]->SetAnimated(y, 1, &seven);
    EXPECT_EQ(t[0]->values(), (std::vector<float>{5, 7, 5}));
}

TEST(CColladaLight, KindsDefaultsAndColourMembers) {
    auto doc =
        Parse(Wrap("<library_lights><light id=\"p\"><technique_common><point><color>0.1 0.2 0.3</color>"
                   "</point></technique_common></light><light id=\"s\"><technique_common><spot/>"
                   "</technique_common></light><light id=\"x\"><technique_common><laser/>"
                   "</technique_common></light></library_lights>"));
    ASSERT_TRUE(doc);
    CColladaLight* point = CColladaLight::Build(*doc, doc->FindById("p"));
    CColladaLight* spot = CColladaLight::Build(*doc, doc->FindById("s"));
    CColladaLight* unknown = CColladaLight::Build(*doc, doc->FindById("x"));
    ASSERT_TRUE(point && spot && unknown);
    EXPECT_EQ(point->type(), static_cast<uint32_t>(CColladaLight::kPoint));
    EXPECT_EQ(point->params().size(), 4u);
    EXPECT_FLOAT_EQ(point->params().value(1), 1.0f) << "constant attenuation";
    EXPECT_EQ(spot->type(), static_cast<uint32_t>(CColladaLight::kSpot));
    EXPECT_EQ(spot->params().value(4), 180.0f) << "no cone without falloff_angle";
    EXPECT_EQ(spot->params().value(0, 2), 1.0f);
    EXPECT_EQ(unknown->type(), static_cast<uint32_t>(CColladaLight::kNone));
    // "G" of the colour changes value 1 only.
    SColladaTarget g;
    g.member = "G";
    ASSERT_TRUE(point->params()[0]->ResolveTarget(g));
    const float one = 1;
    point->params()[0]->SetAnimated(g, 1, &one);
    EXPECT_EQ(point->params()[0]->values(), (std::vector<float>{0.1f, 1, 0.3f}));
    SColladaTarget bad;
    bad.member = "Q";
    EXPECT_FALSE(point->params()[0]->ResolveTarget(bad));
    EXPECT_FALSE(point->params()[1]->ResolveTarget(g)) << "a float parameter has no members";
}

TEST(CColladaCamera, ReadsItsOpticsOnceAndDefaultsWithoutThem) {
    auto doc =
        Parse(Wrap("<library_cameras><camera id=\"c\"><optics><technique_common><perspective>"
                   "<yfov>45</yfov><aspect_ratio>0</aspect_ratio></perspective></technique_common></optics>"
                   "</camera><camera id=\"none\"/></library_cameras>"));
    ASSERT_TRUE(doc);
    CColladaCamera* c = CColladaCamera::Build(*doc, doc->FindById("c"));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->projectionKind(), static_cast<uint32_t>(CColladaCamera::kPerspective));
    ASSERT_EQ(c->params().size(), 5u);
    EXPECT_FALSE(c->params()[0]->present());
    EXPECT_TRUE(c->params()[1]->present());
    EXPECT_EQ(c->params().value(4), 2.0f) << "zfar default";
    // xfov animated without a member: the whole list.
    SColladaTarget all;
    ASSERT_TRUE(c->params()[0]->ResolveTarget(all));
    EXPECT_EQ(all.valueIndex, -1);
    CColladaCamera* none = CColladaCamera::Build(*doc, doc->FindById("none"));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->projectionKind(), static_cast<uint32_t>(CColladaCamera::kNone));
}

TEST(UColladaNumbers, TokensReadAsNumbersOrZero) {
    struct Case {
        const char* text;
        float f;
        int32_t i;
    };
    const Case cases[] = {
        {"1.5", 1.5f, 1},
        {"+2", 2, 2},
        {"-3e2", -300, -3},
        {"abc", 0, 0},
        {"1e999", HUGE_VALF, 1},
        {"-1e999", -HUGE_VALF, -1},
        {"1e-999", 0, 1},
        {"99999999999", 1e11f, INT32_MAX},
        {"-99999999999", -1e11f, INT32_MIN},
    };
    for (const Case& c : cases) {
        const char* e = c.text + std::strlen(c.text);
        EXPECT_EQ(UColladaNumbers::ToFloat(c.text, e), c.f) << c.text;
        EXPECT_EQ(UColladaNumbers::ToInt(c.text, e), c.i) << c.text;
    }
    const char* nan = "nan";
    EXPECT_TRUE(std::isnan(UColladaNumbers::ToFloat(nan, nan + 3)));
}

}  // namespace
