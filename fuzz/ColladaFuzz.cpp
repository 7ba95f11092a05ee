// A COLLADA file as the media loader reads it: the element tree, the id index, then every material,
// effect (GLSL passes with their programs included), newparam and surface built on a surfaceless
// software GL context, materials and passes applied, target paths of channels resolved and samplers
// evaluated; then, in a second document, Load, animations at a few times (negative and huge ones
// too) and Renders into a 64 x 64 framebuffer object. The first call also replays assimp's Collada files in place (package
// assimp-testmodels); with libFuzzer pass their folder as a second corpus to mutate them too:
//   fuzz_Collada fuzz/corpus/Collada /usr/share/assimp/models/Collada
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include <epoxy/gl.h>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/Stream/CXmlElement.h"
#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Models/CColladaAnimation.h"
#include "Orbilume/CSources/Models/CColladaCommonEffect.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/CColladaDrawState.h"
#include "Orbilume/CSources/Models/CColladaMaterial.h"
#include "Orbilume/CSources/Models/CColladaNewParam.h"
#include "Orbilume/CSources/Models/CColladaPass.h"
#include "Orbilume/CSources/Models/CColladaSurface.h"
#include "Orbilume/CSources/Models/CColladaTargetPath.h"
#include "Orbilume/CSources/Models/CColladaTreeWalker.h"
#include "Orbilume/CSources/Models/UColladaXml.h"

namespace {

// Media times the animations are asked for.
constexpr double kTimes[] = {0.0, 0.37, -2.5, 1e9, -1e300};

COpenGLContext_Cca* Context() {
    static COpenGLContext_Cca* common = [] {
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        setenv("EGL_PLATFORM", "surfaceless", 0);
        av_log_set_level(AV_LOG_QUIET);
        COpenGLContext_Cca* c = COpenGLCommonCtx::Use();
        COpenGLContext_Cca::SetShared(c);
        return c;
    }();
    return common;
}

void BuildAll(const uint8_t* data, size_t size, const LFsSpec& spec) {
    CColladaDoc doc(spec);
    LCStrCharIn in(data, static_cast<uint32_t>(size));
    if (!doc.ReadXml(in)) return;
    doc.DropUnsupportedProfiles();
    doc.BuildIdIndex();
    std::vector<CXmlElement*> materials, profiles, newparams, surfaces, channels, passes, samplers;
    for (CColladaTreeWalker w(doc.root(), nullptr); w.Next();) {
        CXmlElement* e = w.current();
        if (UColladaXml::NameIs(e, "material")) materials.push_back(e);
        if (UColladaXml::NameIs(e, "profile_COMMON")) profiles.push_back(e);
        if (UColladaXml::NameIs(e, "newparam")) newparams.push_back(e);
        if (UColladaXml::NameIs(e, "surface")) surfaces.push_back(e);
        if (UColladaXml::NameIs(e, "channel")) channels.push_back(e);
        if (UColladaXml::NameIs(e, "pass")) passes.push_back(e);
        if (UColladaXml::NameIs(e, "sampler")) samplers.push_back(e);
    }
    CColladaDrawState state;
    state.context = Context();
    for (CXmlElement* e : materials) {
        CColladaMaterial* m = CColladaMaterial::BuildFor(doc, e);
        if (!m) continue;
        (void)m->TextureUnitOf(0);
        if (m->common()) {
            (void)m->common()->TransparencyMode(state);
            (void)m->common()->TextureUnitOfTexcoord("UV0");
        }
        COpenGLScope_Cca scope(*Context());
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        m->Apply(state);
        glPopAttrib();
    }
    for (CXmlElement* e : profiles) {
        if (e->Attached()) continue;
        auto effect = std::make_unique<CColladaCommonEffect>();
        if (effect->Read(doc, e)) (void)effect.release();
    }
    for (CXmlElement* e : newparams) (void)CColladaNewParam::Build(doc, e);
    for (CXmlElement* e : surfaces) (void)CColladaSurface::Build(doc, e);
    for (CXmlElement* e : channels) {
        SColladaTarget target;
        (void)CColladaTargetPath::Resolve(doc, e, e->GetAttribute("target"), target);
    }
    for (CXmlElement* e : passes) {
        CColladaPass* pass = CColladaPass::Build(doc, e);
        if (!pass) continue;
        COpenGLScope_Cca scope(*Context());
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        pass->Apply(state);
        glUseProgram(0);
        glPopAttrib();
    }
    for (CXmlElement* e : samplers) {
        CColladaSampler* sampler = CColladaSampler::Build(doc, e);
        if (!sampler) continue;
        float values[CColladaSampler::kMaxValues];
        for (double t : kTimes) (void)sampler->Evaluate(t, values);
    }
    COpenGLScope_Cca scope(*Context());
    while (glGetError() != GL_NO_ERROR) {
    }
}

// Loads a fresh document and renders it once into a 64 x 64 framebuffer object.
void LoadAndRender(const uint8_t* data, size_t size, const LFsSpec& spec) {
    CColladaDoc doc(spec);
    LCStrCharIn in(data, static_cast<uint32_t>(size));
    if (!doc.ReadXml(in)) return;
    doc.SetCopyBudget(100000, uint64_t{16} << 20);
    doc.Load();
    COpenGLScope_Cca scope(*Context());
    GLuint fbo = 0, rb[2] = {0, 0};
    glGenFramebuffers(1, &fbo);
    glGenRenderbuffers(2, rb);
    glBindRenderbuffer(GL_RENDERBUFFER, rb[0]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, 64, 64);
    glBindRenderbuffer(GL_RENDERBUFFER, rb[1]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, 64, 64);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb[0]);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, rb[1]);
    glViewport(0, 0, 64, 64);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    doc.Render(*Context(), 0.5);
    for (double t : kTimes) doc.Animate(t);
    if (!doc.animations().empty()) doc.Render(*Context(), -1.5);
    glFinish();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &fbo);
    glDeleteRenderbuffers(2, rb);
    while (glGetError() != GL_NO_ERROR) {
    }
}

void ReplayAssimp() {
    const std::filesystem::path dir = "/usr/share/assimp/models/Collada";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        std::string ext = entry.path().extension().string();
        if (ext != ".dae" && ext != ".DAE") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LFsSpec spec = CMacFileU::LFsSpecFromPath(entry.path().c_str());
        BuildAll(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), spec);
        LoadAndRender(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), spec);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool replayed = [] {
        ReplayAssimp();
        return true;
    }();
    (void)replayed;
    // Relative image references resolve into a folder that does not exist.
    static const LFsSpec spec = CMacFileU::LFsSpecFromPath("/nonexistent-orbilume-fuzz/model.dae");
    BuildAll(data, size, spec);
    LoadAndRender(data, size, spec);
    return 0;
}
