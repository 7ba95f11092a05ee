#pragma once

#include "Common/Container/CPointerArray.h"

class COpenGLContext_Cca;

// What a test found missing: the two version bytes and the missing extension names in the
// requirement's order.
struct COpenGLShortfall {
    bool glVersionLow = false;
    bool glslVersionLow = false;
    CPointerArray<const char> missing;
};

// A minimum GL version, GLSL version and a list of extensions. Versions compare as byte strings.
class COpenGLRequirement {
public:
    const char* glVersion = "";
    const char* glslVersion = "";
    CPointerArray<const char> extensions;  // not owned

    // True when the context meets everything; otherwise fills the shortfall when one is given.
    bool Test(COpenGLContext_Cca& context, COpenGLShortfall* shortfall) const;

    // The start-up requirement of the application.
    static void MakeStartup(COpenGLRequirement& requirement);
    // Byte-wise "required sorts after reported"; a null text counts as empty.
    static bool VersionTooLow(const char* required, const char* reported);
};
