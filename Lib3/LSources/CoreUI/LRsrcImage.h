#pragma once

#include <cstddef>
#include <cstdint>

#include "Lib3/LSources/CoreData/URsrc.h"
#include "Lib3/LSources/CoreUI/LImage.h"
#include "Platform/Graphics/BitmapImage.h"

// A picture decoded from the bytes of a 'TPNG' resource. Drawn upright unless the no-flip flag
// asks for the image mirrored vertically (the raw orientation of a bottom-up context).
class LRsrcImage : public LImage, public LRsrcObject {
public:
    // Loads the 'TPNG' resource through the provider (the global chain when null); the image is
    // invalid when the resource is missing or does not decode.
    explicit LRsrcImage(const SRsrcRequest& request, ResourceProvider* provider = nullptr);
    // Decodes PNG bytes directly.
    LRsrcImage(const uint8_t* png, size_t size);
    ~LRsrcImage() override;

    CRgn ComputeShape(const CLRect& rect) override;
    bool IsValid() const override { return fNative != nullptr; }
    bool IsOpaque() const override { return true; }
    LImageSize GetSize() const override { return {fWidth, fHeight}; }
    uint32_t GetNativeImage(plat::BitmapImage*& out) const override;
    void Draw(LDrawContext& ctx, const CLRect& rect) override;

    void SetNoFlip(bool noFlip) { fNoFlip = noFlip; }

    // The provider chain hands the resource file here; the bytes are decoded and let go.
    bool Load(int32_t fileRef, const SRsrcRequest& request) override;

private:
    [[nodiscard]] bool Decode(const uint8_t* png, size_t size);

    int32_t fWidth = 0;
    int32_t fHeight = 0;
    plat::Ref<plat::BitmapImage> fNative;
    bool fNoFlip = false;
};
