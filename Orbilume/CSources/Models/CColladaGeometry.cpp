#include "Orbilume/CSources/Models/CColladaGeometry.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstring>

#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Orbilume/CSources/Models/CColladaBindMaterial.h"
#include "Orbilume/CSources/Models/CColladaCommonEffect.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/CColladaDrawState.h"
#include "Orbilume/CSources/Models/CColladaMaterial.h"
#include "Orbilume/CSources/Models/CColladaMeshBuffer.h"
#include "Orbilume/CSources/Models/CColladaSource.h"
#include "Orbilume/CSources/Models/CColladaTreeWalker.h"
#include "Orbilume/CSources/Models/UColladaXml.h"
#include "Orbilume/CSources/Models/UMat4.h"

namespace {

struct PrimitiveKind {
    const char* name;
    uint32_t mode;
    uint32_t minimum;
    uint32_t perPrimitive;
    // Each tagged child is its own primitive when there are several (or always, for "polygons"); the
    // fewest vertices such a primitive draws with.
    uint32_t chunkMinimum;
    bool alwaysChunks;
};
constexpr PrimitiveKind kKinds[] = {
    {"lines", GL_LINES, 0, 2, 0, false},
    {"linestrips", GL_LINE_STRIP, 1, 1, 2, false},
    {"polygons", GL_POLYGON, 3, 0, 3, true},
    {"polylist", GL_POLYGON, 3, 0, 0, false},
    {"triangles", GL_TRIANGLES, 0, 3, 0, false},
    {"trifans", GL_TRIANGLE_FAN, 2, 1, 3, false},
    {"tristrips", GL_TRIANGLE_STRIP, 2, 1, 3, false},
};

const PrimitiveKind* FindKind(const CXmlElement* e) {
    for (const PrimitiveKind& k : kKinds)
        if (UColladaXml::NameIs(e, k.name)) return &k;
    return nullptr;
}

template <class T>
void CutBack(std::vector<T>& v, size_t size) {
    if (v.size() > size) v.resize(size);
}

// Fills one array of the batch from an input; false when an index is missing or negative.
bool Fill(std::vector<float>& array, const SColladaInput& input, const SColladaIndexedList& list,
          const std::vector<uint64_t>& starts, int32_t first, std::vector<uint32_t>* positionIndices) {
    uint32_t n = input.semantic->components;
    if (array.size() < static_cast<size_t>(n) * first) array.resize(static_cast<size_t>(n) * first, 0.0f);
    array.reserve(array.size() + starts.size() * n);
    for (uint64_t start : starts) {
        uint64_t at = start + static_cast<uint64_t>(input.offset);
        if (at >= list.indices.size()) return false;
        int32_t index = list.indices[at];
        float values[4];
        std::memcpy(values, input.semantic->defaults, sizeof values);
        if (index < 0 || input.accessor->ReadValues(index, n, values) < 0) return false;
        array.insert(array.end(), values, values + n);
        if (positionIndices) positionIndices->push_back(static_cast<uint32_t>(index));
    }
    return true;
}

void OrientNormals(CColladaMeshBuffer& m, const CColladaBatch& b) {
    for (int32_t t = b.first; t + 2 < b.first + b.count; t += 3) {
        const float* p = &m.positions[3 * static_cast<size_t>(t)];
        UVec3 a{p[0], p[1], p[2]}, bb{p[3], p[4], p[5]}, c{p[6], p[7], p[8]};
        UVec3 face = UVec3::Cross({bb.x - a.x, bb.y - a.y, bb.z - a.z}, {c.x - a.x, c.y - a.y, c.z - a.z});
        for (int k = 0; k < 3; ++k) {
            float* n = &m.normals[3 * (static_cast<size_t>(t) + k)];
            if (UVec3::Dot({n[0], n[1], n[2]}, face) < 0) {
                n[0] = -n[0];
                n[1] = -n[1];
                n[2] = -n[2];
            }
        }
    }
}

// The index position of each vertex the batch emits, with its polygons; false when the element
// cannot give a batch.
bool VertexStarts(const PrimitiveKind& kind, const SColladaIndexedList& list, CColladaBatch& batch,
                  std::vector<uint64_t>& starts) {
    const uint64_t available = list.indices.size() / list.stride;
    uint64_t total = 0;
    if (!list.vcount.empty()) {
        for (int32_t entry : list.vcount) {
            if (entry < 0) return false;
            if (static_cast<uint32_t>(entry) >= kind.minimum && entry > 0) {
                batch.polyFirsts.push_back(static_cast<int32_t>(batch.first + total));
                batch.polyCounts.push_back(entry);
            }
            total += static_cast<uint32_t>(entry);
            if (total > available) return false;  // the indices run out
        }
    } else if (kind.chunkMinimum && (kind.alwaysChunks || list.chunks.size() > 1)) {
        for (size_t c = 0; c < list.chunks.size(); ++c) {
            uint64_t end = c + 1 < list.chunks.size() ? list.chunks[c + 1] : list.indices.size();
            uint64_t n = (end - list.chunks[c]) / list.stride;
            if (n < kind.chunkMinimum) continue;
            batch.polyFirsts.push_back(static_cast<int32_t>(batch.first + total));
            batch.polyCounts.push_back(static_cast<int32_t>(n));
            for (uint64_t v = 0; v < n; ++v) starts.push_back(list.chunks[c] + v * list.stride);
            total += n;
        }
        return total > 0;
    } else {
        if (kind.perPrimitive == 0) return false;  // a vcount kind without vcount
        total = kind.perPrimitive * static_cast<uint64_t>(list.count) + kind.minimum;
        if (total > available) return false;
    }
    if (total == 0) return false;
    starts.reserve(total);
    for (uint64_t v = 0; v < total; ++v) starts.push_back(v * list.stride);
    return true;
}

bool BuildBatch(CColladaDoc& doc, CColladaMeshBuffer& m, const PrimitiveKind& kind, CXmlElement* element,
                CColladaBindMaterial* binding, uint64_t floatsLeft) {
    SColladaIndexedList list;
    if (!list.Read(doc, element, "p")) return false;
    auto batch = std::make_unique<CColladaBatch>();
    batch->first = static_cast<int32_t>(m.positions.size() / 3);
    batch->symbol = element->GetAttribute("material");
    std::vector<uint64_t> starts;
    if (!VertexStarts(kind, list, *batch, starts)) return false;
    // Every array the batch may fill, at most 3 + 3 + 3 + 8 x 2 floats and one index a vertex.
    if (starts.size() * 26 > floatsLeft || m.positions.size() / 3 + starts.size() > INT32_MAX / 4)
        return false;
    bool ok = true;
    bool position = false, normal = false, color = false;
    for (const SColladaInput& in : list.inputs) {
        if (!ok) break;
        switch (in.semantic->number) {
            case SColladaSemantic::kPosition:
                if (position) break;
                position = true;
                ok = Fill(m.positions, in, list, starts, batch->first,
                          m.skinned ? &m.positionIndices : nullptr);
                break;
            case SColladaSemantic::kNormal:
                if (normal) break;
                normal = true;
                batch->mask |= 1;
                ok = Fill(m.normals, in, list, starts, batch->first, nullptr);
                break;
            case SColladaSemantic::kColor:
                if (color) break;
                color = true;
                batch->mask |= 2;
                ok = Fill(m.colors, in, list, starts, batch->first, nullptr);
                break;
            case SColladaSemantic::kTexcoord:
                if (!binding) break;
                for (int32_t unit : binding->UnitsForSet(in.set)) {
                    uint32_t bit = 4u << unit;
                    if (batch->mask & bit) continue;
                    batch->mask |= bit;
                    batch->sets[unit] = in.set;
                    ok = ok && Fill(m.texcoords[unit], in, list, starts, batch->first, nullptr);
                }
                break;
            default:
                break;
        }
    }
    if (ok) {
        batch->count = static_cast<int32_t>(m.positions.size() / 3) - batch->first;
        ok = batch->count > 0;
    }
    if (!ok) {
        size_t first = static_cast<size_t>(batch->first);
        CutBack(m.positions, 3 * first);
        CutBack(m.normals, 3 * first);
        CutBack(m.colors, 3 * first);
        for (auto& t : m.texcoords) CutBack(t, 2 * first);
        CutBack(m.positionIndices, first);
        return false;
    }
    batch->mode = kind.mode;
    if (kind.mode == GL_TRIANGLES && (batch->mask & 1)) OrientNormals(m, *batch);
    m.batches.push_back(std::move(batch));
    return true;
}

bool DoubleSided(CColladaDoc& doc, CXmlElement* geometry) {
    for (CColladaTreeWalker w(doc.root(), geometry); w.Next();) {
        if (!UColladaXml::NameIs(w.current(), "double_sided")) continue;
        LString t = UColladaXml::FirstToken(w.current());
        return t == "1" || t == "true";
    }
    return false;
}

}  // namespace

