#pragma once

#include <cstdint>

#include "Common/OpenGL/COpenGLTexture.h"
#include "Common/OpenGL/CRefH.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Models/CColladaElement.h"

class CColladaDoc;

// The object of a "surface" element: a 2D or cube texture made from its images on the common
// context. Equal surfaces of one document (same image ids and size) share one texture: the first
// one built is returned for the others, owned by its own element.
class CColladaSurface : public CColladaElement {
public:
    static constexpr Kind kKind = kSurface;
    Kind kind() const override { return kKind; }
    enum Type : uint32_t { kUntyped = 0, k1D, k2D, k3D, kCube, kDepth, kRect };

    // The attached surface, an equal one of the document, or a new one whose texture was made; null
    // otherwise (nothing attached, no texture left).
    static CColladaSurface* Build(CColladaDoc& doc, CXmlElement* element);

    COpenGLTexture* texture() const { return fTexture.Get(); }
    uint32_t type() const { return fType; }
    const LString& ref(uint32_t i) const { return fRefs[i]; }
    int32_t width() const { return fWidth; }
    int32_t height() const { return fHeight; }
    bool renderTarget() const { return fRenderTarget; }

private:
    bool SameAs(const CColladaSurface& other) const;
    bool MakeTexture(CColladaDoc& doc, bool withImage);

    LString fRefs[6];
    int32_t fWidth = 0, fHeight = 0, fDepth = 0;
    uint32_t fType = kUntyped;
    CRefH<COpenGLTexture> fTexture;
    bool fRenderTarget = false;
};
