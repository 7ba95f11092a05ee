#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class CDimDefStore;
class LMenu;

// Where the user's fixture definitions live ("ObDimInstruments" inside Documents) and the only
// way to turn a definition name into a file path there. Main thread only.
class CDimDefLibrary {
public:
    static constexpr const char* kFolderName = "ObDimInstruments";
    static constexpr const char* kCommand = "cDimDefSel";
    static constexpr size_t kMaxNameBytes = 255;

    static constexpr const char* kMenuName = "DIMDEFSEL";
    static constexpr const char* kUserMenuName = "DIMDEFUSER";

    explicit CDimDefLibrary(CDimDefStore* store, std::string documentsFolder = {});
    ~CDimDefLibrary();
    CDimDefLibrary(const CDimDefLibrary&) = delete;
    CDimDefLibrary& operator=(const CDimDefLibrary&) = delete;

    CDimDefStore* Store() const { return mStore; }
    void SetStore(CDimDefStore* store) { mStore = store; }
    // Documents/ObDimInstruments (Documents from the standard folders unless given).
    std::string UserFolder() const;
    // The file of the named definition in the user folder (the folder is made when create is set);
    // empty for a name that is no plain file name ("", ".", "..", a '/', a NUL byte,
    // more than 255 bytes) or when the folder cannot be made.
    std::string DefinitionPath(std::string_view name, bool create) const;
    static bool IsSafeName(std::string_view name);
    // The built-in definitions ("diminst" in the bundle's shared support unless set).
    std::string BuiltInFolder() const;
    void SetBuiltInFolder(std::string folder) { mBuiltIn = std::move(folder); }

    // The definitions menu ('TMNU' "DIMDEFSEL"), built on first use: the built-in folder's items
    // (recursively), and in its "DIMDEFUSER" submenu the user folder's items followed by one item
    // per embedded definition; every item bound to "cDimDefSel". Owned by the library.
    LMenu* GetMenu();
    // Forgets the menu: the next GetMenu builds it again (after a definition file was written or
    // deleted, and when the store gains or loses a definition).
    void DropMenu();
    bool HasMenu() const { return mMenu != nullptr; }

    // Appends an item per entry of the folder (titled with its name, bound to the command), in
    // byte order of the names; hidden entries are skipped and links to folders never entered. With
    // recurse a folder's item gets a submenu scanned the same way. Depth and entries are bounded as
    // in the store's folder walk. Answers the number of entries seen.
    static uint32_t ScanFolder(const std::string& folder, LMenu* menu, const char* command, bool recurse);

    // 0 removed, 1 refused (not empty, or not a folder), 2 missing.
    static int RemoveFolder(const std::string& path);

private:
    CDimDefStore* mStore;
    std::string mDocuments;
    std::string mBuiltIn;
    std::unique_ptr<LMenu> mMenu;
};
