#include "Common/OpenGL/COpenGLCheckDialog.h"

#include <epoxy/gl.h>

#include <cstdio>
#include <string>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/LEditText.h"
#include "Common/OpenGL/COpenGLRequirement.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LImagePane.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LRsrcImage.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/String/UWord.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr const char* kName = "COPENGLCHECKDIALOG";
enum : uint32_t {
    kTitle = 0,
    kFirstTitle = 1,
    kSecondTitle = 2,
    kInformation = 3,
    kGLPrefix = 4,
    kGLSLPrefix = 5
};
constexpr int32_t kDialogWindowKind = 8;

std::string GLText(GLenum name) {
    const char* text = reinterpret_cast<const char*>(glGetString(name));
    return text ? text : "";
}

}  // namespace

COpenGLCheckDialog::COpenGLCheckDialog(LHandler* upper)
    : LModalDialog(upper, nullptr,
                   LFrameSpec(LFrameSpec::kModal, CMacWindowKindH(new CMacWinKind(kDialogWindowKind)))) {
    PLAT_DCHECK_MAIN_THREAD();
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    // Children in layout order: 1 continue, 2 quit, 3 image, 4 information, 5 the list.
    fFirst = new LStdButton(this, LStdCtlSpec());
    fSecond = new LStdButton(this, LStdCtlSpec());
    fImage = new LImagePane(this);
    fInfo = new LTextPane(this, LTextBox::kWrapped);
    fList = new LEditText(this, LEditText::kMultiLine, 0);

    SetWindowTitle(strings.GetString(kTitle));
    fFirst->SetTitle(strings.GetString(kFirstTitle));
    fSecond->SetTitle(strings.GetString(kSecondTitle));
    SetDefaultButton(fFirst);
    SetCancelButton(fSecond);
    fImage->SetImage(LImageH(new LRsrcImage(SRsrcRequest("APP"))));
    fList->SetLocked(true);
}

COpenGLCheckDialog::~COpenGLCheckDialog() {
    fTimer.Stop();
}

CLPoint COpenGLCheckDialog::MousePosition() {
    const LMouse* mouse = LMouse::Get();
    return mouse ? mouse->Location() : CLPoint{};
}

void COpenGLCheckDialog::StartIdleTimer() {
    fMouse = MousePosition();
    fTimer.StartOnce(kIdleMs, 0);
}

LMessage COpenGLCheckDialog::Handle(const LMessage& msg) {
    if (msg.Is(LMouse_Cursor)) {
        const CLPoint now = MousePosition();
        if (now != fMouse) {
            fMouse = now;
            fTimer.StartOnce(kIdleMs, 0);
        }
        return LModalDialog::Handle(msg);
    }
    if (msg.Is(LTimer_Expire) && msg.sender == &fTimer) {
        SetResult(kContinue);
        return LMessage();
    }
    return LModalDialog::Handle(msg);
}

int COpenGLCheckDialog::Check(LHandler* upper, COpenGLContext_Cca& context,
                              const COpenGLRequirement& requirement, COpenGLShortfall* shortfall) {
    COpenGLShortfall found;
    COpenGLShortfall* record = shortfall ? shortfall : &found;
    if (requirement.Test(context, record)) return kMet;
    if (!upper) {
        // Nobody to ask: the shortfall goes to standard error, so it never passes silently.
        const LString text = ShortfallText(requirement, *record, "OpenGL version ", "GLSL version ");
        std::fprintf(stderr, "orbilume: the OpenGL implementation falls short; carrying on without:\n%s",
                     text.CStr());
        return kContinue;
    }

    COpenGLCheckDialog dialog(upper);
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    std::string words[4];
    {
        COpenGLScope_Cca scope(context);
        words[0] = GLText(GL_VENDOR);
        words[1] = GLText(GL_RENDERER);
        words[2] = GLText(GL_VERSION);
        words[3] = GLText(GL_SHADING_LANGUAGE_VERSION);
    }
    const unsigned char* texts[4];
    for (int i = 0; i < 4; ++i) texts[i] = reinterpret_cast<const unsigned char*>(words[i].c_str());
    const LString info = strings.GetString(kInformation);
    dialog.fText.Append(
        UWord::Substitute(reinterpret_cast<const unsigned char*>(info.CStr()), texts, 4).CStr());
    dialog.fInfo->SetText(LString(dialog.fText));

    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) dialog.SetLayout(layout, kDescriptionMode);
    dialog.FitWindowToLayout();
    dialog.StartIdleTimer();

    const LString glPrefix = strings.GetString(kGLPrefix);
    const LString glslPrefix = strings.GetString(kGLSLPrefix);
    dialog.fList->SetText(ShortfallText(requirement, *record, glPrefix.CStr(), glslPrefix.CStr()));

    return dialog.RunUntilResult() == kContinue ? kContinue : kQuit;
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
