#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Models/CColladaElement.h"

class CColladaBindMaterial;
class CColladaDoc;
class CColladaMaterial;
class CColladaMeshBuffer;
struct CColladaDrawState;

// The object of a geometry copy: its mesh buffer (shared with equal instances unless skinned), the
// material of each batch and whether it draws both faces.
class CColladaGeometry : public CColladaElement {
public:
    static constexpr Kind kKind = kGeometry;
    Kind kind() const override { return kKind; }

    // The attached instance, or a new one from the geometry's "mesh"; null without a mesh.
    static CColladaGeometry* Build(CColladaDoc& doc, CXmlElement* geometry, CColladaBindMaterial* binding,
                                   bool skinned);
    // De-indexes a mesh element into a new buffer (not yet in the document's list).
    static std::unique_ptr<CColladaMeshBuffer> BuildMesh(CColladaDoc& doc, CXmlElement* mesh,
                                                         const LString& id, CColladaBindMaterial* binding,
                                                         bool skinned);

    // Draws under the loaded model-view: opaque batches now, blended ones deferred, invisible ones not.
    void Draw(CColladaDrawState& state);
    void ExtendBounds(float* box) const;

    CColladaMeshBuffer* buffer() const { return fBuffer; }
    const std::vector<CColladaMaterial*>& materials() const { return fMaterials; }
    CColladaBindMaterial* binding() const { return fBinding; }
    bool skinned() const { return fSkinned; }

private:
    CColladaMeshBuffer* fBuffer = nullptr;  // owned by the document
    std::vector<CColladaMaterial*> fMaterials;
    CColladaBindMaterial* fBinding = nullptr;
    bool fSkinned = false;
    bool fDoubleSided = false;
};
