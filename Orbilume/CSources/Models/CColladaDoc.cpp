#include "Orbilume/CSources/Models/CColladaDoc.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Common/File/CFileURLU.h"
#include "Common/Internet/CURL.h"
#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/Stream/CBomTextStream.h"
#include "Common/Stream/CMemStream.h"
#include "Common/Stream/CXmlDom.h"
#include "Common/Stream/CXmlElement.h"
#include "Common/Stream/CXmlReader.h"
#include "Common/Stream/CXmlTokenizer.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/FsFile/CMacForkStream.h"
#include "Orbilume/CSources/Models/CColladaAnimation.h"
#include "Orbilume/CSources/Models/CColladaCamera.h"
#include "Orbilume/CSources/Models/CColladaDrawState.h"
#include "Orbilume/CSources/Models/CColladaGeometry.h"
#include "Orbilume/CSources/Models/CColladaLight.h"
#include "Orbilume/CSources/Models/CColladaMaterial.h"
#include "Orbilume/CSources/Models/CColladaMeshBuffer.h"
#include "Orbilume/CSources/Models/CColladaNode.h"
#include "Orbilume/CSources/Models/CColladaSkin.h"
#include "Orbilume/CSources/Models/CColladaTreeWalker.h"
#include "Orbilume/CSources/Models/CColladaVisualScene.h"
#include "Orbilume/CSources/Models/UColladaNumbers.h"
#include "Orbilume/CSources/Models/UColladaXml.h"
#include "Orbilume/CSources/Models/UMat4.h"

CColladaDoc::CColladaDoc(const LFsSpec& spec) : fSpec(spec) {
    UBox3::SetEmpty(fBounds);
    UMat4::Identity(fViewMatrix);
}

CColladaMaterial* CColladaDoc::NewMaterial() {
    return new CColladaMaterial;
}

CColladaDoc::~CColladaDoc() {
    CBitTrie::Clear(fIdIndex);
    fSurfaces.clear();
    // Element objects point into the mesh buffers: the tree goes first.
    fXml.reset();
    fMeshBuffers.clear();
}

bool CColladaDoc::ReadXml(LCharIn& in) {
    CBitTrie::Clear(fIdIndex);
    fSurfaces.clear();
    fXml.reset();
    CXmlTokenizer tokenizer(in);
    LString tag = CXmlReader::NextStartTag(tokenizer);
    if (tag.IsEmpty()) return false;
    auto holder = std::make_unique<CXmlRootHolder>();
    if (!UColladaXml::SetTagName(holder->Root(), tag)) return false;
    if (CXmlDom::Build(*holder, tokenizer) != CXmlDom::kBuilt) return false;
    fXml = std::move(holder);
    return true;
}

CXmlElement* CColladaDoc::root() const {
    return fXml ? fXml->Root() : nullptr;
}

void CColladaDoc::DropUnsupportedProfiles() {
    CXmlElement* r = root();
    if (!r) return;
    // Effects hold their profiles as children: checking every element's children finds them all.
    std::vector<CXmlElement*> stack{r};
    while (!stack.empty()) {
        CXmlElement* e = stack.back();
        stack.pop_back();
        bool effect = UColladaXml::NameIs(e, "effect");
        for (CXmlElement* c = UColladaXml::FirstChild(e); c;) {
            CXmlElement* next = UColladaXml::Next(c);
            if (effect && (UColladaXml::NameIs(c, "profile_CG") || UColladaXml::NameIs(c, "profile_GLES")))
                CXmlElement::DeleteChild(e, c);
            else
                stack.push_back(c);
            c = next;
        }
    }
}

void CColladaDoc::BuildIdIndex() {
    CBitTrie::Clear(fIdIndex);
    CColladaTreeWalker walker(root(), nullptr);
    while (walker.Next()) {
        LString id = walker.current()->GetAttribute("id");
        if (id.IsEmpty()) continue;
        auto* entry = new IdEntry(id, walker.current());
        if (CBitTrieNode* old = CBitTrie::Insert(fIdIndex, entry)) {
            old->fKey = entry->fKey;
            static_cast<IdEntry*>(old)->element = entry->element;
            delete entry;
        }
    }
}

