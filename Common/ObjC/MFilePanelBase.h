#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CEmbeddedFrame;
class MFilePanelBase;
namespace plat {
class Window;
}

// One item of a listed folder.
struct MFileEntry {
    std::string name;    // the bytes of the name
    std::string shown;   // the name as UTF-8, bytes that are not UTF-8 as U+FFFD
    bool exists = true;  // false for a link whose target is gone or that loops
    bool folder = false;
    bool package = false;  // a folder with a registered package extension
};

// Decides which items a panel lists.
class MFilePanelDelegate {
public:
    virtual ~MFilePanelDelegate() = default;
    // The item at the path; `known` is what the listing found out (null: the delegate looks).
    virtual bool ShouldShowEntry(const MFilePanelBase& panel, const std::string& path,
                                 const MFileEntry* known) = 0;
};

// The settings and the answer of an open or save panel, and the listing that every panel shows: dot
// files hidden, each item decided by the delegate (else by the allowed types), folders first, each
// group in the default collation. The real panel is MFilePanel; tests install scripted ones through
// CFileDialog's factory. Main thread only.
class MFilePanelBase {
public:
    enum Kind : uint8_t { kOpenPanel, kSavePanel };
    enum : int32_t { kCancelButton = 0, kOKButton = 1 };
    // Longest name a save panel takes, in bytes.
    static constexpr size_t kMaxNameBytes = 255;

    explicit MFilePanelBase(Kind kind) : mKind(kind) {}
    virtual ~MFilePanelBase() = default;
    MFilePanelBase(const MFilePanelBase&) = delete;
    MFilePanelBase& operator=(const MFilePanelBase&) = delete;

    Kind PanelKind() const { return mKind; }
    const std::string& Message() const { return mMessage; }
    void SetMessage(const std::string& message) { mMessage = message; }
    bool TreatsFilePackagesAsDirectories() const { return mTreatPackages; }
    void SetTreatsFilePackagesAsDirectories(bool on) { mTreatPackages = on; }
    bool CanChooseFiles() const { return mChooseFiles; }
    void SetCanChooseFiles(bool on) { mChooseFiles = on; }
    bool CanChooseDirectories() const { return mChooseFolders; }
    void SetCanChooseDirectories(bool on) { mChooseFolders = on; }
    // Extensions without the dot; empty allows every file. A change lists the folder again at once.
    const std::vector<std::string>& AllowedFileTypes() const { return mAllowed; }
    void SetAllowedFileTypes(const std::vector<std::string>& types);
    // Not owned; null for none.
    CEmbeddedFrame* AccessoryView() const { return mAccessory; }
    virtual void SetAccessoryView(CEmbeddedFrame* view) { mAccessory = view; }
    MFilePanelDelegate* Delegate() const { return mDelegate; }
    void SetDelegate(MFilePanelDelegate* delegate) { mDelegate = delegate; }

    // Runs the panel in the folder (the nearest existing one) offering the name: kOKButton or
    // kCancelButton.
    virtual int32_t RunModal(const std::string& folder, const std::string& name) = 0;
    // The window that hosts the accessory view, null when the panel has none.
    virtual plat::Window* HostWindow() const { return nullptr; }
    // The chosen path after kOKButton (its bytes as the file system has them).
    const std::string& ChosenPath() const { return mChosen; }

    // The entries of a folder the panel shows (an unreadable folder lists empty).
    std::vector<MFileEntry> List(const std::string& folder) const;
    // Whether the panel shows an item (the delegate's word, else folders and the allowed files).
    bool Shows(const std::string& path, const MFileEntry& entry) const;
    // True when the file's extension is allowed (or every file is).
    bool Allows(const std::string& name) const;

    // A name a save panel takes: not empty, ".", ".."; no "/" or NUL; at most kMaxNameBytes.
    static bool IsValidSaveName(const std::string& name);
    // The path itself when it is an existing folder, else its nearest existing parent; "/" at worst.
    static std::string NearestExistingFolder(const std::string& path);
    // The folder and the name joined.
    static std::string Join(const std::string& folder, const std::string& name);
    // The text after the last "." of the last segment, empty when none.
    static std::string ExtensionOf(const std::string& name);

protected:
    virtual void AllowedTypesChanged() {}
    void SetChosenPath(const std::string& path) { mChosen = path; }

private:
    Kind mKind;
    std::string mMessage;
    bool mTreatPackages = false;
    bool mChooseFiles = true;
    bool mChooseFolders = false;
    std::vector<std::string> mAllowed;
    CEmbeddedFrame* mAccessory = nullptr;
    MFilePanelDelegate* mDelegate = nullptr;
    std::string mChosen;
};
