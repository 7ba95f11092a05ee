#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Foundation/Object.h"

namespace plat {

class Pasteboard;

// Who declared a pasteboard's types. Data of a declared type that was not set is promised: the
// owner is asked for it (ProvideData, which calls SetData) when a reader first wants it. The owner
// is told once when the pasteboard is cleared or another declaration takes it over.
class PasteboardOwner {
public:
    virtual ~PasteboardOwner() = default;
    virtual void ProvideData(Pasteboard* /*pasteboard*/, const std::string& /*type*/) {}
    virtual void PasteboardChangedOwner(Pasteboard* /*pasteboard*/) {}
};

// After every change of a pasteboard's types or data (the backend mirrors the general and selection
// pasteboards to the window system's clipboard and primary selection).
using PasteboardHook = void (*)(Pasteboard* pasteboard, void* context);

// One element of an array held for a type: data, or (from other programs) a string.
struct PasteboardElement {
    enum class Kind : uint8_t { kData, kString };
    Kind kind = Kind::kData;
    std::vector<uint8_t> bytes;
};

// A named store of typed data shared by writer and reader: the general pasteboard (Cut, Copy,
// Paste), the drag pasteboard (the data of the drag that runs) and the selection pasteboard (the
// window system's primary selection). A type holds bytes, a string (UTF-8 bytes) or an array of
// elements. Main thread only.
class Pasteboard : public Object {
public:
    static constexpr const char* kTypeData = "public.data";
    static constexpr const char* kTypeString = "public.utf8-plain-text";
    static constexpr const char* kTypeFileURL = "public.file-url";
    static constexpr const char* kTypeURL = "public.url";
    static constexpr const char* kTypeFileNames = "NSFilenamesPboardType";

    static Pasteboard* General();
    static Pasteboard* Drag();
    static Pasteboard* Selection();
    // A pasteboard of its own (a drag from another program); owned reference.
    static Ref<Pasteboard> CreateUnique();

    const std::string& Name() const { return fName; }

    // Replaces the contents by the types, without data, owned by the owner (may be null). The
    // former owner is told. Answers the new change count.
    int64_t DeclareTypes(const std::vector<std::string>& types, PasteboardOwner* owner);
    // Empties the pasteboard (no types, no owner); answers the new change count.
    int64_t ClearContents();
    // Appends the types not yet held (promised by the owner, who becomes the pasteboard's owner
    // when it has none). Answers the change count.
    int64_t AddTypes(const std::vector<std::string>& types, PasteboardOwner* owner);
    int64_t ChangeCount() const { return fChangeCount; }
    PasteboardOwner* Owner() const { return fOwner; }
    // The owner goes away: it is neither asked nor told any more; its promised data stays missing.
    void ForgetOwner(PasteboardOwner* owner);

    // Setting adds the type when it is not held yet. False for an empty type.
    bool SetData(std::string_view type, const void* bytes, size_t size);
    // The same, taking the bytes without a copy.
    bool SetData(std::string_view type, std::vector<uint8_t>&& bytes);
    bool SetString(std::string_view type, std::string_view text);
    bool SetString(std::string_view text) { return SetString(kTypeString, text); }
    bool SetArray(std::string_view type, std::vector<PasteboardElement> elements);
    // Byte strings as data elements.
    bool SetDataArray(std::string_view type, const std::vector<std::vector<uint8_t>>& items);
    // File URLs of absolute paths (kTypeFileURL, an array of URL strings) and the file-names list
    // (kTypeFileNames, an array of paths). False when a path is not absolute.
    bool SetFileURLs(const std::vector<std::string>& paths);

    // Types held, in declaration order.
    std::vector<std::string> Types() const;
    bool HasType(std::string_view type) const;
    // The first of the candidates the pasteboard holds; empty when none.
    std::string AvailableType(const std::vector<std::string>& candidates) const;
    // The bytes of a type holding bytes or a string (promised data is asked for first). False for
    // a missing type, a promise not kept, or an array.
    bool DataForType(std::string_view type, std::vector<uint8_t>* out);
    bool StringForType(std::string_view type, std::string* out);
    // The elements of a type holding an array; false otherwise.
    bool ArrayForType(std::string_view type, std::vector<PasteboardElement>* out);
    // The URL strings of the file-URL type (an array, or one URL as data), else the file-names
    // list turned into URLs; false when neither is held.
    bool FileURLs(std::vector<std::string>* urls);
    // The file-names list: paths, from the list or from file URLs that decode to paths.
    bool FileNames(std::vector<std::string>* paths);

    void SetChangeHook(PasteboardHook hook, void* context) {
        fHook = hook;
        fHookContext = context;
    }

    // Type <-> four-character code, in place of the system's type registry: a small table of known
    // types; otherwise a code's text (leading blanks dropped, to the first NUL) names the code.
    // 0 / empty when there is none.
    static uint32_t CodeForType(std::string_view type);
    static std::string TypeForCode(uint32_t code);

private:
    struct Entry {
        std::string type;
        enum class Form : uint8_t { kPromised, kBytes, kArray } form = Form::kPromised;
        std::vector<uint8_t> bytes;
        std::vector<PasteboardElement> elements;
    };

    explicit Pasteboard(std::string name);
    ~Pasteboard() override;

    static Entry MakeEntry(std::string_view type);
    Entry* Find(std::string_view type);
    const Entry* Find(std::string_view type) const;
    Entry* Slot(std::string_view type);
    // The entry with its promise kept when its owner can; null when missing.
    Entry* Resolve(std::string_view type);
    void TellOwnerGone();
    void Changed();

    std::string fName;
    std::vector<Entry> fEntries;
    PasteboardOwner* fOwner = nullptr;
    int64_t fChangeCount = 0;
    PasteboardHook fHook = nullptr;
    void* fHookContext = nullptr;
    uint32_t fProviding = 0;
};

}  // namespace plat
