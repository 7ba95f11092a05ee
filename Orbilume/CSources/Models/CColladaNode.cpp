#include "Orbilume/CSources/Models/CColladaNode.h"

#include <epoxy/gl.h>

#include <cmath>
#include <cstring>
#include <iterator>

#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Orbilume/CSources/Models/CColladaBindMaterial.h"
#include "Orbilume/CSources/Models/CColladaCamera.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/CColladaDrawState.h"
#include "Orbilume/CSources/Models/CColladaGeometry.h"
#include "Orbilume/CSources/Models/CColladaLight.h"
#include "Orbilume/CSources/Models/CColladaSkin.h"
#include "Orbilume/CSources/Models/UColladaNumbers.h"
#include "Orbilume/CSources/Models/UColladaXml.h"
#include "Orbilume/CSources/Models/UMat4.h"

namespace {

struct TransformKind {
    const char* name;
    uint32_t type;
    const char* defaults;
};
constexpr TransformKind kTransformKinds[] = {
    {"matrix", CColladaTransform::kMatrix, "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1"},
    {"translate", CColladaTransform::kTranslate, "0 0 0"},
    {"rotate", CColladaTransform::kRotate, "0 0 0 0"},
    {"scale", CColladaTransform::kScale, "1 1 1"},
    {"lookat", CColladaTransform::kLookAt, "0 0 0 0 0 0 0 0 0"},
    {"skew", CColladaTransform::kSkew, "0 0 0 0 0 0 0"},
};

struct Member {
    uint32_t type;
    const char* name;
    int32_t index;
};
constexpr Member kMembers[] = {
    {CColladaTransform::kTranslate, "X", 0},  {CColladaTransform::kTranslate, "Y", 1},
    {CColladaTransform::kTranslate, "Z", 2},  {CColladaTransform::kRotate, "X", 0},
    {CColladaTransform::kRotate, "Y", 1},     {CColladaTransform::kRotate, "Z", 2},
    {CColladaTransform::kRotate, "ANGLE", 3}, {CColladaTransform::kScale, "X", 0},
    {CColladaTransform::kScale, "Y", 1},      {CColladaTransform::kScale, "Z", 2},
    {CColladaTransform::kSkew, "ANGLE", 0},
};

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

void LoadModelView(CColladaDrawState& state, const float* m) {
    std::memcpy(state.matrix, m, sizeof state.matrix);
    COpenGLScope_Cca scope(*state.context);
    glLoadMatrixf(m);
}

}  // namespace

bool ColladaFinite(const float* m, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i)
        if (!std::isfinite(m[i])) return false;
    return true;
}

CColladaTransform* CColladaTransform::Build(CXmlElement* element) {
    const TransformKind* kind = nullptr;
    for (const TransformKind& k : kTransformKinds)
        if (UColladaXml::NameIs(element, k.name)) kind = &k;
    if (!kind) return nullptr;
    if (element->Attached()) return AttachedAs<CColladaTransform>(element);
    auto* t = new CColladaTransform;
    element->Attach(t);
    t->fType = kind->type;
    t->Parse(kind->defaults, static_cast<uint32_t>(std::strlen(kind->defaults)), 0);
    // The file's numbers replace the defaults; the count stays the kind's.
    size_t n = t->fValues.size();
    t->Parse(element->Text().CStr(), element->Text().Length(), 0);
    t->fValues.resize(n);
    return t;
}

bool CColladaTransform::ResolveTarget(SColladaTarget& target) {
    if (!target.member.IsEmpty()) {
        for (const Member& m : kMembers) {
            if (m.type == fType && target.member == m.name) {
                target.valueIndex = m.index;
                return true;
            }
        }
        return false;
    }
    if (fType == kMatrix && target.indexCount == 2) {
        int32_t r = target.indices[0], c = target.indices[1];
        if (r < 0 || r > 3 || c < 0 || c > 3) return false;
        target.valueIndex = c + 4 * r;
        return true;
    }
    return CColladaFloatParam::ResolveTarget(target);
}

void CColladaTransform::MultiplyInto(float* m, bool& lookAt) const {
    const float* v = fValues.data();
    switch (fType) {
        case kMatrix: {
            float cm[16];
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c) cm[c * 4 + r] = v[r * 4 + c];
            UMat4::Multiply(m, cm);
            break;
        }
        case kTranslate:
            UMat4::Translate(m, v[0], v[1], v[2]);
            break;
        case kRotate:
            UMat4::Rotate(m, v[3], v[0], v[1], v[2]);
            break;
        case kScale:
            UMat4::Scale(m, v[0], v[1], v[2]);
            break;
        case kLookAt:
            UMat4::LookAt(m, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
            lookAt = true;
            break;
        case kSkew:
            UMat4::Skew(m, v[0], v[1], v[2], v[3], v[4], v[5], v[6]);
            break;
        default:
            break;
    }
}

