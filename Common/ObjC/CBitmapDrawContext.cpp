#include "Common/ObjC/CBitmapDrawContext.h"

#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Platform/Graphics/BitmapContext.h"
#include "Platform/Graphics/PixelFormat.h"

namespace {

LPanePort PortOf(const LOffscreenH& buffer) {
    LPanePort port;
    if (LOffscreen* b = buffer.Get()) port.clip = CRgn(CLRect{0, 0, b->Width(), b->Height()});
    return port;
}

plat::DrawContext* LockOf(const LOffscreenH& buffer) {
    LOffscreen* b = buffer.Get();
    return b ? b->Lock() : nullptr;
}

}  // namespace

CBitmapDrawContext::CBitmapDrawContext(const LOffscreenH& buffer)
    : LDrawContext(PortOf(buffer), LockOf(buffer)), fBuffer(buffer) {
    LOffscreen* b = fBuffer.Get();
    plat::BitmapContext* bitmap = b ? b->Bitmap() : nullptr;
    if (!bitmap) return;
    fBitmap = true;
    fBitsPerPixel = plat::BitsPerPixel(bitmap->Format());
    fBounds = {0, 0, b->Width(), b->Height()};
}

CBitmapDrawContext::~CBitmapDrawContext() {
    LOffscreen* b = fBuffer.Get();
    if (!b) return;
    if (plat::BitmapContext* bitmap = b->Bitmap()) bitmap->Flush();
    b->Unlock();
}
