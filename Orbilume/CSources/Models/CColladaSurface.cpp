#include "Orbilume/CSources/Models/CColladaSurface.h"

#include <epoxy/gl.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreString/UCharIn.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/CColladaImage.h"
#include "Orbilume/CSources/Models/CColladaValue.h"
#include "Orbilume/CSources/Models/UColladaXml.h"

namespace {

constexpr const char* kTypeNames[] = {"UNTYPED", "1D", "2D", "3D", "CUBE", "DEPTH", "RECT"};
constexpr const char* kFaceNames[] = {"POSITIVE_X", "NEGATIVE_X", "POSITIVE_Y",
                                      "NEGATIVE_Y", "POSITIVE_Z", "NEGATIVE_Z"};

int32_t IndexOf(const char* const* names, uint32_t n, const LString& word) {
    for (uint32_t i = 0; i < n; ++i)
        if (word == names[i]) return static_cast<int32_t>(i);
    return -1;
}

int32_t ReadDecimal(const char* token) {
    long long v = std::strtoll(token, nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

// The "mip" attribute reads as 0 (a missing one does too).
bool MipZero(const CXmlElement* e) {
    return ReadDecimal(e->GetAttribute("mip").CStr()) == 0;
}

uint32_t NonNegative(int32_t v) {
    return v < 0 ? 0 : static_cast<uint32_t>(v);
}

}  // namespace

bool CColladaSurface::SameAs(const CColladaSurface& other) const {
    for (uint32_t i = 0; i < 6; ++i)
        if (!(fRefs[i] == other.fRefs[i])) return false;
    return fWidth == other.fWidth && fHeight == other.fHeight && fDepth == other.fDepth;
}

CColladaSurface* CColladaSurface::Build(CColladaDoc& doc, CXmlElement* element) {
    if (!UColladaXml::NameIs(element, "surface")) return nullptr;
    if (element->Attached()) return AttachedAs<CColladaSurface>(element);
    int32_t type = IndexOf(kTypeNames, 7, element->GetAttribute("type"));
    if (type < 0) return nullptr;
    auto surface = std::make_unique<CColladaSurface>();
    surface->fType = static_cast<uint32_t>(type);
    if (CXmlElement* size = element->FindChild("size")) {
        LString text = UColladaXml::Text(size);
        LStrCharIn in(text);
        LVariStr<32> token;
        int32_t* dims[] = {&surface->fWidth, &surface->fHeight, &surface->fDepth};
        for (int32_t* d : dims) {
            token.Reset();
            if (!UCharIn::Read(in, token)) break;
            *d = ReadDecimal(token.CStr());
        }
    }
    bool withImage = true;
    if (type == kCube) {
        for (CXmlElement* c = UColladaXml::FirstChild(element); c; c = UColladaXml::Next(c)) {
            if (UColladaXml::NameIs(c, "init_cube")) {
                uint32_t face = 0;
                for (CXmlElement* f = UColladaXml::FirstChild(c); f && face < 6; f = UColladaXml::Next(f))
                    if (UColladaXml::NameIs(f, "face")) surface->fRefs[face++] = f->GetAttribute("ref");
                break;
            }
            if (!UColladaXml::NameIs(c, "init_from") || !MipZero(c)) continue;
            int32_t face = IndexOf(kFaceNames, 6, c->GetAttribute("face"));
            if (face >= 0) surface->fRefs[face] = UColladaXml::FirstToken(c);
        }
    } else if (type == k2D) {
        for (CXmlElement* c = UColladaXml::FirstChild(element); c; c = UColladaXml::Next(c)) {
            if (UColladaXml::NameIs(c, "init_as_null") || UColladaXml::NameIs(c, "init_as_target")) {
                surface->fRenderTarget = UColladaXml::NameIs(c, "init_as_target");
                withImage = false;
                break;
            }
            if (UColladaXml::NameIs(c, "init_from") && MipZero(c)) {
                surface->fRefs[0] = UColladaXml::FirstToken(c);
                break;
            }
        }
    } else {
        return nullptr;
    }
    if (withImage) {
        for (CColladaSurface* s : doc.surfaces())
            if (s->SameAs(*surface)) return s;
    }
    if (!surface->MakeTexture(doc, withImage)) return nullptr;
    CColladaSurface* built = surface.release();
    doc.surfaces().push_back(built);
    element->Attach(built);
    return built;
}

bool CColladaSurface::MakeTexture(CColladaDoc& doc, bool withImage) {
    COpenGLContext_Cca& context = *COpenGLCommonCtx::Use();
    COpenGLScope_Cca scope(context);
    glPushAttrib(GL_TEXTURE_BIT);
    bool cube = fType == kCube;
    GLenum target = cube ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D;
    fTexture.HoldNew(COpenGLTexture::New(context, target, nullptr));
    bool ok = static_cast<bool>(fTexture);
    uint32_t faces = cube ? 6 : (withImage ? 1 : 0);
    for (uint32_t i = 0; ok && i < faces; ++i) {
        CColladaImage* image = CColladaImage::Build(doc, doc.FindById(fRefs[i]));
        if (!image) {
            ok = false;
            break;
        }
        glBindTexture(target, fTexture->name());
        GLenum face = cube ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + i : GL_TEXTURE_2D;
        uint32_t h = cube ? NonNegative(fWidth) : NonNegative(fHeight);
        ok = image->reader().UploadTexture(context, face, GL_RGBA, NonNegative(fWidth), h);
    }
    glPopAttrib();
    if (!ok) fTexture.Clear();
    return ok;
}
