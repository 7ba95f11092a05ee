#pragma once

#include <cstdint>
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

    explicit CDimDefLibrary(CDimDefStore* store, std::string documentsFolder = {});

    CDimDefStore* Store() const { return mStore; }
    void SetStore(CDimDefStore* store) { mStore = store; }
    // Documents/ObDimInstruments (Documents from the standard folders unless given).
    std::string UserFolder() const;
    // The file of the named definition in the user folder (the folder is made when create is set);
    // empty for a name that is no plain file name ("", ".", "..", a '/', a NUL byte,
    // more than 255 bytes) or when the folder cannot be made.
    std::string DefinitionPath(std::string_view name, bool create) const;
    static bool IsSafeName(std::string_view name);

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
};
