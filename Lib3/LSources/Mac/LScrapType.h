#pragma once

#include <cstdint>
#include <string>

#include "Lib3/LSources/CoreString/LString.h"

// The type of one scrap item: a name and a four-character code.
struct LScrapType {
    LString name;
    uint32_t code = 0;

    // The pasteboard type: the name, else the text of the code (leading blanks dropped, to a NUL).
    std::string PasteboardType() const;
};
