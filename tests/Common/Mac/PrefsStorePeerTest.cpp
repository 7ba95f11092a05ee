#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "Common/Mac/PrefsStore.h"
#include "tests/Common/Mac/PrefsTestSupport.h"

namespace {

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

using PrefsStorePeerTest = PrefsFixture;

// The file is an ordinary property list: Python reads what the store wrote, and the store reads
// what Python changed.
TEST_F(PrefsStorePeerTest, PythonPlistlibReadsAndEditsTheFile) {
    const uint8_t bytes[] = {0, 0xFF, 0x10};
    {
        PrefsStore store(LString("peer.app"), PrefsStore::kWritable);
        PrefsSection s(&store, "window");
        s.SetString("title", LString("Ünïcode & <markup>"));
        s.SetData("blob", bytes, 3);
    }
    const std::string file = FileOf("peer.app");
    const std::string script =
        "import plistlib,sys\n"
        "p=sys.argv[1]\n"
        "d=plistlib.load(open(p,'rb'))\n"
        "w=d['prefs']['window']\n"
        "print(w['title']+'|'+w['blob'].hex())\n"
        "w['title']='edited'\n"
        "d['prefs']['new']={'k':'v'}\n"
        "plistlib.dump(d,open(p,'wb'),fmt=plistlib.FMT_BINARY)\n";
    dir.Write("check.py", script);
    EXPECT_EQ(RunShell("/usr/bin/python3 " + dir.File("check.py") + " " + file),
              "Ünïcode & <markup>|00ff10\n");

    plat::Preferences::Reset();
    PrefsStore store(LString("peer.app"), PrefsStore::kReadOnly);
    LString title, value;
    EXPECT_TRUE(PrefsSection(&store, "window").GetString("title", title));
    EXPECT_TRUE(PrefsSection(&store, "new").GetString("k", value));
    EXPECT_STREQ(title.CStr(), "edited");
    EXPECT_STREQ(value.CStr(), "v");
}

}  // namespace