CXmlElement* CColladaDoc::FindById(const LString& id) const {
    CBitTrieNode probe(id);
    CBitTrieNode* found = CBitTrie::Find(fIdIndex, probe);
    return found ? static_cast<IdEntry*>(found)->element : nullptr;
}

CXmlElement* CColladaDoc::ResolveUrl(const LString& url) const {
    if (url.IsEmpty()) return nullptr;
    CURL u(url.Text());
    // Only references into this document ("#id") name elements.
    if (!u.Scheme().IsEmpty() || !u.Authority().IsEmpty() || !u.Path().IsEmpty()) return nullptr;
    return FindById(u.Fragment());
}

CXmlElement* CColladaDoc::ResolveInstance(CXmlElement* referrer, const char* attribute,
                                          const char* expected) {
    if (!referrer) return nullptr;
    CXmlElement* found = ResolveUrl(referrer->GetAttribute(attribute));
    if (!found || !UColladaXml::NameIs(found, expected)) return nullptr;
    uint32_t depth = UColladaXml::Depth(referrer) + 1;
    if (depth >= kMaxTreeDepth) return nullptr;
    CXmlElement* copy = UColladaXml::CopyTree(found, fCopyBudget, fCopyBytes, kMaxTreeDepth - depth);
    if (!copy) {
        fCopyBudget = 0;  // a refused copy ends all copying: the file asks for too much
        return nullptr;
    }
    referrer->AppendChild(copy);
    return copy;
}

CXmlElement* CColladaDoc::FindSidInScope(CXmlElement* start, CXmlElement* leftOut, const LString& sid) const {
    CColladaTreeWalker walker(root(), nullptr);
    for (CXmlElement* scope = start; scope; leftOut = scope, scope = scope->Parent()) {
        for (CXmlElement* c = UColladaXml::FirstChild(scope); c; c = UColladaXml::Next(c)) {
            if (c == leftOut) continue;
            walker.Reset(c);
            while (walker.Next())
                if (walker.current()->GetAttribute("sid") == sid) return walker.current();
        }
    }
    return nullptr;
}

CXmlElement* CColladaDoc::scene() const {
    return root() ? root()->FindChild("scene") : nullptr;
}

CXmlElement* CColladaDoc::FindIdBelowScene(const LString& id) const {
    CXmlElement* s = scene();
    if (!s) return nullptr;
    CColladaTreeWalker walker(root(), s);
    while (walker.Next())
        if (walker.current()->GetAttribute("id") == id) return walker.current();
    return nullptr;
}

bool CColladaDoc::ResolveFile(const LString& text, LFsSpec& out) const {
    if (text.IsEmpty() || fSpec.IsEmpty()) return false;
    // The spec's path starts with its volume: as "/Volumes/<volume>/..." it resolves on any volume.
    CURL base(fSpec.Text());
    LVariStr<256> path;
    path.Append("/Volumes");
    path.Append(base.Path());
    base.SetPath(LString(path));
    CURL url(text.Text());
    url.Inherit(base, false);
    if (!url.Scheme().IsEmpty() && !url.isscheme("file")) return false;
    if (!url.Authority().IsEmpty() && !(url.Authority() == "localhost")) return false;
    return CFileURLU::GetFileSpec(url.GetString().Text(), out, false);
}

void CColladaDoc::SetViewMatrix(const float* m) {
    std::memcpy(fViewMatrix, m, sizeof(fViewMatrix));
    fViewMatrixSet = true;
}

