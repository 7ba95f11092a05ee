#pragma once

#include <cstdint>
#include <string>

// File-system references and file URLs.
namespace plat {

// A reference to an existing item: its device and node numbers and the absolute path it was made
// from. A final symbolic link is referred to itself, not followed. All zero and no path when the
// item does not exist.
struct FileRef {
    uint64_t device = 0;
    uint64_t node = 0;
    bool folder = false;
    std::string path;

    bool IsValid() const { return node != 0; }
};

// The reference of the item at an absolute path.
FileRef FileRefFromPath(const std::string& path);

// The reference's path while that path still names the same item; empty otherwise.
std::string PathOfFileRef(const FileRef& ref);

// An absolute URL. File URLs are "file://" and the percent-encoded POSIX path.
class URL {
public:
    URL() = default;
    // Takes the text as it stands.
    explicit URL(std::string text) : fText(std::move(text)) {}

    // The file URL of an absolute path; a folder's ends in "/". Empty for a relative path.
    static URL FileURLWithPath(const std::string& path, bool folder = false);

    const std::string& String() const { return fText; }
    bool IsEmpty() const { return fText.empty(); }
    bool IsFileURL() const;
    // The decoded POSIX path of a file URL (the authority empty or "localhost"); empty for other
    // URLs, bad escapes and NUL bytes, raw or escaped. A folder's trailing "/" (or several) is dropped.
    std::string Path() const;

private:
    std::string fText;
};

}  // namespace plat
