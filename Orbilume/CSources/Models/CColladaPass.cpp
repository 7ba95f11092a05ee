#include "Orbilume/CSources/Models/CColladaPass.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <string>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLProgram.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/Stream/CBomTextStream.h"
#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/CColladaDrawState.h"
#include "Orbilume/CSources/Models/CColladaNewParam.h"
#include "Orbilume/CSources/Models/CColladaRenderState.h"
#include "Orbilume/CSources/Models/CColladaSurface.h"
#include "Orbilume/CSources/Models/UColladaNumbers.h"
#include "Orbilume/CSources/Models/UColladaXml.h"
#include "Platform/Foundation/FileIO.h"

namespace {

using T = CColladaValueType;

CColladaNewParam* NewParamAt(CColladaDoc& doc, CXmlElement* found) {
    return UColladaXml::NameIs(found, "newparam") ? CColladaNewParam::Build(doc, found) : nullptr;
}

// The text of the file an include names: a regular file of at most the limit, read without a
// byte-order mark. False when it cannot be resolved or read.
bool ReadInclude(const CColladaDoc& doc, const LString& url, LString& text) {
    LFsSpec spec;
    if (!doc.ResolveFile(url, spec)) return false;
    LString path = CMacFileU::PathFromLFsSpec(spec);
    if (path.IsEmpty()) return false;
    std::string bytes;
    if (plat::ReadWholeFile(std::string(path.CStr(), path.Length()), CColladaPass::kMaxIncludeBytes, bytes) !=
        plat::ReadFileResult::kOk)
        return false;
    CMemStream memory(bytes.data(), static_cast<uint32_t>(bytes.size()));
    CBomTextStream in(memory);
    std::string out;
    out.reserve(bytes.size());
    unsigned char chunk[4096];
    while (uint32_t n = in.Get(chunk, sizeof chunk)) out.append(reinterpret_cast<const char*>(chunk), n);
    text = LString(out.data(), static_cast<uint32_t>(out.size()));
    return true;
}

}  // namespace

CColladaPass::CColladaPass() = default;

CColladaPass::~CColladaPass() = default;

bool CColladaPass::linked() const {
    return fProgram && fProgram->linked();
}

uint32_t CColladaPass::program() const {
    return fProgram ? fProgram->program() : 0;
}

CColladaPass* CColladaPass::Build(CColladaDoc& doc, CXmlElement* element) {
    if (!UColladaXml::NameIs(element, "pass")) return nullptr;
    if (element->Attached()) return AttachedAs<CColladaPass>(element);
    auto* pass = new CColladaPass;
    element->Attach(pass);
    pass->Fill(doc);
    return pass;
}

void CColladaPass::Fill(CColladaDoc& doc) {
    CXmlElement* self = element();
    for (CXmlElement* c = UColladaXml::FirstChild(self); c; c = UColladaXml::Next(c)) {
        const LString name = UColladaXml::Name(c);
        if (const CColladaRenderStateRow* row = CColladaRenderStateRow::Find(name)) {
            if (c->Attached()) continue;
            auto* state = new CColladaRenderState;
            c->Attach(state);
            if (!state->Read(doc, c, *row, self, self)) {
                c->Attach(nullptr);
                continue;
            }
            fMask |= row->attributeGroup;
            fStates.push_back(state);
        } else if (name == "color_target") {
            if (CColladaNewParam* p =
                    NewParamAt(doc, doc.FindSidInScope(self, self, UColladaXml::FirstToken(c))))
                fColorTarget = &p->value();
        } else if (name == "color_clear") {
            const LString text = UColladaXml::Text(c);
            uint32_t k = 0;
            UColladaNumbers::ForEachToken(text.CStr(), text.CStr() + text.Length(), 4,
                                          [&](const char* b, const char* e) {
                                              if (k < 4) fClearColor[k++] = UColladaNumbers::ToFloat(b, e);
                                          });
            fClear = true;
            fMask |= GL_COLOR_BUFFER_BIT;
        } else if (name == "shader") {
            ReadShader(doc, c);
        }
    }
    if (fVertex.IsEmpty() && fFragment.IsEmpty()) return;
    COpenGLContext_Cca* common = COpenGLCommonCtx::Use();
    if (!common) return;
    COpenGLScope_Cca scope(*common);
    fProgram = std::make_unique<COpenGLProgram>();
    fProgram->SetCode(fVertex.CStr(), fFragment.CStr());
    if (fProgram->linked()) MatchUniforms(doc);
    // Bindings without a uniform leave the list (they stay attached to their elements).
    fBinds.erase(std::remove_if(fBinds.begin(), fBinds.end(),
                                [](const CColladaShaderBind* b) { return b->fLocation < 0; }),
                 fBinds.end());
    while (glGetError() != GL_NO_ERROR) {
    }
}

void CColladaPass::ReadShader(CColladaDoc& doc, CXmlElement* shader) {
    CXmlElement* name = shader->FindChild("name");
    if (!name) return;
    CXmlElement* self = element();
    CXmlElement* found = doc.FindSidInScope(self, self, name->GetAttribute("source"));
    LString text;
    if (UColladaXml::NameIs(found, "code")) {
        text = UColladaXml::Text(found);
    } else if (UColladaXml::NameIs(found, "include")) {
        if (!ReadInclude(doc, found->GetAttribute("url"), text)) return;
    }
    const LString stage = shader->GetAttribute("stage");
    const char first = stage.IsEmpty() ? 0 : stage.CStr()[0];
    if (first == 'V') {
        if (fVertex.IsEmpty()) fVertex = text;
    } else if (first == 'F') {
        if (fFragment.IsEmpty()) fFragment = text;
    } else {
        return;
    }
    for (CXmlElement* b = UColladaXml::FindChild(shader, "bind"); b;
         b = UColladaXml::FindChild(shader, "bind", b)) {
        if (b->Attached()) continue;
        auto* bind = new CColladaShaderBind;
        b->Attach(bind);
        fBinds.push_back(bind);
    }
}

