#include "tests/Orbilume/CSources/Engine/RepoFixture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "Platform/Foundation/FileIO.h"
#include "Platform/Foundation/PropertyList.h"

namespace repotest {

namespace {

plat::Value Dict(std::initializer_list<std::pair<const char*, plat::Value>> entries) {
    plat::Dictionary d;
    for (const auto& [k, v] : entries) d.Set(k, v);
    return plat::Value(std::move(d));
}

}  // namespace

plat::Value CompoPropertyList(const Compo& c) {
    plat::Dictionary root;
    root.Set("name", plat::Value(c.name));
    plat::ValueArray protocols;
    for (const std::string& p : c.protocols) protocols.emplace_back("orbilume.protocol." + p);
    if (!protocols.empty()) root.Set("protocols", plat::Value(protocols));
    if (!c.category.empty()) root.Set("category", plat::Value("orbilume.category." + c.category));
    if (!c.makerName.empty()) root.Set("lumetra.name", plat::Value(c.makerName));
    if (!c.makerCategory.empty()) root.Set("lumetra.category", plat::Value(c.makerCategory));
    if (c.plane) root.Set("lumetra.plane", plat::Value(true));
    plat::ValueArray nodes, outputs;
    switch (c.output) {
        case Compo::kNone:
            nodes.push_back(Dict({{"key", plat::Value("clear")}, {"class", plat::Value("clear")}}));
            break;
        case Compo::kNumber:
            nodes.push_back(Dict({{"key", plat::Value("lfo")}, {"class", plat::Value("lfo")}}));
            outputs.push_back(Dict({{"key", plat::Value("Value")},
                                    {"node", plat::Value("lfo")},
                                    {"port", plat::Value("value")}}));
            break;
        case Compo::kColor:
            nodes.push_back(Dict({{"key", plat::Value("rgb")}, {"class", plat::Value("colorCompose")}}));
            outputs.push_back(Dict({{"key", plat::Value("Color")},
                                    {"node", plat::Value("rgb")},
                                    {"port", plat::Value("color")}}));
            break;
        case Compo::kString:
            nodes.push_back(Dict({{"key", plat::Value("s")},
                                  {"class", plat::Value("splitter")},
                                  {"state", Dict({{"type", plat::Value("string")}})}}));
            outputs.push_back(Dict(
                {{"key", plat::Value("Text")}, {"node", plat::Value("s")}, {"port", plat::Value("output")}}));
            break;
    }
    root.Set("rootPatch", Dict({{"state", Dict({{"nodes", plat::Value(nodes)},
                                                {"publishedOutputPorts", plat::Value(outputs)}})}}));
    return plat::Value(std::move(root));
}

void WriteCompo(const std::string& path, const Compo& c) {
    ASSERT_TRUE(plat::WritePropertyListFile(path, CompoPropertyList(c), plat::PropertyListFormat::Xml))
        << path;
}

Tree::Tree() {
    repository = dir.File("repository");
    sharedSupport = dir.File("SharedSupport");
    const std::string comps = sharedSupport + "/compositions", anims = sharedSupport + "/animators";
    for (const std::string& f :
         {repository, sharedSupport + "/privatecompo", comps + "/gen/deep", anims + "/sub"})
        EXPECT_TRUE(plat::MakeFolders(f));
    WriteCompo(repository + "/RepoAnim.qtz", {"Repo Anim", {"graphicAnimation"}});
    WriteCompo(repository + "/RepoFilter.qtz", {"Repo Filter", {"imageFilter"}, "stylize"});
    WriteCompo(repository + "/RepoFilter0.qtz", {"Repo Filter 0", {"imageFilter"}});
    WriteCompo(repository + "/RepoTrans.qtz", {"Repo Trans", {"graphicTransition", "musicVisualizer"}});

    dir.Write("SharedSupport/privatecompo/obexinfo",
              "<?xml version=\"1.0\"?>\n<obexinfo>\n"
              "  <compo id=\"/RepoAnim\" plane=\"1\" clear=\"x\"/>\n"
              "  <compo id=\"/RepoTrans\" plane=\"0\" clear=\"2\"/>\n"
              "  <compo id=\"a.qtz\" plane=\"1\" clear=\"1\"/>\n"
              "  <compo id=\"\" plane=\"1\"/>\n"
              "  <other id=\"/RepoFilter\" plane=\"1\"/>\n"
              "</obexinfo>\n");

    WriteCompo(comps + "/a.qtz", {"a", {"graphicAnimation"}, "", "Alpha", "Patterns"});
    WriteCompo(comps + "/gen/b.qtz", {"b", {"graphicAnimation"}, "", "\"Bêta\",Beta", "Patterns"});
    WriteCompo(comps + "/gen/deep/c.qtz", {"c", {"graphicAnimation"}, "", "Gamma", "Shapes"});
    WriteCompo(comps + "/plain.qtz", {"Plain", {"graphicAnimation"}});
    WriteCompo(comps + "/noproto.qtz", {"No Protocol", {}, "distortion"});
    WriteCompo(comps + "/obImageSphere.qtz", {"Sphere", {"imageFilter"}, "utility"});
    WriteCompo(comps + "/obImageSpherer.qtz", {"Sphere alias", {"imageFilter"}, "utility"});
    WriteCompo(comps + "/wipe.qtz", {"Wipe", {"graphicTransition"}, "", "", "", Compo::kNone, true});
    dir.Write("SharedSupport/compositions/broken.qtz", "<plist><dict><key>name</key>");
    EXPECT_EQ(::symlink("..", (comps + "/gen/loop").c_str()), 0);

    WriteCompo(anims + "/num.qtz", {"Number", {}, "", "", "", Compo::kNumber});
    WriteCompo(anims + "/col.qtz", {"Colour", {}, "", "", "", Compo::kColor});
    WriteCompo(anims + "/txt.qtz", {"Text", {}, "", "", "", Compo::kString});
    WriteCompo(anims + "/sub/num2.qtz", {"Another number", {}, "", "", "", Compo::kNumber});
}

}  // namespace repotest
