#include "Pelvane/CExtTex_QC.h"

#include <epoxy/gl.h>

bool CExtTex_QC::Lock(plat::PlugInTextureInfo& info) {
    plat::PlugInGLContext* previous = fCall.CurrentContext();
    plat::PlugInGLContext* own = fCall.GLContext();
    if (previous != own && !fCall.MakeCurrent(own)) return false;
    const bool locked = fImage->LockTexture(info);
    if (previous != own) (void)fCall.MakeCurrent(previous);
    return locked;
}

bool CExtTex_QC::Bind(plat::PlugInGLContext* context) {
    if (!fImage || fName) return false;
    plat::PlugInTextureInfo info;
    if (!Lock(info)) return false;
    if (info.name == 0 || !fImage->BindTexture(context, 0, true)) {
        fImage->UnlockTexture();
        return false;
    }
    fName = info.name;
    fTarget = info.target;
    const float w = float(info.width), h = float(info.height);
    if (w > 0 && h > 0 && fAspect > 0) {
        GLint mode = 0, active = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
        glActiveTexture(GL_TEXTURE0);
        glMatrixMode(GL_TEXTURE);
        const float fitted = h * fAspect;
        if (fitted <= w) {
            glTranslatef(0, -(w / fitted - 1) / 2, 0);
            glScalef(1, w / fitted, 1);
        } else {
            glTranslatef(-(fitted / w - 1) / 2, 0, 0);
            glScalef(fitted / w, 1, 1);
        }
        glMatrixMode(GLenum(mode));
        glActiveTexture(GLenum(active));
    }
    return true;
}

void CExtTex_QC::Unbind(plat::PlugInGLContext* context) {
    if (!fName) return;
    fImage->UnbindTexture(context, 0);
    fImage->UnlockTexture();
    fName = 0;
}
