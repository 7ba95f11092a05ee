#include "Pelvane/CQcTexAcs.h"

CQcTexAcs::CQcTexAcs(plat::PlugInGLContext* context, plat::PlugInImageSource* image)
    : fContext(context), fImage(image) {
    plat::PlugInTextureInfo info;
    if (!fImage || !fImage->LockTexture(info)) return;
    if (info.name == 0 || !fImage->BindTexture(fContext, 0, true)) {
        fImage->UnlockTexture();
        return;
    }
    fName = info.name;
    fTarget = info.target;
    fFlipped = info.flipped;
}

CQcTexAcs::~CQcTexAcs() {
    if (!fName) return;
    fImage->UnbindTexture(fContext, 0);
    fImage->UnlockTexture();
}
