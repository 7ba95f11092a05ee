#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"

// A kind of document file: the extension and the classic type and creator codes. The default kind
// (flag 1, no extension) stands for "any"; one made from codes and an extension has flag 0.
struct LFileKind {
    LFileKind() = default;
    LFileKind(uint32_t type, uint32_t creatorCode, const LString& ext)
        : flag(0), extension(ext), fileType(type), creator(creatorCode) {}

    uint8_t flag = 1;
    LString extension;
    uint32_t fileType = 0;
    uint32_t creator = 0;
};