std::unique_ptr<CColladaMeshBuffer> CColladaGeometry::BuildMesh(CColladaDoc& doc, CXmlElement* mesh,
                                                                const LString& id,
                                                                CColladaBindMaterial* binding, bool skinned) {
    auto m = std::make_unique<CColladaMeshBuffer>();
    m->id = id;
    m->skinned = skinned;
    for (CXmlElement* c = UColladaXml::FirstChild(mesh); c; c = UColladaXml::Next(c)) {
        const PrimitiveKind* kind = FindKind(c);
        if (!kind) continue;
        uint64_t left = doc.meshFloatsLeft();
        uint64_t used = m->floats();
        (void)BuildBatch(doc, *m, *kind, c, binding, left > used ? left - used : 0);
    }
    return m;
}

CColladaGeometry* CColladaGeometry::Build(CColladaDoc& doc, CXmlElement* geometry,
                                          CColladaBindMaterial* binding, bool skinned) {
    if (!UColladaXml::NameIs(geometry, "geometry")) return nullptr;
    if (geometry->Attached()) return AttachedAs<CColladaGeometry>(geometry);
    CXmlElement* mesh = geometry->FindChild("mesh");
    if (!mesh) return nullptr;
    auto* g = new CColladaGeometry;
    geometry->Attach(g);
    g->fBinding = binding;
    g->fSkinned = skinned;
    g->fDoubleSided = DoubleSided(doc, geometry);
    g->fBuffer = doc.KeepMeshBuffer(BuildMesh(doc, mesh, geometry->GetAttribute("id"), binding, skinned));
    for (const auto& b : g->fBuffer->batches)
        g->fMaterials.push_back(binding ? binding->MaterialFor(b->symbol) : nullptr);
    return g;
}

