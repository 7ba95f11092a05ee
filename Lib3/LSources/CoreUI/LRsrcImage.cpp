#include "Lib3/LSources/CoreUI/LRsrcImage.h"

#include <utility>

#include "Lib3/LSources/CoreData/SFieldDesc.h"
#include "Lib3/LSources/CoreUI/CLRectConvert.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/PNGDecoder.h"
#include "Platform/Resources/ResourceFile.h"

namespace {
constexpr uint32_t kTypePng = Fcc("TPNG");
}

LRsrcImage::LRsrcImage(const SRsrcRequest& request, ResourceProvider* provider) {
    URsrc::Fetch(*this, request, provider);
}

LRsrcImage::LRsrcImage(const uint8_t* png, size_t size) {
    (void)Decode(png, size);  // bad data leaves the image empty
}

bool LRsrcImage::Decode(const uint8_t* png, size_t size) {
    plat::Ref<plat::BitmapImage> image = plat::PNGDecoder::Decode(png, size);
    if (!image) return false;
    fNative = std::move(image);
    fWidth = fNative->Width();
    fHeight = fNative->Height();
    return true;
}

bool LRsrcImage::Load(int32_t fileRef, const SRsrcRequest& request) {
    plat::ResourceHandle* handle = URsrc::Get1Resource(fileRef, kTypePng, request);
    if (!handle) return false;
    bool decoded = Decode(handle->Bytes(), handle->Size());
    handle->Release();  // the picture keeps its own pixels
    return decoded;
}

LRsrcImage::~LRsrcImage() = default;

CRgn LRsrcImage::ComputeShape(const CLRect& rect) {
    // The whole picture, scaled to the rectangle.
    CLRect own{0, 0, fWidth, fHeight};
    CRgn shape(own);
    shape.Map(own, rect);
    return shape;
}

uint32_t LRsrcImage::GetNativeImage(plat::BitmapImage*& out) const {
    out = fNative.get();
    return fNative ? kNativeKind : 0;
}

void LRsrcImage::Draw(LDrawContext& ctx, const CLRect& rect) {
    if (!fNative) return;
    LClipScope clip(ctx, GetShape(rect));
    ctx.ApplyPending();
    plat::DrawContext* n = ctx.Native();
    if (!n) return;
    plat::GStateScope state(*n);
    if (fNoFlip) {
        n->TranslateCTM(0, 2.0 * rect.top + (int64_t{rect.bottom} - rect.top));
        n->ScaleCTM(1, -1);
    }
    n->DrawImage(ToPlatRect(rect), fNative.get());
}
