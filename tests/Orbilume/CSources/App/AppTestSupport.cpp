#include "tests/Orbilume/CSources/App/AppTestSupport.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/App/DocDialogs.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Platform/Foundation/Bundle.h"
#include "tests/support/GLFixture.h"

namespace apptest {

namespace {

uint32_t AskSaveChanges(LPane*, const LString&) {
    ++Dialogs().saveChangesAsked;
    return Dialogs().saveChangesAnswer;
}

bool AskSavePath(LPane*, const LFsSpec&, LFsSpec& chosen) {
    ++Dialogs().savePathAsked;
    if (!Dialogs().savePathAnswer) return false;
    chosen = CMacFileU::LFsSpecFromPath(Dialogs().savePath.c_str());
    return true;
}

bool AskOpenPath(const LFsSpec&, LFsSpec&) {
    return false;
}

void ShowMessage(LPane*, const LString& text) {
    Dialogs().messages.push_back(text.CStr());
}

const SDocDialogs kScripted{&AskSaveChanges, &AskSavePath, &AskOpenPath, &ShowMessage};

}  // namespace

Script& Dialogs() {
    static Script script;
    return script;
}

AppFixture::AppFixture()
    : homeVar("HOME", home.Path().c_str()),
      config("XDG_CONFIG_HOME", home.File("config").c_str()),
      data("XDG_DATA_HOME", nullptr),
      docs("XDG_DOCUMENTS_DIR", nullptr),
      midi("ORBILUME_MIDI", "virtual") {
    testsupport::UseSoftwareGL();
    const std::string binary = ORBILUME_BINARY;  // <bundle>/bin/orbilume
    plat::SetMainBundlePathForTesting(binary.substr(0, binary.rfind("/bin/")));
    for (const char* f : {"show.obm", "fill.qtz", "tint.qtz", "picture.qtz", "source.qtz", "wave.qtz"})
        shows.Write(f, ReadFile(std::string(FIXTURES_DIR) + "/" + f));
    Dialogs() = Script{};
    SetDocDialogs(&kScripted);
}

AppFixture::~AppFixture() {
    Delete();
    SetDocDialogs(nullptr);
    plat::SetMainBundlePathForTesting("");
}

void AppFixture::Create() {
    CreateAppGlobals();
}

void AppFixture::Delete() {
    DeleteAppGlobals();
}

void AppFixture::Command(LHandler* target, const char* command) {
    LMenuBar bar(nullptr);
    auto* menu = new LMenu(&bar, LString("Test"));
    bar.AppendMenu(menu);
    auto* item = new LMenuItem(menu);
    item->SetCommand(command);
    menu->AppendItem(item);
    LHandler::Dispatch(LMessage(LMenuItem_Selected, item, target));
}

std::vector<std::pair<bool, bool>> AppFixture::MenuStates(LHandler* target,
                                                          const std::vector<const char*>& commands) {
    LMenuBar bar(nullptr);
    auto* menu = new LMenu(&bar, LString("Test"));
    bar.AppendMenu(menu);
    std::vector<LMenuItem*> items;
    for (const char* c : commands) {
        auto* item = new LMenuItem(menu);
        item->SetCommand(c);
        menu->AppendItem(item);
        items.push_back(item);
    }
    (void)target->Handle(LMessage(LMenuBar_Ready, &bar, target));
    std::vector<std::pair<bool, bool>> out;
    for (LMenuItem* item : items) out.emplace_back(item->IsEnabled(), item->IsMarked());
    return out;
}

std::string AppFixture::ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

uint64_t AppFixture::Inode(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::vector<std::string> AppFixture::Listing(const std::string& folder) {
    std::vector<std::string> out;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.' || (e->d_name[1] && e->d_name[1] != '.' && e->d_name[1] != 0))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") out.push_back(e->d_name);
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace apptest
