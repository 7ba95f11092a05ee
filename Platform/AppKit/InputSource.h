#pragma once

#include <string>
#include <vector>

#include "Platform/Foundation/Object.h"

namespace plat {

// A keyboard input source. On Linux the stand-in has two (the user's current one and an
// ASCII-capable one) and selecting only records the choice: the keyboard layout stays the X
// server's. Tests read the record. Main thread only.
class InputSource : public Object {
public:
    static Ref<InputSource> CopyCurrentKeyboard();
    static Ref<InputSource> CopyCurrentASCIICapableKeyboard();

    const std::string& Identifier() const { return fId; }
    bool IsASCIICapable() const { return fAscii; }
    // Makes this the current source; false when it cannot be selected.
    [[nodiscard]] bool Select();

    // The identifiers selected so far, oldest first (tests).
    static const std::vector<std::string>& Selections();
    static void ResetForTesting();

private:
    InputSource(std::string id, bool ascii) : fId(std::move(id)), fAscii(ascii) {}
    std::string fId;
    bool fAscii;
};

}  // namespace plat
