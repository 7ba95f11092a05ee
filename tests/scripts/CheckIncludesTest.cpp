#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/CommandOutput.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

const std::string kSource = ORBILUME_SOURCE_DIR;

// Runs scripts/check-includes on a tree; answers its output followed by "exit N".
std::string CheckIncludes(const std::string& root) {
    return testsupport::CommandOutput("python3 '" + kSource + "/scripts/check-includes' '" + root +
                                      "' 2>&1; echo \"exit $?\"");
}

// A copy of the product folders and the edge list, in which each case adds one file.
class CheckIncludesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        copy = new testsupport::TempDir;
        for (const char* top : {"Platform", "Lib3", "Common", "Orbilume"})
            fs::copy(kSource + "/" + top, copy->File(top), fs::copy_options::recursive);
        fs::create_directories(copy->File("scripts"));
        fs::copy(kSource + "/scripts/include-edges", copy->File("scripts/include-edges"));
    }
    static void TearDownTestSuite() {
        delete copy;
        copy = nullptr;
    }
    // Adds the files (and their folders), runs the check, and takes the files away again.
    static std::string CheckWith(const std::vector<std::pair<std::string, std::string>>& files) {
        for (const auto& [path, text] : files) {
            fs::create_directories(fs::path(copy->File(path)).parent_path());
            copy->Write(path, text);
        }
        std::string out = CheckIncludes(copy->Path());
        for (const auto& [path, text] : files) fs::remove(copy->File(path));
        return out;
    }
    static std::string Include(const char* path) { return std::string("#include \"") + path + "\"\n"; }

    static testsupport::TempDir* copy;
};

testsupport::TempDir* CheckIncludesTest::copy = nullptr;

TEST_F(CheckIncludesTest, TheTreeKeepsTheRules) {
    std::string out = CheckIncludes(kSource);
    EXPECT_NE(out.find("exit 0"), std::string::npos) << out;
    out = CheckIncludes(copy->Path());
    EXPECT_NE(out.find("exit 0"), std::string::npos) << out;
}

TEST_F(CheckIncludesTest, AWrongIncludeFailsTheCheck) {
    std::string out = CheckWith({{"Platform/Foundation/Wrong.h", Include("Platform/AppKit/Window.h")}});
    EXPECT_NE(out.find("Platform/Foundation/Wrong.h:1: includes \"Platform/AppKit/Window.h\""),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("exit 1"), std::string::npos) << out;
}

TEST_F(CheckIncludesTest, EachRuleNamesTheIncludeThatBreaksIt) {
    struct Case {
        const char* file;
        const char* include;
        const char* rule;
    } cases[] = {
        {"Platform/Foundation/Wrong.h", "Platform/AppKit/Window.h", "Platform/Foundation includes only"},
        {"Platform/Graphics/Wrong.cpp", "Platform/GL/GLContext.h", "Platform/Graphics includes only"},
        {"Platform/Video/Wrong.cpp", "Platform/Composer/Value.h", "Platform/Video includes only"},
        {"Platform/GL/Wrong.cpp", "Lib3/LSources/CoreData/LHandler.h", "Platform/ includes nothing above it"},
        {"Platform/Nowhere/Wrong.cpp", "Platform/Foundation/RunLoop.h", "Platform/Nowhere has no level"},
        {"Platform/AppKit/x11/Wrong.cpp", "Platform/AppKit/headless/HeadlessBackend.h",
         "backend x11 includes the sibling backend headless"},
        {"Common/Container/Wrong.cpp", "Orbilume/CSources/CMainApp.h", "the framework (Lib3/, Common/)"},
        {"Lib3/LSources/CoreData/Wrong.cpp", "Common/ObjC/CMacWindowMgr.h",
         "new framework edge Lib3/LSources/CoreData -> Common/ObjC"},
        {"Common/Memory/Wrong.cpp", "../../Orbilume/CSources/CMainApp.h", "the framework (Lib3/, Common/)"},
        {"Lib3/LSources/CoreUI/Wrong.cpp", "tests/support/TempDir.h", "product code never includes tests/"},
        {"Orbilume/CSources/Wrong.cpp", "Pelvane/Fluid.h", "Orbilume/ includes only"},
        {"Pelvane/Wrong.cpp", "Lib3/LSources/CoreData/LHandler.h", "Pelvane/ includes only its own files"},
        {"Melquor/Wrong.cpp", "Platform/Composer/Composition.h", "Melquor/ includes only its own files"},
        {"Dunmire/Wrong.cpp", "Specific/NDI5/Ndi.h", "Dunmire/ includes only its own files"},
        {"Specific/NDI5/Wrong.cpp", "Common/Posix/CMutex.h", "Specific/ includes only its own files"},
    };
    std::vector<std::pair<std::string, std::string>> files;
    for (const Case& c : cases) files.emplace_back(c.file, Include(c.include));
    std::string out = CheckWith(files);
    EXPECT_NE(out.find("exit 1"), std::string::npos) << out;
    std::istringstream lines(out);
    std::map<std::string, std::string> faults;  // file -> its line of output
    for (std::string line; std::getline(lines, line);)
        if (size_t colon = line.find(":1: includes"); colon != std::string::npos)
            faults[line.substr(0, colon)] = line;
    for (const Case& c : cases) {
        ASSERT_TRUE(faults.count(c.file)) << c.file << "\n" << out;
        EXPECT_NE(faults[c.file].find(std::string("\"") + c.include + "\""), std::string::npos)
            << faults[c.file];
        EXPECT_NE(faults[c.file].find(c.rule), std::string::npos) << faults[c.file];
    }
    EXPECT_EQ(faults.size(), std::size(cases)) << out;
}

TEST_F(CheckIncludesTest, BundlesSeeThePlugInInterfaceTheirOwnFilesAndTheirSharedCode) {
    std::string out = CheckWith({
        {"Pelvane/Fluid.cpp", Include("Platform/Composer/PlugInInterface.h") + Include("Pelvane/Fluid.h") +
                                  Include("Specific/Graph/CFD/Solver.h") + "#include <epoxy/gl.h>\n"},
        {"NDIPlugIn/Send.cpp", Include("NDIPlugIn/Send.h") + Include("Specific/NDI5/Ndi.h")},
        {"Specific/Graph/CFD/Solver.cpp", Include("Specific/Graph/CFD/Solver.h")},
        {"Orbilume/CSources/Engine/CMixEngine.cpp",
         Include("Common/ObjC/CMacWindowMgr.h") + Include("Platform/Composer/Composition.h")},
    });
    EXPECT_NE(out.find("exit 0"), std::string::npos) << out;
}

}  // namespace