bool CColladaDoc::LoadFile() {
    CMacForkStream file(fSpec, 0);
    if (!file.IsOpen()) return false;
    file.SeekEnd();
    uint64_t size = file.Position();
    if (file.HasError() || size > kMaxFileBytes) return false;
    std::vector<uint8_t> bytes(size);
    file.Seek(0);
    uint64_t got = size;
    if (size) file.Get(bytes.data(), got);
    if (file.HasError() || got != size) return false;
    CMemStream memory(bytes.data(), static_cast<uint32_t>(size));
    CBomTextStream text(memory);
    if (!ReadXml(text)) return false;
    Load();
    return loaded();
}

CColladaMeshBuffer* CColladaDoc::KeepMeshBuffer(std::unique_ptr<CColladaMeshBuffer> buffer) {
    auto byId = [](const std::unique_ptr<CColladaMeshBuffer>& a, const LString& id) {
        return std::lexicographical_compare(a->id.Text(), a->id.Text() + a->id.Length(), id.Text(),
                                            id.Text() + id.Length());
    };
    const LString& id = buffer->id;
    // After the last buffer whose id is not greater: the end of the run of equal ids.
    auto runBegin = std::lower_bound(fMeshBuffers.begin(), fMeshBuffers.end(), id, byId);
    auto runEnd = runBegin;
    while (runEnd != fMeshBuffers.end() && (*runEnd)->id == id) ++runEnd;
    if (!buffer->skinned && !id.IsEmpty()) {
        for (auto it = runEnd; it != runBegin;) {
            --it;
            if ((*it)->skinned || (*it)->batches.size() != buffer->batches.size()) continue;
            if ((*it)->SameSets(*buffer)) return it->get();
            break;
        }
    }
    uint64_t floats = buffer->floats();
    fMeshFloatsLeft -= std::min(fMeshFloatsLeft, floats);
    return fMeshBuffers.insert(runEnd, std::move(buffer))->get();
}

bool CColladaDoc::UploadVertexData(const std::vector<uint8_t>& stream) {
    COpenGLContext_Cca* common = COpenGLCommonCtx::Use();
    if (!common) return false;
    uint32_t name = fBuffer.Prepare(*common);
    COpenGLScope_Cca scope(*common);
    while (glGetError() != GL_NO_ERROR) {
    }
    glBindBuffer(GL_ARRAY_BUFFER, name);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(stream.size()), stream.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    bool failed = glGetError() != GL_NO_ERROR;
    while (glGetError() != GL_NO_ERROR) {
    }
    if (!name || failed) {
        fBuffer.Delete(*common);
        return false;
    }
    return true;
}

namespace {

void SkinnedBuffers(const std::vector<CColladaNode*>& nodes, std::vector<CColladaMeshBuffer*>& out,
                    uint32_t depth) {
    if (depth >= CColladaDoc::kMaxTreeDepth) return;
    for (CColladaNode* n : nodes) {
        for (CColladaGeometry* g : n->geometries())
            if (g->skinned()) out.push_back(g->buffer());
        for (CColladaController* c : n->controllers()) out.push_back(c->skin()->geometry()->buffer());
        SkinnedBuffers(n->children(), out, depth + 1);
    }
}

}  // namespace

void CColladaDoc::Upload() {
    std::vector<CColladaMeshBuffer*> skinned;
    SkinnedBuffers(fVisualScene->roots(), skinned, 0);
    std::vector<uint8_t> stream;
    for (CColladaMeshBuffer* m : skinned) m->Upload(stream);
    for (const auto& m : fMeshBuffers) m->Upload(stream);
    if (stream.empty()) return;
    if (!UploadVertexData(stream)) {
        // The arrays draw from their memory copies instead.
        for (const auto& m : fMeshBuffers) m->ForgetOffsets();
    }
}