CColladaNode* CColladaNode::Build(CColladaDoc& doc, CXmlElement* element, std::vector<CXmlElement*>& chain) {
    if (!UColladaXml::NameIs(element, "node")) return nullptr;
    if (element->Attached()) return AttachedAs<CColladaNode>(element);
    if (chain.size() >= CColladaDoc::kMaxTreeDepth) return nullptr;
    LString id = element->GetAttribute("id");
    if (!id.IsEmpty())
        for (CXmlElement* e : chain)
            if (e->GetAttribute("id") == id) return nullptr;
    auto* node = new CColladaNode;
    element->Attach(node);
    chain.push_back(element);
    node->Fill(doc, chain);
    chain.pop_back();
    return node;
}

void CColladaNode::Fill(CColladaDoc& doc, std::vector<CXmlElement*>& chain) {
    LString layers = element()->GetAttribute("layers");
    UColladaNumbers::ForEachToken(
        layers.CStr(), layers.CStr() + layers.Length(), UINT64_MAX,
        [&](const char* b, const char* e) { fLayers.emplace_back(b, static_cast<uint32_t>(e - b)); });
    for (CXmlElement* c = UColladaXml::FirstChild(element()); c; c = UColladaXml::Next(c)) {
        if (CColladaTransform* t = CColladaTransform::Build(c)) {
            fTransforms.push_back(t);
        } else if (UColladaXml::NameIs(c, "instance_camera")) {
            if (CColladaCamera* cam = CColladaCamera::Build(doc, doc.ResolveInstance(c, "url", "camera")))
                fCameras.push_back(cam);
        } else if (UColladaXml::NameIs(c, "instance_light")) {
            if (CColladaLight* light = CColladaLight::Build(doc, doc.ResolveInstance(c, "url", "light")))
                fLights.push_back(light);
        } else if (UColladaXml::NameIs(c, "instance_geometry")) {
            CXmlElement* copy = doc.ResolveInstance(c, "url", "geometry");
            if (!copy) continue;
            CColladaBindMaterial* binding = CColladaBindMaterial::Build(doc, c->FindChild("bind_material"));
            if (CColladaGeometry* g = CColladaGeometry::Build(doc, copy, binding, false))
                fGeometries.push_back(g);
        } else if (UColladaXml::NameIs(c, "instance_controller")) {
            if (CColladaController* ctl = CColladaController::Build(doc, c, chain))
                fControllers.push_back(ctl);
        } else if (UColladaXml::NameIs(c, "instance_node")) {
            if (CColladaNode* n = Build(doc, doc.ResolveInstance(c, "url", "node"), chain))
                fChildren.push_back(n);
        } else if (UColladaXml::NameIs(c, "node")) {
            if (CColladaNode* n = Build(doc, c, chain)) fChildren.push_back(n);
        }
    }
}

void CColladaNode::WorldMatrices(const std::vector<CColladaNode*>& nodes, const float* start, bool lookAt,
                                 uint32_t depth) {
    if (depth >= CColladaDoc::kMaxTreeDepth) return;
    for (CColladaNode* n : nodes) {
        std::memcpy(n->fWorld, start, sizeof n->fWorld);
        n->fLookAt = lookAt;
        for (const CColladaTransform* t : n->fTransforms) t->MultiplyInto(n->fWorld, n->fLookAt);
        WorldMatrices(n->fChildren, n->fWorld, n->fLookAt, depth + 1);
    }
}

void CColladaNode::DrawWalk(const std::vector<CColladaNode*>& nodes, CColladaDrawState& state,
                            uint32_t depth) {
    if (depth >= CColladaDoc::kMaxTreeDepth || !state.context) return;
    for (CColladaNode* n : nodes) {
        // A node whose matrix is not finite draws nothing of its own.
        if (!n->fGeometries.empty() && ColladaFinite(n->fWorld, 16)) {
            LoadModelView(state, n->fWorld);
            for (CColladaGeometry* g : n->fGeometries) g->Draw(state);
        }
        if (!n->fControllers.empty()) {
            LoadModelView(state, kIdentity);
            for (CColladaController* c : n->fControllers) {
                c->skin()->Skin();
                c->skin()->geometry()->Draw(state);
            }
        }
        DrawWalk(n->fChildren, state, depth + 1);
    }
}
