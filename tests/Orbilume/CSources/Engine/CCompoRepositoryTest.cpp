#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Orbilume/CSources/Engine/CCompoRepository.h"
#include "Orbilume/CSources/Engine/USize.h"
#include "Orbilume/CSources/QCx/MQcComposition_.h"
#include "Platform/Composer/Repository.h"
#include "Platform/Foundation/FileIO.h"
#include "tests/Orbilume/CSources/Engine/RepoFixture.h"

namespace {

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

// "identifier kind/filter kind/animator kind/plane/clear" per entry.
std::vector<std::string> Dump(const std::vector<CompoRepoEntry>& list) {
    std::vector<std::string> out;
    for (const CompoRepoEntry& e : list) {
        std::string s = Str(e.identifier) + " " + Str(e.name) + " " + std::to_string(e.kind) + "/" +
                        std::to_string(e.filterKind) + "/" + std::to_string(e.animatorKind) + "/" +
                        std::to_string(e.plane) + std::to_string(e.clear);
        if (e.fromRepository) s += " repo";
        if (!e.makerCategory.IsEmpty()) s += " [" + Str(e.makerCategory) + "]";
        if (!e.file.IsEmpty()) s += " file";
        out.push_back(s);
    }
    return out;
}

class CCompoRepositoryTest : public ::testing::Test {
protected:
    void SetUp() override { repo.Scan(&shared, tree.sharedSupport); }
    repotest::Tree tree;
    plat::Repository shared{{tree.repository}};
    CCompoRepository repo;
};

TEST_F(CCompoRepositoryTest, ScansIntoSevenListsWithFlags) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Dump(repo.List(0)),
              (V{"/RepoAnim Repo Anim 0/0/0/10 repo", "a.qtz Alpha 0/0/0/00 [Patterns] file",
                 "b.qtz Beta 0/0/0/00 [Patterns] file", "c.qtz Gamma 0/0/0/00 [Shapes] file",
                 "plain.qtz Plain 0/0/0/00 file"}));
    EXPECT_EQ(Dump(repo.List(1)), (V{"/RepoTrans Repo Trans 0/0/0/01 repo", "wipe.qtz Wipe 0/0/0/00 file"}));
    // A repository filter of kind "other" is left out; a bundle file without protocols is a filter;
    // animators have no protocols either.
    EXPECT_EQ(Dump(repo.List(2)),
              (V{"/RepoFilter Repo Filter 0/2/0/00 repo", "noproto.qtz No Protocol 0/1/0/00 file",
                 "obImageSphere.qtz Sphere 0/3/0/00 file", "col.qtz Colour 1/0/5/00 file",
                 "num.qtz Number 1/0/3/00 file", "num2.qtz Another number 1/0/3/00 file",
                 "txt.qtz Text 1/0/4/00 file"}));
    EXPECT_TRUE(repo.List(3).empty());
    EXPECT_TRUE(repo.List(4).empty());
    EXPECT_EQ(Dump(repo.List(5)), (V{"/RepoTrans Repo Trans 0/0/0/01 repo"}));
    EXPECT_TRUE(repo.List(6).empty());
    EXPECT_TRUE(repo.List(7).empty());

    // Scanning again starts from empty lists.
    repo.Scan(nullptr, tree.sharedSupport);
    EXPECT_EQ(repo.List(0).size(), 4u);
    EXPECT_EQ(repo.List(5).size(), 0u);
}

TEST_F(CCompoRepositoryTest, FindLookupAndLoad) {
    ASSERT_NE(repo.FindEntry(LString("c.qtz")), nullptr);
    EXPECT_EQ(Str(repo.FindEntry(LString("c.qtz"))->name), "Gamma");
    EXPECT_EQ(repo.FindEntry(LString("broken.qtz")), nullptr);
    EXPECT_EQ(repo.FindEntry(LString("obImageSpherer.qtz")), nullptr);
    EXPECT_EQ(Str(repo.LookupEntry(LString("Beta"))), "b.qtz");
    EXPECT_EQ(Str(repo.LookupEntry(LString("Repo Trans"))), "/RepoTrans");
    EXPECT_TRUE(repo.LookupEntry(LString("Nothing")).IsEmpty());
    EXPECT_EQ(Str(repo.LookupEntry(LString("GraphicTransition"), LString("Wipe"))), "wipe.qtz");
    EXPECT_TRUE(repo.LookupEntry(LString("GraphicAnimation"), LString("Wipe")).IsEmpty());
    EXPECT_EQ(Str(repo.LookupEntry(LString("FilterUtility"), LString("Number"))), "num.qtz");
    EXPECT_EQ(Str(repo.LookupEntry(LString(""), LString("Colour"))), "col.qtz");

    struct Row {
        const char* id;
        const char* name;  // nullptr: no composition
        bool fromFile;
    };
    const Row rows[] = {
        {"a.qtz", "a", true},
        {"obImageSpherer.qtz", "Sphere", true},
        {"/RepoAnim", "Repo Anim", false},
        {"/RepoFilter0", "Repo Filter 0", false},  // not listed, still in the repository
        {"broken.qtz", nullptr, false},
        {"missing.qtz", nullptr, false},
    };
    for (const Row& r : rows) {
        plat::Ref<MQcComposition_> c = plat::Adopt(repo.Load(LString(r.id)));
        if (!r.name) {
            EXPECT_FALSE(c) << r.id;
            continue;
        }
        ASSERT_TRUE(c) << r.id;
        EXPECT_EQ(Str(MQcComposition_::Name(c.get())), r.name);
        EXPECT_EQ(!c->path().empty(), r.fromFile) << r.id;
    }

    EXPECT_EQ(Str(repo.PrivateCompoSpec("obImageInput.qtz").GetText()),
              tree.sharedSupport + "/privatecompo/obImageInput.qtz");
}