void CColladaPass::MatchUniforms(CColladaDoc& doc) {
    const GLuint program = fProgram->program();
    GLint count = 0, longest = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
    glGetProgramiv(program, GL_ACTIVE_UNIFORM_MAX_LENGTH, &longest);
    // The longest name with its terminator, as GL counts it.
    std::string buffer(static_cast<size_t>(std::max(longest, 1)) + 1, '\0');
    for (GLint u = 0; u < count; ++u) {
        GLsizei length = 0;
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program, static_cast<GLuint>(u), static_cast<GLsizei>(buffer.size()), &length,
                           &size, &type, buffer.data());
        const LString uniform(buffer.data(), static_cast<uint32_t>(std::max(length, 0)));
        for (CColladaShaderBind* b : fBinds) {
            if (b->fLocation >= 0) continue;
            CXmlElement* e = b->element();
            if (!(e->GetAttribute("symbol") == uniform)) continue;
            const GLint location = glGetUniformLocation(program, buffer.c_str());
            if (location < 0) continue;
            const CColladaValue* value = nullptr;
            if (CXmlElement* param = e->FindChild("param")) {
                const LString ref = param->GetAttribute("ref");
                if (!ref.IsEmpty())
                    if (CColladaNewParam* p = NewParamAt(doc, doc.FindSidInScope(e, nullptr, ref)))
                        value = &p->value();
            } else if (b->fOwn.ReadTypedChild(doc, UColladaXml::FirstChild(e))) {
                value = &b->fOwn;
            }
            if (!value) continue;
            b->fLocation = location;
            b->fUniformType = type;
            b->fInUse = value;
            break;
        }
    }
}

void CColladaPass::Apply(CColladaDrawState& state) {
    if (!state.context) return;
    COpenGLScope_Cca scope(*state.context);
    if (fColorTarget && fColorTarget->type() == T::kSurface) {
        CColladaSurface* surface = fColorTarget->surface();
        GLint framebuffer = 0;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
        // Only a framebuffer object takes a texture.
        if (surface && surface->texture() && surface->type() == CColladaSurface::k2D && framebuffer)
            glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT,
                                      surface->texture()->target(), surface->texture()->name(), 0);
    }
    if (fClear) {
        glClearColor(fClearColor[0], fClearColor[1], fClearColor[2], fClearColor[3]);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    for (const CColladaRenderState* s : fStates) s->Apply(*state.context);
    // A program that did not link selects none: the batch draws with fixed function.
    const bool ready = linked();
    glUseProgram(ready ? program() : 0);
    if (!ready) return;
    GLint unit = 0;
    for (const CColladaShaderBind* b : fBinds) {
        const CColladaValue* v = b->inUse();
        const GLint at = b->location();
        if (!v || at < 0) continue;
        float f[4];
        int32_t i[4];
        float m[16];
        switch (b->uniformType()) {
            case GL_FLOAT:
            case GL_FLOAT_VEC2:
            case GL_FLOAT_VEC3:
            case GL_FLOAT_VEC4:
                v->GetFloats(f, 4);
                if (b->uniformType() == GL_FLOAT) glUniform1f(at, f[0]);
                if (b->uniformType() == GL_FLOAT_VEC2) glUniform2f(at, f[0], f[1]);
                if (b->uniformType() == GL_FLOAT_VEC3) glUniform3f(at, f[0], f[1], f[2]);
                if (b->uniformType() == GL_FLOAT_VEC4) glUniform4f(at, f[0], f[1], f[2], f[3]);
                break;
            case GL_INT:
            case GL_BOOL:
                v->GetInts(i, 4);
                glUniform1i(at, i[0]);
                break;
            case GL_INT_VEC2:
            case GL_BOOL_VEC2:
                v->GetInts(i, 4);
                glUniform2i(at, i[0], i[1]);
                break;
            case GL_INT_VEC3:
            case GL_BOOL_VEC3:
                v->GetInts(i, 4);
                glUniform3i(at, i[0], i[1], i[2]);
                break;
            case GL_INT_VEC4:
            case GL_BOOL_VEC4:
                v->GetInts(i, 4);
                glUniform4i(at, i[0], i[1], i[2], i[3]);
                break;
            case GL_FLOAT_MAT2:
                v->GetMatrix(m, 2);
                glUniformMatrix2fv(at, 1, GL_FALSE, m);
                break;
            case GL_FLOAT_MAT3:
                v->GetMatrix(m, 3);
                glUniformMatrix3fv(at, 1, GL_FALSE, m);
                break;
            case GL_FLOAT_MAT4:
                v->GetMatrix(m, 4);
                glUniformMatrix4fv(at, 1, GL_FALSE, m);
                break;
            case GL_SAMPLER_2D:
            case GL_SAMPLER_CUBE: {
                const bool cube = b->uniformType() == GL_SAMPLER_CUBE;
                glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
                CColladaSurface* surface = v->surface();
                if (v->type() == (cube ? T::kSamplerCube : T::kSampler2D) && surface && surface->texture()) {
                    const GLenum target = surface->texture()->target();
                    glBindTexture(target, surface->texture()->name());
                    glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, 0);
                    EnableTextureUnit(state, static_cast<uint32_t>(unit), target);
                }
                v->ApplySamplerStates(*state.context);
                glUniform1i(at, unit);
                ++unit;
                break;
            }
            default:
                break;
        }
    }
    glActiveTexture(GL_TEXTURE0);
}
