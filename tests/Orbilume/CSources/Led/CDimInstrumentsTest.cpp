#include <gtest/gtest.h>

#include <sys/stat.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Orbilume/CSources/DmxIn/CUvAdTypes.h"
#include "Orbilume/CSources/Led/DimWindows.h"
#include "tests/Orbilume/CSources/Led/DimDocumentFixture.h"
#include "tests/support/CommandOutput.h"

namespace {

using dimdoc::Current;
using T = CDimTypes;

const std::string kLayout = std::string(LED_FIXTURES) + "/layout.obdim";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// ---- canvas

TEST(DimCanvas, SizesFromAspectDivisionGapAndStretch) {
    struct Case {
        uint32_t aw, ah, division, gap;
        bool stretch;
        uint32_t w, h;
    } const cases[] = {
        {1920, 1080, 32, 0, false, 32, 18},
        {1920, 1080, 32, 2, false, 96, 54},
        {1920, 1080, 32, 2, true, 96, 96},
        {1080, 1920, 32, 0, false, 18, 32},
        {1, 100000, 32, 0, false, 1, 32},  // the short side rounds down to 0 and becomes 1
        {1920, 1080, 1000000000, 0, false, 4096, 4096},
        {1920, 1080, 0xFFFFFFFFu, 255, true, 4096, 4096},  // k needs more than 32 bits
        {0, 0, 32, 0, false, 32, 32},                        // 0 counts as 1
    };
    for (const Case& c : cases) {
        uint32_t w = 0, h = 0;
        CDimInstruments::CanvasSize(c.aw, c.ah, c.division, c.gap, c.stretch, 4096, w, h);
        EXPECT_EQ(w, c.w) << c.aw << "x" << c.ah << " div " << c.division << " gap " << c.gap;
        EXPECT_EQ(h, c.h) << c.aw << "x" << c.ah << " div " << c.division << " gap " << c.gap;
    }
}

TEST(DimCanvas, AutoDivisionFromTheSmallestDot) {
    dimdoc::Fixture f;
    CDimInstruments& doc = f.Make();
    EXPECT_EQ(CDimInstruments::AutoDivision(f.Root(), doc.Defs()), 500u);  // no devices
    f.AddDevice("Bar-10", 0, 0, 1.0f, 0.1f);
    EXPECT_EQ(CDimInstruments::AutoDivision(f.Root(), doc.Defs()), 500u);  // no known definition
    f.AddDefinition("Bar-10", 10, 1);
    EXPECT_EQ(CDimInstruments::AutoDivision(f.Root(), doc.Defs()), 20u);

    // The document writes it without undo and without making the layout dirty.
    doc.SetAspect(1000, 1000);
    ASSERT_TRUE(doc.DoCommand(LString("cDimAutoDiv")));
    doc.Dims().SetModified(false);
    doc.UpdateCanvas();
    EXPECT_EQ(f.Root()->GetUInt(T::kDimsDivision), 20u);
    EXPECT_EQ(doc.CanvasWidth(), 20u);
    EXPECT_FALSE(doc.IsDirty());
    EXPECT_FALSE(doc.Undo().CanUndo());
}

TEST(DimCanvas, FollowsTheAspectAndTheToggles) {
    dimdoc::Fixture f;
    CDimInstruments& doc = f.Make();
    doc.SetAspect(1920, 1080);
    EXPECT_EQ(doc.CanvasWidth(), 32u);
    EXPECT_EQ(doc.CanvasHeight(), 18u);
    EXPECT_EQ(f.Root()->GetUInt(T::kDimsCanvasWidth), 32u);
    EXPECT_EQ(f.Root()->GetUInt(T::kDimsCanvasHeight), 18u);
    EXPECT_EQ(doc.Output().CanvasWidth(), 32u);
    ASSERT_TRUE(doc.DoCommand(LString("cDimGap2")));
    doc.UpdateCanvas();
    EXPECT_EQ(doc.CanvasWidth(), 96u);
    EXPECT_EQ(doc.CanvasHeight(), 54u);
    ASSERT_TRUE(doc.DoCommand(LString("cDimStretch")));
    doc.UpdateCanvas();
    EXPECT_EQ(doc.CanvasHeight(), 96u);
    doc.SetAspect(0, 0);  // becomes 1 x 1
    EXPECT_EQ(doc.CanvasWidth(), 96u);
    EXPECT_EQ(doc.CanvasHeight(), 96u);
}

TEST(DimCanvas, HugeDivisionFromAFileStaysWithinTheCap) {
    dimdoc::Fixture f;
    f.dir.Write("huge.obdim",
                "<?xml version=\"1.0\"?>\n<YOBM_DIMS dvsn=\"1000000000\" dgap=\"2\"><YOBM_DIMS_uvas><YQLH_UVAS/>"
                "</YOBM_DIMS_uvas></YOBM_DIMS>\n");
    CDimInstruments& doc = f.Make(f.dir.File("huge.obdim"));
    EXPECT_EQ(f.Root()->GetUInt(T::kDimsDivision), 1000000000u);
    doc.SetAspect(1920, 1080);
    EXPECT_LE(doc.CanvasWidth(), CDimInstruments::kMaxCanvasSide);
    EXPECT_LE(doc.CanvasHeight(), CDimInstruments::kMaxCanvasSide);
    EXPECT_GE(doc.CanvasHeight(), 1u);
}

TEST(DimCanvas, ABurstOfInsertionsRecomputesOnce) {
    dimdoc::Fixture f;
    CDimInstruments& doc = f.Make();
    doc.SetAspect(100, 100);
    ASSERT_TRUE(doc.DoCommand(LString("cDimAutoDiv")));
    doc.UpdateCanvas();
    f.AddDefinition("Dot", 1, 1);
    doc.UpdateCanvas();
    for (int i = 0; i < 50; ++i) f.AddDevice("Dot", 0, 0, 0.5f, 0.5f);
    EXPECT_TRUE(doc.CanvasPending());
    EXPECT_EQ(doc.CanvasWidth(), 500u);  // not yet
    // The main loop runs the recompute once.
    EXPECT_TRUE(f.main.RunUntil([&] { return !doc.CanvasPending(); }));
    EXPECT_EQ(doc.CanvasWidth(), 4u);
}

// ---- files

TEST(DimFiles, LoadMovesTheDefinitionsIntoTheStore) {
    dimdoc::Fixture f;
    CDimInstruments& doc = f.Make(kLayout);
    EXPECT_EQ(doc.LastFile(), kLayout);
    EXPECT_EQ(f.DeviceCount(), 5u);
    EXPECT_EQ(f.Root()->ArrayCount(T::kDimsDefinitions), 0u);
    ASSERT_NE(doc.Defs().Find("Matrix-RGB-16x16"), nullptr);
    EXPECT_EQ(doc.Defs().Find("Matrix-RGB-16x16")->GetByte(T::kDidfEmbedded), 1);
    EXPECT_EQ(doc.Defs().Find("Strip-RGB-8")->GetByte(T::kDidfUser), 1);
    EXPECT_FALSE(doc.IsDirty());
    EXPECT_EQ(f.Root()->GetByte(T::kDimsSacn), 1);
    EXPECT_EQ(f.Root()->GetSubRecord(T::kDimsUniverses)->ArrayCount(CUvAdTypes::kUvasList), 1u);
    EXPECT_TRUE(Current().messages.empty());
}

TEST(DimFiles, SavingWritesEachDefinitionOnceAndTheSameBytesTwice) {
    dimdoc::Fixture f;
    CDimInstruments& doc = f.Make();
    f.AddDefinition("Pixel", 1, 1);
    f.AddDefinition("Unused", 2, 2);
    for (int i = 0; i < 3; ++i) f.AddDevice("Pixel", 0.1f * i, 0, 0.1f, 0.1f);
    ASSERT_TRUE(doc.Save(f.dir.File("a.obdim")));
    const std::string a = ReadAll(f.dir.File("a.obdim"));
    EXPECT_EQ(Count(a, "<YOBM_DIDF"), 1u);
    EXPECT_EQ(Count(a, "dfid=\"Pixel\""), 4u);
    EXPECT_EQ(Count(a, "Unused"), 0u);
    ASSERT_TRUE(doc.Save(f.dir.File("b.obdim")));
    EXPECT_EQ(ReadAll(f.dir.File("b.obdim")), a);
    EXPECT_EQ(doc.LastFile(), f.dir.File("b.obdim"));

    // A loaded layout saved unchanged gives its bytes back.
    dimdoc::Fixture g;
    CDimInstruments& again = g.Make(f.dir.File("a.obdim"));
    ASSERT_TRUE(again.Save(g.dir.File("c.obdim")));
    EXPECT_EQ(ReadAll(g.dir.File("c.obdim")), a);
}

TEST(DimFiles, SaveWithoutALastFileAsksForOneAndCancelWritesNothing) {
    dimdoc::Fixture f;
    CDimInstruments& doc = f.Make();
    f.AddDevice("X", 0, 0, 0.1f, 0.1f);
    ASSERT_TRUE(doc.IsDirty());
    Current().savePaths.push_back("");
    ASSERT_TRUE(doc.DoCommand(LString("LStdCmd_Save")));
    EXPECT_EQ(Current().askedSavePath, 1u);
    EXPECT_TRUE(doc.IsDirty());
    EXPECT_EQ(testsupport::CommandOutput("ls -A " + f.dir.Path() + " | wc -l"), "0\n");

    Current().savePaths.push_back(f.dir.File("new.obdim"));
    ASSERT_TRUE(doc.DoCommand(LString("LStdCmd_Save")));
    EXPECT_FALSE(doc.IsDirty());
    EXPECT_EQ(doc.LastFile(), f.dir.File("new.obdim"));
}

TEST(DimFiles, AFailedWriteKeepsTheOldFileAndTheDirtyFlag) {
    dimdoc::Fixture f;
    CDimInstruments& doc = f.Make();
    // The temporary file's name passes the name limit: creating it fails whoever runs the test.
    const std::string name = std::string(250, 'l');
    f.dir.Write(name, "old bytes");
    f.AddDevice("X", 0, 0, 0.1f, 0.1f);
    ASSERT_FALSE(doc.Save(f.dir.File(name)));
    EXPECT_EQ(f.dir.Read(name), "old bytes");
    EXPECT_TRUE(doc.IsDirty());
    EXPECT_TRUE(doc.LastFile().empty());
    ASSERT_EQ(Current().messages.size(), 1u);
    EXPECT_NE(Current().messages[0].find("cannot be saved"), std::string::npos);

    // "Save" to a last file that fails falls back to Save As.
    ASSERT_TRUE(doc.Save(f.dir.File("ok.obdim")));
    f.AddDevice("Y", 0, 0, 0.1f, 0.1f);
    ASSERT_EQ(::unlink(f.dir.File("ok.obdim").c_str()), 0);
    ASSERT_EQ(::mkdir(f.dir.File("ok.obdim").c_str(), 0755), 0);  // renaming over a folder fails
    Current().savePaths.push_back(f.dir.File("other.obdim"));
    ASSERT_TRUE(doc.DoCommand(LString("LStdCmd_Save")));
    EXPECT_EQ(Current().askedSavePath, 1u);
    EXPECT_EQ(doc.LastFile(), f.dir.File("other.obdim"));
    EXPECT_FALSE(doc.IsDirty());
}

TEST(DimFiles, BadFilesLeaveTheLayoutAsItWas) {
    dimdoc::Fixture f;
    CDimInstruments& doc = f.Make(kLayout);
    const std::string good = ReadAll(kLayout);
    std::string nested = "<?xml version=\"1.0\"?>\n<YOBM_DIMS><YOBM_DIMS_devs>";
    for (int i = 0; i < 400; ++i) nested += "<YOBM_DIDV><YOBM_DIDV_prms>";
    for (int i = 0; i < 400; ++i) nested += "</YOBM_DIDV_prms></YOBM_DIDV>";
    nested += "</YOBM_DIMS_devs></YOBM_DIMS>\n";
    const struct {
        const char* name;
        std::string bytes;
        const char* says;
    } cases[] = {
        {"truncated.obdim", good.substr(0, good.size() / 2), "line"},
        {"foreign.obdim", "<?xml version=\"1.0\"?>\n<YOBM_OBMX/>\n", "no dimmer layout"},
        {"html.obdim", "<html><body>hello</body></html>", "no dimmer layout"},
        {"binary.obdim", std::string("\0\1\2garbage", 10), "cannot be opened"},
        {"nested.obdim", nested, "nest too deeply"},
        {"empty.obdim", "", "cannot be opened"},
    };
    for (const auto& c : cases) {
        f.dir.Write(c.name, c.bytes);
        f.Device(0).SetFloat(&doc, T::kDidvPosX, 0.25f);  // dirty
        Current().messages.clear();
        EXPECT_FALSE(doc.Load(f.dir.File(c.name))) << c.name;
        ASSERT_EQ(Current().messages.size(), 1u) << c.name;
        EXPECT_NE(Current().messages[0].find(c.name), std::string::npos) << Current().messages[0];
        EXPECT_NE(Current().messages[0].find(c.says), std::string::npos) << Current().messages[0];
        EXPECT_EQ(f.DeviceCount(), 5u) << c.name;
        EXPECT_EQ(doc.LastFile(), kLayout) << c.name;
        EXPECT_TRUE(doc.IsDirty()) << c.name;
        EXPECT_FLOAT_EQ(f.Device(0)->GetFloat(T::kDidvPosX), 0.25f);
        EXPECT_EQ(doc.Defs().Count(), 5u);
    }
    // A huge file is refused before it is read.
    {
        std::ofstream out(f.dir.File("huge.obdim"), std::ios::binary);
        out.seekp(static_cast<std::streamoff>(CDimInstruments::kMaxFileBytes));
        out.put('x');
    }
    Current().messages.clear();
    EXPECT_FALSE(doc.Load(f.dir.File("huge.obdim")));
    ASSERT_EQ(Current().messages.size(), 1u);
    EXPECT_NE(Current().messages[0].find("too large"), std::string::npos);
    EXPECT_EQ(f.DeviceCount(), 5u);
}

// The depth limit counts open elements, the root included: the limit itself is read, one more
// is refused with no tree.
TEST(DimFiles, TheDepthLimitIsExact) {
    for (const uint32_t depth : {CDimInstruments::kMaxElementDepth - 1, CDimInstruments::kMaxElementDepth,
                                 CDimInstruments::kMaxElementDepth + 1}) {
        std::string text = "<YOBM_DIMS>";
        for (uint32_t i = 1; i < depth; ++i) text += "<YOBM_DIMS_devs>";
        for (uint32_t i = 1; i < depth; ++i) text += "</YOBM_DIMS_devs>";
        text += "</YOBM_DIMS>";
        CRecord* tree = nullptr;
        uint32_t line = 7;
        const char* reason = CDimInstruments::ReadLayout(text, tree, line);
        if (depth <= CDimInstruments::kMaxElementDepth) {
            EXPECT_EQ(reason, nullptr) << depth;
            EXPECT_NE(tree, nullptr) << depth;
        } else {
            ASSERT_NE(reason, nullptr);
            EXPECT_NE(std::string(reason).find("nest too deeply"), std::string::npos);
            EXPECT_EQ(tree, nullptr);
            EXPECT_EQ(line, 0u);
        }
        CRecord::Delete(tree);
    }
}

// A "lastfile" that is missing, damaged or unreadable is reported once, naming the file; the
// layout starts empty and the setting stays for the next start.
TEST(DimFiles, ADamagedLastFileStartsEmptyAndKeepsTheSetting) {
    enum Kind { kMissing, kDamaged, kNoPermission, kFolder };
    const struct {
        const char* what;
        Kind kind;
        const char* reason;
    } cases[] = {
        {"missing", kMissing, "does not exist"},
        {"damaged", kDamaged, "(line"},
        {"no read permission", kNoPermission, "cannot be read"},
        // Unreadable for root too.
        {"a folder in its place", kFolder, "cannot be read"},
    };
    for (const auto& c : cases) {
        if (c.kind == kNoPermission && geteuid() == 0) {
            std::printf("skipped \"%s\": root reads a file of mode 000\n", c.what);
            continue;
        }
        dimdoc::Fixture f;
        const std::string path = f.dir.File("last.obdim");
        if (c.kind == kDamaged || c.kind == kNoPermission)
            f.dir.Write("last.obdim", "<YOBM_DIMS dvsn=\"3\"><YOBM_DIMS_devs>");
        if (c.kind == kNoPermission) {
            ASSERT_EQ(chmod(path.c_str(), 0), 0);
        }
        if (c.kind == kFolder) {
            ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
        }
        CDimInstruments& doc = f.Make(path);
        EXPECT_EQ(f.DeviceCount(), 0u) << c.what;
        EXPECT_EQ(f.Root()->GetUInt(T::kDimsDivision), 32u) << c.what;
        EXPECT_EQ(doc.LastFile(), path) << c.what;
        EXPECT_FALSE(doc.IsDirty()) << c.what;
        ASSERT_EQ(Current().messages.size(), 1u) << c.what;
        EXPECT_NE(Current().messages[0].find("\"" + path + "\""), std::string::npos) << Current().messages[0];
        EXPECT_NE(Current().messages[0].find(c.reason), std::string::npos) << Current().messages[0];
        f.doc.reset();
        EXPECT_STREQ(UDimPrefs::GetLastFile(f.Settings()).CStr(), path.c_str()) << c.what;
        if (c.kind == kNoPermission) (void)chmod(path.c_str(), 0644);
    }
}

TEST(DimFiles, DifferingEmbeddedDefinitionsAreNamedAndTheLibraryWins) {
    dimdoc::Fixture f;
    CDimInstruments& doc = f.Make();
    f.AddDefinition("Strip-RGB-8", 4, 1);  // the library's differs from the layout's (8 x 1)
    f.AddDefinition("Pixel-RGB", 1, 1);    // the same
    ASSERT_TRUE(doc.Load(kLayout));
    ASSERT_EQ(Current().messages.size(), 1u);
    EXPECT_NE(Current().messages[0].find("\"Strip-RGB-8\""), std::string::npos) << Current().messages[0];
    EXPECT_EQ(Current().messages[0].find("Pixel-RGB\""), std::string::npos) << Current().messages[0];
    EXPECT_EQ(doc.Defs().Find("Strip-RGB-8")->GetUInt(T::kDidfColumns), 4u);
}

TEST(DimFiles, RefusedEmbeddedDefinitionsLeaveTheirDevicesWithout) {
    dimdoc::Fixture f;
    f.dir.Write("bad.obdim",
                "<?xml version=\"1.0\"?>\n<YOBM_DIMS><YOBM_DIMS_devs><YOBM_DIDV dfid=\"Big\"/></YOBM_DIMS_devs>"
                "<YOBM_DIMS_defs><YOBM_DIDF dfid=\"Big\" dthz=\"171\"/><YOBM_DIDF dfid=\"Zero\" dtvt=\"0\"/>"
                "</YOBM_DIMS_defs></YOBM_DIMS>\n");
    CDimInstruments& doc = f.Make(f.dir.File("bad.obdim"));
    EXPECT_EQ(f.DeviceCount(), 1u);
    EXPECT_EQ(doc.Defs().Find("Big"), nullptr);
    EXPECT_EQ(doc.Defs().Find("Zero"), nullptr);
}

// ---- dirty flag

TEST(DimDirty, EveryEditOfASavedPartEnablesSave) {
    dimdoc::Fixture f;
    CDimInstruments& doc = f.Make(kLayout);
    CRecord* uvas = f.Root()->GetSubRecord(T::kDimsUniverses);
    const struct {
        const char* what;
        std::function<void()> edit;
    } edits[] = {
        {"move a device", [&] { (void)f.Device(1).SetFloat(&doc, T::kDidvPosX, 0.5f); }},
        {"dot gap", [&] { (void)doc.DoCommand(LString("cDimGap1")); }},
        {"protocol", [&] { (void)doc.DoCommand(LString("cDimArtNet")); }},
        {"soft", [&] { (void)doc.DoCommand(LString("cDimSoft")); }},
        {"universe row",
         [&] {
             CRecordRef row(&(*uvas->GetRecordArray(CUvAdTypes::kUvasList))[0]);
             (void)row.SetUInt(&doc, CUvAdTypes::kUvadFollowing, 7);
         }},
        {"device parameter",
         [&] {
             CRecordRef params(&f.Device(0)->Slot(T::kDidvParams).record);
             CParamSet::SetString(params, &doc, LString("anuniv"), LString("9"));
         }},
        {"undo", [&] { (void)doc.DoCommand(LString("LStdCmd_Undo")); }},
    };
    for (const auto& e : edits) {
        doc.Dims().SetModified(false);
        e.edit();
        EXPECT_TRUE(doc.IsDirty()) << e.what;
    }
    // Run-time fields do not.
    doc.Dims().SetModified(false);
    (void)f.Device(0).SetByte(nullptr, T::kDidvSelected, 1);
    (void)doc.DoCommand(LString("cDimLyo"));
    doc.SetAspect(640, 480);
    doc.UpdateCanvas();
    EXPECT_FALSE(doc.IsDirty());
}

TEST(DimDirty, QuittingAsksUntilSaved) {
    dimdoc::Fixture f;
    CDimInstruments& doc = f.Make();
    EXPECT_TRUE(doc.AskToSave(2));
    EXPECT_EQ(Current().askedSaveChanges, 0u);
    f.AddDevice("X", 0, 0, 0.1f, 0.1f);
    Current().saveChanges.push_back(SDimDialogs::kCancel);
    EXPECT_FALSE(doc.AskToSave(2));
    Current().saveChanges.push_back(SDimDialogs::kDiscard);
    EXPECT_TRUE(doc.AskToSave(2));
    // Save runs Save As; cancelling that keeps the application.
    Current().saveChanges.push_back(SDimDialogs::kSave);
    EXPECT_FALSE(doc.AskToSave(2));
    Current().saveChanges.push_back(SDimDialogs::kSave);
    Current().savePaths.push_back(f.dir.File("q.obdim"));
    EXPECT_TRUE(doc.AskToSave(2));
    EXPECT_EQ(Current().askedSaveChanges, 4u);
    EXPECT_TRUE(doc.AskToSave(2));
    EXPECT_EQ(Current().askedSaveChanges, 4u);
}

TEST(DimDirty, OpenAsksFirstAndACancelledPanelDoesNothing) {
    dimdoc::Fixture f;
    CDimInstruments& doc = f.Make();
    f.AddDevice("X", 0, 0, 0.1f, 0.1f);
    ASSERT_TRUE(doc.DoCommand(LString("LStdCmd_Open")));  // save changes: cancel
    EXPECT_EQ(Current().askedOpenPath, 0u);
    Current().saveChanges.push_back(SDimDialogs::kDiscard);
    ASSERT_TRUE(doc.DoCommand(LString("LStdCmd_Open")));  // panel cancelled
    EXPECT_EQ(Current().askedOpenPath, 1u);
    EXPECT_EQ(f.DeviceCount(), 1u);
    Current().saveChanges.push_back(SDimDialogs::kDiscard);
    Current().openPaths.push_back(kLayout);
    ASSERT_TRUE(doc.DoCommand(LString("LStdCmd_Open")));
    EXPECT_EQ(f.DeviceCount(), 5u);
    EXPECT_FALSE(doc.IsDirty());
    EXPECT_FALSE(doc.Undo().CanUndo());
}

// ---- commands

struct Bar {
    LMenuBar bar{nullptr};
    LMenu* menu;
    static constexpr const char* kCommands[] = {
        "LStdCmd_Open",   "LStdCmd_Save", "LStdCmd_SaveAs", "cDimArr",        "cDimArrMeanW", "cDimArrEvenW",
        "cDimArrAlgnL",   "cDimArrAlgnR", "cDimArrMeanH",   "cDimArrEvenH",   "cDimArrAlgnT", "cDimArrAlgnB",
        "cDimAlign",      "cDimAlDot",    "cDimAlGrp",      "cDimAlSqr",      "cDimAsn",      "cDimLyo",
        "cDimSortCh",     "cDimShowDotBnd", "cDimAutoDiv",  "cDimLyoDiv",     "cDimDevAdd",   "cDimDefEdit",
        "cDimSoft",       "cDimStretch",  "cDimGap0",       "cDimGap1",       "cDimGap2",     "cDimUvAd",
        "cDimArtNet",     "cDimSACN",     "cDimDmxSig",
    };
    Bar() {
        menu = new LMenu(&bar, LString("Dimmer"));
        bar.AppendMenu(menu);
        for (const char* c : kCommands) {
            auto* item = new LMenuItem(menu);
            item->SetCommand(c);
            item->SetTexts(LString(c));
            menu->AppendItem(item);
        }
    }
    // "+" enabled, "*" enabled and checked, per command in order.
    std::string Ready(CDimInstruments& doc) {
        bar.ResetItemStates();
        doc.MenuReady(&bar);
        std::string s;
        for (LMenuItem* i = menu->FirstItem(); i; i = menu->NextItem(i))
            if (i->IsEnabled()) s += std::string(i->GetFirstCommand().CStr()) + (i->IsMarked() ? "* " : " ");
        return s;
    }
};

TEST(DimCommands, ReadinessAndChecks) {
    dimdoc::Fixture f;
    CDimInstruments& doc = f.Make();
    Bar bar;
    const std::string always =
        "cDimAsn* cDimLyo cDimShowDotBnd cDimAutoDiv cDimDevAdd cDimSoft cDimStretch cDimGap0* cDimGap1 cDimGap2 "
        "cDimArtNet* cDimSACN cDimDmxSig ";
    EXPECT_EQ(bar.Ready(doc), "LStdCmd_Open LStdCmd_SaveAs " + always);

    CRecordRef a = f.AddDevice("X", 0, 0, 0.1f, 0.1f);
    EXPECT_EQ(bar.Ready(doc), "LStdCmd_Open LStdCmd_Save LStdCmd_SaveAs " + always);
    (void)a.SetByte(nullptr, T::kDidvSelected, 1);
    CRecordRef b = f.AddDevice("X", 0, 0, 0.1f, 0.1f);
    doc.Dims().SetModified(false);
    EXPECT_EQ(bar.Ready(doc),
              "LStdCmd_Open LStdCmd_SaveAs cDimAlign cDimAlDot cDimAlGrp cDimAlSqr cDimAsn* cDimLyo cDimSortCh "
              "cDimShowDotBnd cDimAutoDiv cDimDevAdd cDimSoft cDimStretch cDimGap0* cDimGap1 cDimGap2 "
              "cDimArtNet* cDimSACN cDimDmxSig ");
    (void)b.SetByte(nullptr, T::kDidvSelected, 1);
    for (const char* c : {"cDimLyo", "cDimShowDotBnd", "cDimAutoDiv", "cDimLyoDiv", "cDimSoft", "cDimStretch",
                          "cDimGap2", "cDimSACN"})
        ASSERT_TRUE(doc.DoCommand(LString(c))) << c;
    EXPECT_EQ(bar.Ready(doc),
              "LStdCmd_Open LStdCmd_Save LStdCmd_SaveAs cDimArr cDimArrMeanW cDimArrEvenW cDimArrAlgnL "
              "cDimArrAlgnR cDimArrMeanH cDimArrEvenH cDimArrAlgnT cDimArrAlgnB cDimAlign cDimAlDot cDimAlGrp "
              "cDimAlSqr cDimAsn cDimLyo* cDimSortCh cDimShowDotBnd* cDimAutoDiv* cDimLyoDiv* cDimDevAdd "
              "cDimSoft* cDimStretch* cDimGap0 cDimGap1 cDimGap2* cDimArtNet cDimSACN* cDimDmxSig ");
    // View mode, auto division, soft, stretch, gap and protocol leave no undo entry.
    EXPECT_FALSE(doc.Undo().CanUndo());
    EXPECT_FALSE(doc.DoCommand(LString("cSomethingElse")));
}

TEST(DimCommands, SelectionThroughTheMenuReachesTheDocument) {
    dimdoc::Fixture f;
    CDimInstruments& doc = f.Make();
    Bar bar;
    (void)bar.Ready(doc);
    LMenuItem* item = nullptr;
    for (LMenuItem* i = bar.menu->FirstItem(); i; i = bar.menu->NextItem(i))
        if (i->HasCommand("cDimGap1")) item = i;
    ASSERT_NE(item, nullptr);
    LHandler::Dispatch(LMessage(LMenuItem_Selected, item, &doc));
    EXPECT_EQ(f.Root()->GetByte(T::kDimsDotGap), 1);
}

// The universe-address window as the document makes and drives it.
struct FakeUvAd : IDimUvAdWindow {
    static inline SDimUvAdArgs made;
    static inline uint32_t makes = 0;
    static inline std::vector<bool> sacn;  // every SetSacn
    static inline bool visible = false;
    static inline uint32_t selects = 0;
    LHandler handler;
    LHandler* Handler() override { return &handler; }
    void Show() override { visible = true; }
    void Hide() override { visible = false; }
    bool IsVisible() const override { return visible; }
    void Select() override { ++selects; }
    CLRect Frame() const override { return {}; }
    void SetFrame(const CLRect&) override {}
    void SetTitle(const LString&) override {}
    void SetSacn(bool on) override { sacn.push_back(on); }
    static std::unique_ptr<IDimUvAdWindow> Make(const SDimUvAdArgs& args) {
        made = args;
        ++makes;
        return std::make_unique<FakeUvAd>();
    }
};

TEST(DimCommands, TheUniverseWindowIsMadeOnceAndFollowsTheProtocol) {
    FakeUvAd::makes = 0;
    FakeUvAd::sacn.clear();
    FakeUvAd::visible = false;
    FakeUvAd::selects = 0;
    SDimWindowFactories factories;
    factories.universeAddresses = &FakeUvAd::Make;
    SetDimWindowFactories(&factories);
    {
        dimdoc::Fixture f;
        CDimInstruments& doc = f.Make();
        Bar bar;
        EXPECT_NE(bar.Ready(doc).find("cDimUvAd "), std::string::npos);
        // sACN is on before the window exists: it is made in sACN columns.
        ASSERT_TRUE(doc.DoCommand(LString("cDimSACN")));
        EXPECT_EQ(doc.UniverseWindow(), nullptr);
        EXPECT_TRUE(FakeUvAd::sacn.empty());
        Bar menu;
        (void)menu.Ready(doc);
        LMenuItem* item = nullptr;
        for (LMenuItem* i = menu.menu->FirstItem(); i; i = menu.menu->NextItem(i))
            if (i->HasCommand("cDimUvAd")) item = i;
        ASSERT_NE(item, nullptr);
        LHandler::Dispatch(LMessage(LMenuItem_Selected, item, &doc));
        ASSERT_NE(doc.UniverseWindow(), nullptr);
        EXPECT_EQ(FakeUvAd::makes, 1u);
        EXPECT_TRUE(FakeUvAd::made.sacn);
        EXPECT_EQ(FakeUvAd::made.upper, &doc);
        EXPECT_EQ(FakeUvAd::made.dims, &doc.Dims());
        EXPECT_EQ(FakeUvAd::made.uvas, f.Root()->GetSubRecord(T::kDimsUniverses));
        EXPECT_EQ(FakeUvAd::made.settings.Get(), UDimPrefs::UniverseAddressSet(f.Settings()));
        EXPECT_TRUE(FakeUvAd::visible);
        EXPECT_EQ(FakeUvAd::selects, 1u);
        EXPECT_EQ(FakeUvAd::sacn, (std::vector<bool>{true}));

        // Each change of 'saco' switches the columns, by command, by undo-less set or by a load.
        ASSERT_TRUE(doc.DoCommand(LString("cDimArtNet")));
        ASSERT_TRUE(doc.DoCommand(LString("cDimSACN")));
        (void)doc.Dims().RootRef().SetByte(nullptr, T::kDimsSacn, 0);
        EXPECT_EQ(FakeUvAd::sacn, (std::vector<bool>{true, false, true, false}));
        f.dir.Write("sacn.obdim", "<?xml version=\"1.0\"?>\n<YOBM_DIMS saco=\"1\"/>\n");
        ASSERT_TRUE(doc.Load(f.dir.File("sacn.obdim")));
        EXPECT_EQ(FakeUvAd::sacn.back(), true);

        // Hidden and asked for again: the same window comes forward.
        FakeUvAd::visible = false;
        ASSERT_TRUE(doc.DoCommand(LString("cDimUvAd")));
        EXPECT_EQ(FakeUvAd::makes, 1u);
        EXPECT_TRUE(FakeUvAd::visible);
        EXPECT_EQ(FakeUvAd::selects, 2u);
    }
    SetDimWindowFactories(nullptr);
}

TEST(DimCommands, SignalDialogPutsTheOldValuesBackUnlessOk) {
    dimdoc::Fixture f;
    CDimInstruments& doc = f.Make();
    ASSERT_TRUE(doc.DoCommand(LString("cDimDmxSig")));
    EXPECT_EQ(Current().signalRuns, 1u);
    EXPECT_EQ(UDimPrefs::GetDmxTiming(f.Settings()).breakTime, 84);
    Current().signalOk = true;
    ASSERT_TRUE(doc.DoCommand(LString("cDimDmxSig")));
    EXPECT_EQ(UDimPrefs::GetDmxTiming(f.Settings()).breakTime, 200);
}

TEST(DimCommands, AddDevicesKeepsItsValuesAndSelectsTheNewDevices) {
    dimdoc::Fixture f;
    CDimInstruments& doc = f.Make();
    f.AddDefinition("Big", 1, 1);
    CRecordRef old = f.AddDevice("X", 0, 0, 0.1f, 0.1f);
    (void)old.SetByte(nullptr, T::kDidvSelected, 1);
    doc.Undo().Clear();
    UDimArrange::AddValues v;
    v.name = LString("Big");
    v.across = 3;
    v.down = 1;
    Current().adds.push_back(v);
    ASSERT_TRUE(doc.DoCommand(LString("cDimDevAdd")));
    ASSERT_EQ(f.DeviceCount(), 4u);
    EXPECT_EQ(f.Device(0)->GetByte(T::kDidvSelected), 0);
    for (uint32_t i = 1; i < 4; ++i) EXPECT_EQ(f.Device(i)->GetByte(T::kDidvSelected), 1);
    EXPECT_STREQ(CDimInstruments::AddValues().name.CStr(), "Big");
    EXPECT_EQ(CDimInstruments::AddValues().across, 3u);
    ASSERT_TRUE(doc.DoCommand(LString("LStdCmd_Undo")));
    EXPECT_EQ(f.DeviceCount(), 1u);
    EXPECT_FALSE(doc.Undo().CanUndo());
    CDimInstruments::AddValues() = UDimArrange::AddValues();
}

TEST(DimFilesPeer, SavedLayoutsPassXmllint) {
    dimdoc::Fixture f;
    CDimInstruments& doc = f.Make(kLayout);
    (void)f.Device(0).SetFloat(&doc, T::kDidvPosX, 0.125f);
    ASSERT_TRUE(doc.Save(f.dir.File("lint.obdim")));
    EXPECT_EQ(testsupport::CommandOutput("xmllint --noout " + f.dir.File("lint.obdim") + " 2>&1; echo $?"), "0\n");
}

}  // namespace