void CColladaGeometry::Draw(CColladaDrawState& state) {
    if (!fBuffer || !state.context || fBuffer->batches.empty()) return;
    fBuffer->BindArrays(state);
    {
        COpenGLScope_Cca scope(*state.context);
        glCullFace(GL_BACK);
    }
    std::vector<size_t> again;
    for (size_t b = 0; b < fBuffer->batches.size(); ++b) {
        CColladaMaterial* material = fMaterials[b];
        uint32_t answer = material && material->common() ? material->common()->TransparencyMode(state) : 0;
        if (answer == CColladaCommonEffect::kInvisible) continue;
        if (answer == CColladaCommonEffect::kBlended) {
            SColladaDeferred d{fBuffer, fBuffer->batches[b].get(), material, {}};
            std::memcpy(d.matrix, state.matrix, sizeof d.matrix);
            state.deferred.push_back(d);
            continue;
        }
        ApplyColladaMaterial(state, material);
        fBuffer->DrawBatch(state, *fBuffer->batches[b]);
        if (fDoubleSided || (material && material->flags())) again.push_back(b);
    }
    if (again.empty()) return;
    {
        COpenGLScope_Cca scope(*state.context);
        glCullFace(GL_FRONT);
    }
    for (size_t b : again) {
        ApplyColladaMaterial(state, fMaterials[b]);
        fBuffer->DrawBatch(state, *fBuffer->batches[b]);
    }
}

void CColladaGeometry::ExtendBounds(float* box) const {
    if (fBuffer) fBuffer->ExtendBounds(box);
}
