#include "Orbilume/CSources/Models/CColladaSkin.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>

#include "Orbilume/CSources/Models/CColladaBindMaterial.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/CColladaGeometry.h"
#include "Orbilume/CSources/Models/CColladaMeshBuffer.h"
#include "Orbilume/CSources/Models/CColladaNode.h"
#include "Orbilume/CSources/Models/CColladaSource.h"
#include "Orbilume/CSources/Models/CColladaTreeWalker.h"
#include "Orbilume/CSources/Models/UColladaNumbers.h"
#include "Orbilume/CSources/Models/UColladaXml.h"
#include "Orbilume/CSources/Models/UMat4.h"

namespace {

// Sixteen numbers row by row into a column-major matrix.
void FromRows(const float* rows, float* m) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m[c * 4 + r] = rows[r * 4 + c];
}

// The accessor of the named input of an element (inputs whose semantic the geometry table lacks too).
CColladaAccessor* InputAccessor(CColladaDoc& doc, CXmlElement* element, const char* semantic) {
    for (CXmlElement* in = UColladaXml::FindChild(element, "input"); in;
         in = UColladaXml::FindChild(element, "input", in))
        if (in->GetAttribute("semantic") == semantic)
            return CColladaAccessor::Build(doc, doc.ResolveUrl(in->GetAttribute("source")));
    return nullptr;
}

const SColladaInput* FindInput(const SColladaIndexedList& list, uint32_t number) {
    for (const SColladaInput& in : list.inputs)
        if (in.semantic->number == number) return &in;
    return nullptr;
}

}  // namespace

CColladaController* CColladaController::Build(CColladaDoc& doc, CXmlElement* instance,
                                              std::vector<CXmlElement*>& chain) {
    CXmlElement* copy = doc.ResolveInstance(instance, "url", "controller");
    if (!copy) return nullptr;
    if (copy->Attached()) return AttachedAs<CColladaController>(copy);
    CXmlElement* skin = copy->FindChild("skin");
    if (!skin) return nullptr;
    auto* c = new CColladaController;
    copy->Attach(c);
    c->fBinding = CColladaBindMaterial::Build(doc, instance->FindChild("bind_material"));
    if (CXmlElement* skeleton = instance->FindChild("skeleton")) {
        LString text = UColladaXml::FirstToken(skeleton);
        if (text.Length() > 1 && text.CStr()[0] == '#')
            c->fSkeleton = doc.FindIdBelowScene(LString(text.CStr() + 1, text.Length() - 1));
    } else {
        c->fSkeleton = doc.scene();
    }
    c->fSkin = CColladaSkin::Build(doc, skin, c->fSkeleton, c->fBinding, chain);
    if (c->fSkin) return c;
    copy->Attach(nullptr);
    return nullptr;
}

CColladaSkin* CColladaSkin::Build(CColladaDoc& doc, CXmlElement* skin, CXmlElement* skeleton,
                                  CColladaBindMaterial* binding, std::vector<CXmlElement*>& chain) {
    if (!UColladaXml::NameIs(skin, "skin")) return nullptr;
    if (skin->Attached()) return AttachedAs<CColladaSkin>(skin);
    auto* s = new CColladaSkin;
    skin->Attach(s);
    if (s->Read(doc, skeleton, binding, chain)) return s;
    skin->Attach(nullptr);
    return nullptr;
}

