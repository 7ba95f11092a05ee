#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Orbilume/CSources/Led/CDimDefLibrary.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "tests/support/TempDir.h"

namespace {

using T = CDimTypes;

std::string DefText(const char* name, uint32_t columns, uint32_t rows) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<YOBM_DIDF dfid=\"" + std::string(name) +
           "\" dthz=\"" + std::to_string(columns) + "\" dtvt=\"" + std::to_string(rows) + "\"/>\n";
}

bool Reported(const CDimDefStore& store, const std::string& path) {
    for (const auto& p : store.LoadReport())
        if (p.path == path) return true;
    return false;
}

TEST(DimDefLoad, BuiltInWinsHiddenSkippedSubFoldersAndReport) {
    testsupport::TempDir dir;
    const std::string builtIn = dir.File("builtin"), user = dir.File("user");
    ASSERT_EQ(mkdir(builtIn.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(user.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((user + "/sub").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((user + "/.hidden").c_str(), 0755), 0);
    dir.Write("builtin/Same", DefText("Same", 2, 1));
    dir.Write("user/Same", DefText("Same", 5, 1));
    dir.Write("user/.secret", DefText("secret", 1, 1));
    dir.Write("user/.hidden/Inner", DefText("Inner", 1, 1));
    dir.Write("user/sub/Deep", DefText("Other name inside", 3, 3));
    dir.Write("user/Damaged", "<?xml version=\"1.0\"?>\n<YOBM_DIDF dthz=\"2\"");
    dir.Write("user/Wrong root", "<?xml version=\"1.0\"?>\n<YOBM_DIMS/>\n");
    dir.Write("user/Flat", DefText("Flat", 0, 4));
    dir.Write("user/Huge grid", DefText("Huge", 171, 1));
    dir.Write("user/Big", DefText("Big", 1, 1) + std::string(CDimDefStore::kMaxFileBytes, ' '));

    CDimDefStore store;
    store.LoadAll(builtIn, user);
    ASSERT_NE(store.Find("Same"), nullptr);
    EXPECT_EQ(store.Find("Same")->GetUInt(T::kDidfColumns), 2u);
    EXPECT_EQ(store.Find("Same")->GetByte(T::kDidfUser), 0);
    EXPECT_EQ(store.Find("secret"), nullptr);
    EXPECT_EQ(store.Find(".secret"), nullptr);
    EXPECT_EQ(store.Find("Inner"), nullptr);
    // Named after its file, with the file remembered.
    ASSERT_NE(store.Find("Deep"), nullptr);
    EXPECT_EQ(store.Find("Other name inside"), nullptr);
    EXPECT_EQ(store.Find("Deep")->GetByte(T::kDidfUser), 1);
    EXPECT_EQ(store.FileOf("Deep"), user + "/sub/Deep");
    EXPECT_EQ(store.FileOf("Same"), "");
    EXPECT_EQ(store.Count(), 2u);
    for (const char* bad : {"Damaged", "Wrong root", "Flat", "Huge grid", "Big"})
        EXPECT_TRUE(Reported(store, user + "/" + bad)) << bad;
    EXPECT_EQ(store.LoadReport().size(), 5u);
}

TEST(DimDefLoad, LinkLoopsAndHugeFoldersEndWithinBounds) {
    testsupport::TempDir dir;
    const std::string root = dir.File("defs");
    ASSERT_EQ(mkdir(root.c_str(), 0755), 0);
    ASSERT_EQ(symlink(root.c_str(), (root + "/loop").c_str()), 0);
    dir.Write("defs/One", DefText("One", 1, 1));
    std::string deep = root;
    for (int i = 0; i < 12; ++i) {
        deep += "/d";
        ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
        dir.Write(deep.substr(dir.Path().size() + 1) + "/Level" + std::to_string(i), DefText("x", 1, 1));
    }
    CDimDefStore store;
    store.LoadFolder(root, true);
    EXPECT_NE(store.Find("One"), nullptr);
    EXPECT_NE(store.Find("Level0"), nullptr);
    EXPECT_NE(store.Find("Level6"), nullptr);
    EXPECT_EQ(store.Find("Level7"), nullptr);  // depth 8

    const std::string many = dir.File("many");
    ASSERT_EQ(mkdir(many.c_str(), 0755), 0);
    for (int i = 0; i < 20000; ++i) {
        const std::string p = many + "/f" + std::to_string(i);
        FILE* f = fopen(p.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fclose(f);
    }
    CDimDefStore big;
    const auto start = std::chrono::steady_clock::now();
    big.LoadFolder(many, true);
    EXPECT_LE(big.LoadReport().size(), CDimDefStore::kMaxEntries);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

TEST(DimDefLoad, EveryShippedDefinitionLoads) {
    const std::string folder = std::string(SHARED_SUPPORT_DIR) + "/diminst";
    CDimDefStore store;
    store.LoadAll(folder, "");
    EXPECT_TRUE(store.LoadReport().empty());
    EXPECT_EQ(store.Count(), 5u);
    struct Row {
        const char* name;
        uint64_t footprint;
    };
    const Row rows[] = {{"Pixel-RGB", 3},
                        {"Strip-RGB-8", 24},
                        {"Pixel-RGB-255", 4},
                        {"Matrix-RGB-16x16", 768},
                        {"Spot-Codes", 6}};
    for (const Row& row : rows) {
        const CRecord* def = store.Find(row.name);
        ASSERT_NE(def, nullptr) << row.name;
        EXPECT_EQ(CDimDefStore::Footprint(def), row.footprint) << row.name;
    }
    EXPECT_EQ(CDimDefStore::DotOrder(store.Find("Matrix-RGB-16x16"), 16), 32);
}

// Titles of the menu, a submenu's in brackets after its item.
std::string Titles(const LMenu& menu) {
    std::string out;
    for (uint32_t i = 0; i < menu.ItemCount(); ++i) {
        const LMenuItem* item = menu.ItemAt(i);
        if (!out.empty()) out += ", ";
        out += item->Text().CStr();
        if (!item->HasCommand(CDimDefLibrary::kCommand)) out += "!";
        if (item->Submenu()) out += " [" + Titles(*item->Submenu()) + "]";
    }
    return out;
}

TEST(DimDefLibrary, FolderScanListsBuiltInThenUserSkippingHidden) {
    testsupport::TempDir dir;
    const std::string builtIn = dir.File("builtin"), user = dir.File("user");
    ASSERT_EQ(mkdir(builtIn.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(user.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((user + "/sub").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((user + "/.hidden").c_str(), 0755), 0);
    dir.Write("builtin/Strip", DefText("Strip", 8, 1));
    dir.Write("builtin/Pixel", DefText("Pixel", 1, 1));
    dir.Write("user/Mine", DefText("Mine", 2, 2));
    dir.Write("user/.secret", DefText("secret", 1, 1));
    dir.Write("user/.hidden/Inner", DefText("Inner", 1, 1));
    dir.Write("user/sub/Deep", DefText("Deep", 3, 3));
    ASSERT_EQ(symlink(user.c_str(), (user + "/sub/loop").c_str()), 0);

    LMenu menu(nullptr, LString("Definitions"));
    CDimDefLibrary::ScanFolder(builtIn, &menu, CDimDefLibrary::kCommand, false);
    CDimDefLibrary::ScanFolder(user, &menu, CDimDefLibrary::kCommand, true);
    EXPECT_EQ(Titles(menu), "Pixel, Strip, Mine, sub [Deep, loop]");

    // Without recursion a folder is a plain item.
    LMenu flat(nullptr, LString("Flat"));
    CDimDefLibrary::ScanFolder(user, &flat, CDimDefLibrary::kCommand, false);
    EXPECT_EQ(Titles(flat), "Mine, sub");
    // A missing folder lists nothing.
    LMenu none(nullptr, LString("None"));
    EXPECT_EQ(CDimDefLibrary::ScanFolder(dir.File("missing"), &none, CDimDefLibrary::kCommand, true), 0u);
    EXPECT_EQ(none.ItemCount(), 0u);
}

TEST(DimDefLibrary, PathsOnlyForPlainNames) {
    testsupport::TempDir dir;
    CDimDefLibrary library(nullptr, dir.Path());
    EXPECT_EQ(library.UserFolder(), dir.Path() + "/ObDimInstruments");
    const std::string bad[] = {
        "", ".", "..", "../x", "a/b", "/abs", std::string("a\0b", 3), std::string(300, 'n')};
    for (const std::string& name : bad) {
        EXPECT_EQ(library.DefinitionPath(name, true), "") << name;
        EXPECT_NE(access(library.UserFolder().c_str(), F_OK), 0) << "nothing is made for " << name;
    }
    EXPECT_EQ(library.DefinitionPath(std::string(255, 'n'), false),
              library.UserFolder() + "/" + std::string(255, 'n'));
    EXPECT_EQ(library.DefinitionPath("My Strip", true), library.UserFolder() + "/My Strip");
    struct stat st;
    EXPECT_EQ(stat(library.UserFolder().c_str(), &st), 0);
}

TEST(DimDefLibrary, RemoveFolder) {
    testsupport::TempDir dir;
    ASSERT_EQ(mkdir(dir.File("empty").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.File("full").c_str(), 0755), 0);
    dir.Write("full/x", "x");
    dir.Write("file", "x");
    EXPECT_EQ(CDimDefLibrary::RemoveFolder(dir.File("empty")), 0);
    EXPECT_EQ(CDimDefLibrary::RemoveFolder(dir.File("full")), 1);
    EXPECT_EQ(CDimDefLibrary::RemoveFolder(dir.File("file")), 1);
    EXPECT_EQ(CDimDefLibrary::RemoveFolder(dir.File("missing")), 2);
}

}  // namespace
