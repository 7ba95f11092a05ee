#pragma once

#include <cstdint>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Models/CColladaElement.h"
#include "Orbilume/CSources/Models/CColladaFloatParam.h"

class CColladaCamera;
class CColladaController;
class CColladaDoc;
class CColladaGeometry;
class CColladaLight;
struct CColladaDrawState;

// A "matrix", "translate", "rotate", "scale", "lookat" or "skew" of a node: its values, which an
// animation may change.
class CColladaTransform : public CColladaFloatParam {
public:
    static constexpr Kind kKind = kTransform;
    Kind kind() const override { return kKind; }
    enum Type : uint32_t { kMatrix = 1, kTranslate, kRotate, kScale, kLookAt, kSkew };

    // A transform of the element's kind, attached and read; null for other names.
    static CColladaTransform* Build(CXmlElement* element);
    bool ResolveTarget(SColladaTarget& target) override;
    // Post-multiplies m; sets lookAt for a "lookat".
    void MultiplyInto(float* m, bool& lookAt) const;

    uint32_t type() const { return fType; }

private:
    uint32_t fType = 0;
};

// The object of a "node": transforms, instances and children in document order, and the world matrix
// worked out from them.
class CColladaNode : public CColladaElement {
public:
    static constexpr Kind kKind = kNode;
    Kind kind() const override { return kKind; }

    // The attached node, or a new one built; null for a node whose id is on the chain of nodes being
    // built (a cyclic instance_node) or when builds nest deeper than the tree may.
    static CColladaNode* Build(CColladaDoc& doc, CXmlElement* element, std::vector<CXmlElement*>& chain);

    // Depth first from the start matrix and look-at flag.
    static void WorldMatrices(const std::vector<CColladaNode*>& nodes, const float* start, bool lookAt,
                              uint32_t depth = 0);
    // Geometry under each node's world matrix, skinned controllers under the identity.
    static void DrawWalk(const std::vector<CColladaNode*>& nodes, CColladaDrawState& state,
                         uint32_t depth = 0);

    const float* world() const { return fWorld; }
    bool lookAt() const { return fLookAt; }
    const std::vector<LString>& layers() const { return fLayers; }
    const std::vector<CColladaTransform*>& transforms() const { return fTransforms; }
    const std::vector<CColladaCamera*>& cameras() const { return fCameras; }
    const std::vector<CColladaLight*>& lights() const { return fLights; }
    const std::vector<CColladaGeometry*>& geometries() const { return fGeometries; }
    const std::vector<CColladaController*>& controllers() const { return fControllers; }
    const std::vector<CColladaNode*>& children() const { return fChildren; }

private:
    void Fill(CColladaDoc& doc, std::vector<CXmlElement*>& chain);

    float fWorld[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    bool fLookAt = false;
    std::vector<LString> fLayers;
    std::vector<CColladaTransform*> fTransforms;
    std::vector<CColladaCamera*> fCameras;
    std::vector<CColladaLight*> fLights;
    std::vector<CColladaGeometry*> fGeometries;
    std::vector<CColladaController*> fControllers;
    std::vector<CColladaNode*> fChildren;
};

// Whether all n floats are finite (what a GL matrix call may be given).
bool ColladaFinite(const float* m, uint32_t n);