TEST_F(CCompoRepositoryTest, PlaneAndClearFromTheFileOrTheInfo) {
    struct Row {
        const char* id;
        bool plane, clear;
    };
    // obexinfo marks only repository compositions: bundle files are scanned after it is read.
    const Row rows[] = {{"/RepoAnim", true, false},
                        {"/RepoTrans", false, true},
                        {"a.qtz", false, false},
                        {"wipe.qtz", true, false},
                        {"/RepoFilter", false, false}};
    for (const Row& r : rows) {
        plat::Ref<MQcComposition_> c = plat::Adopt(repo.Load(LString(r.id)));
        ASSERT_TRUE(c) << r.id;
        EXPECT_EQ(repo.IsPlane(c.get()), r.plane) << r.id;
        EXPECT_EQ(repo.IsClear(c.get()), r.clear) << r.id;
    }
    EXPECT_FALSE(repo.IsPlane(nullptr));
}

TEST(CCompoRepository, MissingOrBadInfoAndFolders) {
    testsupport::TempDir dir;
    CCompoRepository repo;
    repo.Scan(nullptr, dir.File("none"));
    for (uint32_t i = 0; i < 7; ++i) EXPECT_TRUE(repo.List(i).empty());

    // Not an obexinfo root; then malformed XML: nothing marked, nothing broken.
    ASSERT_TRUE(plat::MakeFolders(dir.File("repository")));
    ASSERT_TRUE(plat::MakeFolders(dir.File("ss/privatecompo")));
    repotest::WriteCompo(dir.File("repository/R.qtz"), {"R", {"graphicAnimation"}});
    plat::Repository shared({dir.File("repository")});
    for (const char* info :
         {"<other><compo id=\"/R\" plane=\"1\"/></other>", "<obexinfo><compo id=\"/R\" plane=\"1\"",
          "<obexinfo><compo id=\"/R\" plane=\" 7 \" clear=\"1.5\"/></obexinfo>", "\xff\xfe<<<"}) {
        dir.Write("ss/privatecompo/obexinfo", info);
        repo.Scan(&shared, dir.File("ss"));
        ASSERT_EQ(repo.List(0).size(), 1u);
        SCOPED_TRACE(info);
        const bool marked = std::string(info).find("7") != std::string::npos ||
                            std::string(info).rfind("<obexinfo><compo id=\"/R\" plane=\"1\"", 0) == 0;
        EXPECT_EQ(repo.List(0)[0].plane, marked ? 1 : 0);
        EXPECT_EQ(repo.List(0)[0].clear, 0);
    }
}

TEST(CCompoRepository, DeepFoldersStopAtTheBound) {
    testsupport::TempDir dir;
    std::string folder = dir.File("ss/compositions");
    for (uint32_t depth = 0; depth < 20; ++depth) {
        ASSERT_TRUE(plat::MakeFolders(folder));
        repotest::WriteCompo(folder + "/d" + std::to_string(depth) + ".qtz",
                             {"Depth " + std::to_string(depth), {"graphicAnimation"}});
        folder += "/sub";
    }
    CCompoRepository repo;
    repo.Scan(nullptr, dir.File("ss"));
    EXPECT_EQ(repo.List(0).size(), CCompoRepository::kMaxDepth);
}

TEST(USize, AspectFitTable) {
    struct Row {
        USize size, box;
        bool extend;
        USize want;
    };
    const Row rows[] = {
        {{1920, 1080}, {1280, 1280}, false, {1280, 720}},
        {{1080, 1920}, {1280, 1280}, false, {720, 1280}},
        {{640, 480}, {1920, 1080}, false, {640, 480}},  // fits: unchanged
        {{640, 480}, {1920, 1080}, true, {853, 480}},
        {{480, 640}, {1080, 1920}, true, {480, 853}},
        {{1920, 1080}, {1280, 720}, true, {1280, 720}},  // not larger both ways: the box
        {{0, 480}, {1920, 1080}, true, {0, 480}},
        {{640, 480}, {-1, 1080}, false, {640, 480}},
        // Products past 32 bits.
        {{2000000000, 1000000000}, {100000, 100000}, false, {100000, 50000}},
        {{3, 2}, {2000000000, 2000000000}, true, {3, 3}},
        {{2000000000, 1}, {2000000000, 2000000000}, true, {2000000000, 2000000000}},
    };
    for (const Row& r : rows) {
        const USize got = USize::AspectFit(r.size, r.box, r.extend);
        EXPECT_EQ(got, r.want) << r.size.width << "x" << r.size.height << " in " << r.box.width << "x"
                               << r.box.height << (r.extend ? " extend" : "") << " -> " << got.width << "x"
                               << got.height;
    }
}

TEST(VideoInputIndex, Table) {
    const std::pair<const char*, int32_t> rows[] = {
        {".videoinput", 0},
        {".videoinput3", 3},
        {".videoinput12x", 12},
        {".videoinputx", 0},
        {".videoinput-2", 0},
        {"videoinput1", -1},
        {"/RepoAnim", -1},
        {"", -1},
        {".videoinput99999999999", INT32_MAX},
        {nullptr, -1},
    };
    for (auto [id, want] : rows) EXPECT_EQ(VideoInputIndex(id), want) << (id ? id : "null");
}

}  // namespace
