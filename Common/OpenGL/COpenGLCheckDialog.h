#pragma once

#include "Lib3/LSources/CoreString/LString.h"

class COpenGLContext_Cca;
class COpenGLRequirement;
struct COpenGLShortfall;
class LHandler;

// The start-up check of the GL implementation. The dialog that lets the operator continue or quit
// needs the dialog framework; until it exists a shortfall is printed to standard error and answered
// as "continue".
class COpenGLCheckDialog {
public:
    enum { kQuit = 0, kContinue = 1, kMet = 2 };

    // 2 when the requirement is met; otherwise the operator's answer: 1 continue, 0 quit. The
    // shortfall, when asked for, tells what was found missing.
    static int Check(LHandler* upper, COpenGLContext_Cca& context, const COpenGLRequirement& requirement,
                     COpenGLShortfall* shortfall = nullptr);

    // The lines the dialog lists, each ending in "\n": the GL version line, the shading-language
    // line (each a prefix and the required version) and one line per missing extension.
    static LString ShortfallText(const COpenGLRequirement& requirement, const COpenGLShortfall& shortfall,
                                 const char* glPrefix, const char* glslPrefix);
};
