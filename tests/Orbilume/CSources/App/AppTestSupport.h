#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/Fs/LFsSpec.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/TempDir.h"

class CObDoc;

namespace apptest {

// What the scripted dialogs were asked and how they answer.
struct Script {
    uint32_t saveChangesAnswer = 0;  // SDocDialogs::kCancel
    bool savePathAnswer = false;
    std::string savePath;  // chosen when answering
    std::vector<std::string> messages;
    uint32_t saveChangesAsked = 0;
    uint32_t savePathAsked = 0;
};
Script& Dialogs();

// The application's globals on the headless backend with llvmpipe, a private home (Documents and
// the preferences inside it) and scripted dialogs; the fixture show and its compositions copied
// into a folder of its own.
class AppFixture {
public:
    AppFixture();
    ~AppFixture();

    void Create();  // CreateAppGlobals
    void Delete();  // DeleteAppGlobals
    std::string ShowPath() const { return shows.File("show.obm"); }
    // Sends the command to the handler (as the menu does).
    static void Command(LHandler* target, const char* command);
    // The enabled and marked state of each command after "LMenuBar_Ready" reached the handler.
    static std::vector<std::pair<bool, bool>> MenuStates(LHandler* target, const std::vector<const char*>& commands);
    static std::string ReadFile(const std::string& path);
    static uint64_t Inode(const std::string& path);
    static std::vector<std::string> Listing(const std::string& folder);

    testsupport::TempDir home;
    testsupport::TempDir shows;
    testsupport::EnvOverride homeVar;
    testsupport::EnvOverride config;
    testsupport::EnvOverride data;
    testsupport::EnvOverride docs;
    testsupport::EnvOverride midi;
    testsupport::HeadlessScreens screens;
};

}  // namespace apptest