void CColladaDoc::BoundsAndCamera(const std::vector<CColladaNode*>& nodes, uint32_t depth) {
    if (depth >= kMaxTreeDepth) return;
    for (CColladaNode* n : nodes) {
        if (!n->cameras().empty()) fCameraNode = n;
        if (!n->lights().empty()) fHasLights = true;
        float box[6];
        UBox3::SetEmpty(box);
        for (CColladaGeometry* g : n->geometries()) g->ExtendBounds(box);
        if (UBox3::IsFilled(box)) {
            UBox3::Transform(box, n->world());
            UBox3::Merge(fBounds, box);
        }
        for (CColladaController* c : n->controllers()) {
            c->skin()->Skin();
            c->skin()->geometry()->ExtendBounds(fBounds);
        }
        BoundsAndCamera(n->children(), depth + 1);
    }
}

void CColladaDoc::Load() {
    if (loaded() || !root()) return;
    DropUnsupportedProfiles();
    BuildIdIndex();
    CXmlElement* s = scene();
    CXmlElement* instance = s ? s->FindChild("instance_visual_scene") : nullptr;
    CXmlElement* copy = ResolveInstance(instance, "url", "visual_scene");
    if (!copy) return;
    auto* visual = new CColladaVisualScene;
    copy->Attach(visual);
    std::vector<CXmlElement*> chain;
    for (CXmlElement* c = UColladaXml::FindChild(copy, "node"); c;
         c = UColladaXml::FindChild(copy, "node", c))
        if (CColladaNode* n = CColladaNode::Build(*this, c, chain)) visual->roots().push_back(n);
    fVisualScene = visual;  // for the walks below; the document counts as loaded from here on
    Upload();
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    CColladaNode::WorldMatrices(visual->roots(), identity, false);
    BoundsAndCamera(visual->roots(), 0);
    if (!fCameraNode) {
        fDefaultCamera = std::make_unique<CColladaCamera>();
        fDefaultCamera->BuildParams(*this, nullptr, CColladaCamera::kPerspective);
        float r = UBox3::IsFilled(fBounds) ? UBox3::Radius(fBounds) : 1.0f;
        const float values[5] = {30, 30, 1, 3 * r, 7 * r};
        for (uint32_t i = 0; i < 5; ++i)
            if (CColladaFloatParam* p = fDefaultCamera->params()[i]; p && !p->values().empty())
                p->values()[0] = values[i];
        float place[16];
        UMat4::Identity(place);
        if (UBox3::IsFilled(fBounds))
            UMat4::Translate(place, 0.5f * (fBounds[0] + fBounds[1]), 0.5f * (fBounds[2] + fBounds[3]),
                             5 * r);
        float view[16];
        if (ColladaFinite(place, 16) && UMat4::Invert(place, view)) SetViewMatrix(view);
    }
    if (CXmlElement* library = root()->FindChild("library_animations")) {
        double longest = 0;
        for (CXmlElement* a = UColladaXml::FindChild(library, "animation"); a;
             a = UColladaXml::FindChild(library, "animation", a)) {
            CColladaAnimation* animation = CColladaAnimation::Build(*this, a);
            if (!animation) continue;
            fAnimations.push_back(animation);
            longest = std::max(longest, animation->LongestDuration());
        }
        fLongestDuration = static_cast<float>(longest);
    }
    if (CXmlElement* asset = root()->FindChild("asset")) {
        if (CXmlElement* up = asset->FindChild("up_axis")) {
            LString axis = UColladaXml::FirstToken(up);
            if (axis == "Z_UP") fUpAxis = 1;
            if (axis == "X_UP") fUpAxis = 2;
        }
        if (CXmlElement* unit = asset->FindChild("unit")) {
            LString meter = unit->GetAttribute("meter");
            if (!meter.IsEmpty()) {
                float m = UColladaNumbers::ToFloat(meter.CStr(), meter.CStr() + meter.Length());
                if (m > 0 && std::isfinite(m)) fUnitMeters = m;
            }
        }
    }
    if (fReleaseFlag) {
        std::vector<CColladaMeshBuffer*> skinned;
        SkinnedBuffers(visual->roots(), skinned, 0);
        for (CColladaMeshBuffer* m : skinned) m->Release();
    }
}

