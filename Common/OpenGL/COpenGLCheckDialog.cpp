#include "Common/OpenGL/COpenGLCheckDialog.h"

#include <string>

#include "Common/OpenGL/COpenGLRequirement.h"

int COpenGLCheckDialog::Check(LHandler*, COpenGLContext_Cca& context, const COpenGLRequirement& requirement,
                              COpenGLShortfall* shortfall) {
    COpenGLShortfall found;
    if (requirement.Test(context, shortfall ? shortfall : &found)) return kMet;
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
