#include "Common/OpenGL/COpenGLCheckDialog.h"

#include <cstdio>
#include <string>

#include "Common/OpenGL/COpenGLRequirement.h"

int COpenGLCheckDialog::Check(LHandler*, COpenGLContext_Cca& context, const COpenGLRequirement& requirement,
                              COpenGLShortfall* shortfall) {
    COpenGLShortfall found;
    COpenGLShortfall* record = shortfall ? shortfall : &found;
    if (requirement.Test(context, record)) return kMet;
    // Until the dialog exists the shortfall goes to standard error, so it never passes silently.
    const LString text = ShortfallText(requirement, *record, "OpenGL version ", "GLSL version ");
    std::fprintf(stderr, "orbilume: the OpenGL implementation falls short; carrying on without:\n%s",
                 text.CStr());
    return kContinue;
}

LString COpenGLCheckDialog::ShortfallText(const COpenGLRequirement& requirement,
                                          const COpenGLShortfall& shortfall, const char* glPrefix,
                                          const char* glslPrefix) {
    std::string text;
    if (shortfall.glVersionLow)
        text.append(glPrefix ? glPrefix : "").append(requirement.glVersion).push_back('\n');
    if (shortfall.glslVersionLow)
        text.append(glslPrefix ? glslPrefix : "").append(requirement.glslVersion).push_back('\n');
    for (const char* name : shortfall.missing) text.append(name).push_back('\n');
    return LString(text.data(), static_cast<uint32_t>(text.size()));
}