bool CColladaSkin::Read(CColladaDoc& doc, CXmlElement* skeleton, CColladaBindMaterial* binding,
                        std::vector<CXmlElement*>& chain) {
    CXmlElement* joints = element()->FindChild("joints");
    if (!joints) return false;

    // The skinned geometry first: its source indices bound the vertex records worth keeping.
    CXmlElement* geometry = doc.ResolveInstance(element(), "source", "geometry");
    fGeometry = geometry ? CColladaGeometry::Build(doc, geometry, binding, true) : nullptr;
    if (!fGeometry) return false;
    const CColladaMeshBuffer& mesh = *fGeometry->buffer();
    uint64_t usedRecords = 0;
    for (uint32_t i : mesh.positionIndices) usedRecords = std::max<uint64_t>(usedRecords, uint64_t{i} + 1);

    // 1. Joints, found below the skeleton root by id (IDREF names) or sid.
    CColladaAccessor* names = InputAccessor(doc, joints, "JOINT");
    CColladaAccessor* inverse = InputAccessor(doc, joints, "INV_BIND_MATRIX");
    if (names && skeleton) {
        bool byId = names->array()->type() == CColladaDataArray::kIdRef;
        std::unordered_map<std::string, CXmlElement*> scope;
        for (CColladaTreeWalker w(doc.root(), skeleton); w.Next();) {
            LString key = w.current()->GetAttribute(byId ? "id" : "sid");
            if (!key.IsEmpty()) scope.emplace(std::string(key.CStr(), key.Length()), w.current());
        }
        for (int64_t j = 0; j < names->count(); ++j) {
            LString name;
            if (names->ReadNames(j, 1, &name) < 1) break;
            auto found = scope.find(std::string(name.CStr(), name.Length()));
            if (found == scope.end()) break;
            CColladaNode* node = CColladaNode::Build(doc, found->second, chain);
            if (!node) break;
            Joint joint{name, node, {}};
            float rows[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
            if (inverse && inverse->ReadValues(j, 16, rows) < 0) break;
            FromRows(rows, joint.inverseBind);
            fJoints.push_back(joint);
        }
    }

    // 2. Influences per vertex.
    SColladaIndexedList weights;
    CXmlElement* vw = element()->FindChild("vertex_weights");
    if (vw && weights.Read(doc, vw, "v")) {
        const SColladaInput* jointIn = FindInput(weights, SColladaSemantic::kJoint);
        const SColladaInput* weightIn = FindInput(weights, SColladaSemantic::kWeight);
        uint64_t records = std::min<uint64_t>(static_cast<uint64_t>(weights.count), usedRecords);
        fVertices.resize(records);
        uint64_t at = 0;
        for (uint64_t v = 0; v < records; ++v) {
            int64_t n = v < weights.vcount.size() ? weights.vcount[v] : 1;
            for (int64_t k = 0; k < n; ++k, at += weights.stride) {
                if (at + weights.stride > weights.indices.size()) break;
                Influence inf{-1, 1, {}};
                if (jointIn) {
                    int32_t index = weights.indices[at + jointIn->offset];
                    if (index < -1) continue;
                    if (index >= 0) {
                        LString name;
                        if (jointIn->accessor->ReadNames(index, 1, &name) < 1) continue;
                        inf.joint = -2;
                        for (size_t j = 0; j < fJoints.size(); ++j)
                            if (fJoints[j].name == name) {
                                inf.joint = static_cast<int32_t>(j);
                                break;
                            }
                        if (inf.joint < 0) continue;
                    }
                }
                if (weightIn) {
                    int32_t index = weights.indices[at + weightIn->offset];
                    float w = 0;
                    if (index < 0 || weightIn->accessor->ReadValues(index, 1, &w) < 0) continue;
                    inf.weight = w;
                }
                if (inf.weight == 0) continue;
                fVertices[v].influences.push_back(inf);
            }
        }
    }

    // 3. The bind shape.
    std::vector<float> bindRows;
    UColladaNumbers::ReadFloats(element()->FindChild("bind_shape_matrix"), bindRows, 16);
    if (bindRows.size() == 16) FromRows(bindRows.data(), fBindShape);

    // 5. Bind-shape positions, 6. influence vectors.
    for (size_t k = 0; k < mesh.positionIndices.size() && 3 * k + 2 < mesh.positions.size(); ++k) {
        uint32_t i = mesh.positionIndices[k];
        if (i >= fVertices.size()) continue;
        const float p[4] = {mesh.positions[3 * k], mesh.positions[3 * k + 1], mesh.positions[3 * k + 2], 1};
        auto bound = UMat4::Transform4(p, fBindShape);
        std::copy(bound.begin(), bound.end(), fVertices[i].position);
    }
    for (Vertex& v : fVertices) {
        for (Influence& inf : v.influences) {
            std::array<float, 4> r{v.position[0], v.position[1], v.position[2], v.position[3]};
            if (inf.joint >= 0) r = UMat4::Transform4(v.position, fJoints[inf.joint].inverseBind);
            for (int c = 0; c < 4; ++c) inf.vector[c] = inf.weight * r[c];
        }
    }
    return true;
}

void CColladaSkin::Skin() {
    CColladaMeshBuffer& mesh = *fGeometry->buffer();
    for (size_t k = 0; k < mesh.positionIndices.size() && 3 * k + 2 < mesh.positions.size(); ++k) {
        uint32_t i = mesh.positionIndices[k];
        if (i >= fVertices.size()) continue;
        float sum[3] = {0, 0, 0};
        for (const Influence& inf : fVertices[i].influences) {
            if (inf.joint < 0) {
                for (int c = 0; c < 3; ++c) sum[c] += inf.vector[c];
            } else {
                auto r = UMat4::Transform4(inf.vector, fJoints[inf.joint].node->world());
                for (int c = 0; c < 3; ++c) sum[c] += r[c];
            }
        }
        std::copy(sum, sum + 3, &mesh.positions[3 * k]);
    }
}
