#pragma once

#include <cstdlib>
#include <string>

namespace testsupport {

// Sets (or with null, unsets) an environment variable for the life of the object.
class EnvOverride {
public:
    EnvOverride(const char* name, const char* value) : fName(name) {
        const char* old = std::getenv(name);
        fHad = old != nullptr;
        if (old) fOld = old;
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~EnvOverride() {
        if (fHad) {
            setenv(fName.c_str(), fOld.c_str(), 1);
        } else {
            unsetenv(fName.c_str());
        }
    }

private:
    std::string fName;
    std::string fOld;
    bool fHad;
};

}  // namespace testsupport
