#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "Common/Mac/CPrefsRecord.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "tests/Common/Mac/PrefsTestSupport.h"
#include "tests/Orbilume/CSources/Document/ShowTestSupport.h"
#include "tests/support/TempDir.h"

using namespace showtest;

namespace {

bool Has(const char* program) {
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

std::string RunShell(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "popen failed";
    std::string out;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    const int status = pclose(pipe);
    return status == 0 ? out : "exit " + std::to_string(status) + ": " + out;
}

TEST(DocumentPeer, XmllintTakesTheFixtureAndAWrittenShow) {
    if (!Has("xmllint")) GTEST_SKIP() << "xmllint (libxml2-utils) is not installed";
    EXPECT_EQ(RunShell("xmllint --noout " + FixtureDir() + "/show.obm 2>&1"), "");
    UndoDocument doc;
    LHandler editor{&doc};
    CDocModelHolder h;
    BuildShow(h, &editor, FixtureDir());
    testsupport::TempDir dir;
    const std::string path = dir.File("written.obm");
    ASSERT_TRUE(h.WriteXmlFile(path.c_str()));
    EXPECT_EQ(RunShell("xmllint --noout " + path + " 2>&1"), "");
    // The root element is the document's.
    EXPECT_EQ(RunShell("xmllint --xpath 'name(/*)' " + path), "YOBM_OBMX\n");
}

class PrefsPeer : public PrefsFixture {};

TEST_F(PrefsPeer, PlistlibReadsThePreferencesWithoutRunTimeFields) {
    if (!Has("python3")) GTEST_SKIP() << "python3 is not installed";
    plat::Preferences::SetCurrentApplicationId("orbilume.peer");
    {
        CAppPrefs prefs;
        CPrefsRecord bound(&prefs, LString());
        prefs.RootRef().SetUInt(nullptr, CAppPrefs::kPrefOscPort, 9000);
        CRecord* doc = prefs.AppendDocument();
        CRecordRef(&doc).SetFileSpecField(nullptr, CAppPrefs::kDocPath,
                                          CMacFileU::LFsSpecFromPath("/srv/a b.obm"));
        doc->Slot(CAppPrefs::kDocOpenNow).u8 = 1;
    }
    const std::string script =
        "import plistlib,sys\n"
        "d=plistlib.load(open(sys.argv[1],'rb'))['prefs']['']\n"
        "def keys(v,out):\n"
        "    if isinstance(v,dict):\n"
        "        for k,x in v.items(): out.add(k); keys(x,out)\n"
        "    return out\n"
        "bad=[k for k in keys(d,set()) if k=='' or k.strip()!=k]\n"
        "docs=d['docs']\n"
        "first=docs[sorted(docs)[0]]\n"
        "print(str(d['ospt']).strip(), first['docf'], sorted(first.keys()) == sorted(set(first.keys())&set("
        "['docf','dvps','tmsc','lsop','sdps','sqop','cswp','mnwp','sqwp'])), bad)\n";
    dir.Write("check.py", script);
    EXPECT_EQ(RunShell("/usr/bin/python3 " + dir.File("check.py") + " " + FileOf("orbilume.peer") + " 2>&1"),
              "9000 /srv/a b.obm True []\n");
    plat::Preferences::SetCurrentApplicationId("orbilume");
}

}  // namespace
