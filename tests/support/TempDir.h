#pragma once

#include <string>

namespace testsupport {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return fPath; }
    std::string File(const std::string& name) const { return fPath + "/" + name; }
    void Write(const std::string& name, const std::string& bytes) const;
    std::string Read(const std::string& name) const;

private:
    std::string fPath;
};

}  // namespace testsupport