void CColladaDoc::SetUpLights(const std::vector<CColladaNode*>& nodes, CColladaDrawState& state,
                              uint32_t depth) {
    if (depth >= kMaxTreeDepth) return;
    for (CColladaNode* n : nodes) {
        if (!n->lights().empty() && ColladaFinite(n->world(), 16)) {
            {
                COpenGLScope_Cca scope(*state.context);
                glLoadMatrixf(n->world());
            }
            for (CColladaLight* l : n->lights()) l->Apply(state);
        }
        SetUpLights(n->children(), state, depth + 1);
    }
}

void CColladaDoc::Animate(double seconds) {
    for (CColladaAnimation* a : fAnimations) a->Apply(seconds);
}

void CColladaDoc::Render(COpenGLContext_Cca& context, double seconds) {
    if (!loaded()) return;
    COpenGLScope_Cca scope(context);
    glPushAttrib(GL_CURRENT_BIT | GL_LINE_BIT | GL_POLYGON_BIT | GL_LIGHTING_BIT | GL_DEPTH_BUFFER_BIT |
                 GL_TRANSFORM_BIT | GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();

    CColladaDrawState state;
    state.frame = ++fFrameCounter;
    state.releaseFlag = fReleaseFlag;
    state.context = &context;
    state.vertexBuffer = fBuffer.name();

    glEnableClientState(GL_VERTEX_ARRAY);
    glColor4f(1, 1, 1, 1);
    glEnable(GL_NORMALIZE);
    glEnable(GL_LIGHTING);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glEnable(GL_CULL_FACE);
    glAlphaFunc(GL_GREATER, 0.5f);
    glEnable(GL_DEPTH_TEST);
    Animate(seconds);

    // A scene without any position has nothing to frame or draw.
    if (UBox3::IsFilled(fBounds)) {
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        CColladaNode::WorldMatrices(fVisualScene->roots(), identity, false);
        if (fHasLights)
            SetUpLights(fVisualScene->roots(), state, 0);
        else
            glEnable(GL_LIGHT0);
        CColladaCamera* camera = fDefaultCamera.get();
        if (fCameraNode) {
            camera = fCameraNode->cameras().front();
            if (fViewMatrixSet) {
                std::memcpy(state.matrix, fViewMatrix, sizeof state.matrix);
                state.matrixIsView = true;
            } else {
                std::memcpy(state.matrix, fCameraNode->world(), sizeof state.matrix);
                state.matrixIsView = fCameraNode->lookAt();
            }
        } else {
            std::memcpy(state.matrix, fViewMatrix, sizeof state.matrix);
            state.matrixIsView = true;
        }
        if (camera && ColladaFinite(state.matrix, 16)) camera->Apply(state, fBounds);
        if (!fHasLights) {
            float place[16];
            bool ok = true;
            if (state.matrixIsView)
                ok = UMat4::Invert(state.matrix, place);
            else
                std::memcpy(place, state.matrix, sizeof place);
            if (ok && ColladaFinite(place, 16)) {
                const float at[4] = {0, 0, 0, 1}, down[4] = {0, 0, -1, 0};
                glLoadMatrixf(place);
                glLightfv(GL_LIGHT0, GL_POSITION, at);
                glLightfv(GL_LIGHT0, GL_SPOT_DIRECTION, down);
            }
        }
        CColladaNode::DrawWalk(fVisualScene->roots(), state);
        if (!state.deferred.empty()) {
            glDisable(GL_CULL_FACE);
            for (const SColladaDeferred& d : state.deferred) {
                glLoadMatrixf(d.matrix);
                d.buffer->BindArrays(state);
                ApplyColladaMaterial(state, d.material);
                d.buffer->DrawBatch(state, *d.batch);
            }
        }
    }

    glUseProgram(0);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopClientAttrib();
    glPopAttrib();
}
