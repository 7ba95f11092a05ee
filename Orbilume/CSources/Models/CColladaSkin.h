#pragma once

#include <cstdint>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Models/CColladaElement.h"

class CColladaBindMaterial;
class CColladaDoc;
class CColladaGeometry;
class CColladaNode;
class CColladaSkin;
struct CColladaDrawState;

// The object of a controller copy: its material binding, skeleton root and skin.
class CColladaController : public CColladaElement {
public:
    static constexpr Kind kKind = kController;
    Kind kind() const override { return kKind; }

    // From an "instance_controller": the controller copy's object when its skin builds, else null.
    static CColladaController* Build(CColladaDoc& doc, CXmlElement* instance,
                                     std::vector<CXmlElement*>& chain);

    CColladaSkin* skin() const { return fSkin; }
    CXmlElement* skeletonRoot() const { return fSkeleton; }
    CColladaBindMaterial* binding() const { return fBinding; }

private:
    CColladaBindMaterial* fBinding = nullptr;
    CXmlElement* fSkeleton = nullptr;
    CColladaSkin* fSkin = nullptr;
};

// The object of a controller's "skin": joints with their inverse bind matrices, per source vertex its
// bind-shape position and influences, and the skinned geometry whose positions it writes in world
// space.
class CColladaSkin : public CColladaElement {
public:
    static constexpr Kind kKind = kSkin;
    Kind kind() const override { return kKind; }

    struct Joint {
        LString name;
        CColladaNode* node;
        float inverseBind[16];
    };
    struct Influence {
        int32_t joint;  // -1: the bind shape
        float weight;
        float vector[4];
    };
    struct Vertex {
        float position[4];
        std::vector<Influence> influences;
    };

    // The skin of the controller copy, built with the skeleton root; null when it does not build.
    static CColladaSkin* Build(CColladaDoc& doc, CXmlElement* skin, CXmlElement* skeleton,
                               CColladaBindMaterial* binding, std::vector<CXmlElement*>& chain);
    // Writes the skinned positions from the joints' world matrices.
    void Skin();

    const std::vector<Joint>& joints() const { return fJoints; }
    const std::vector<Vertex>& vertices() const { return fVertices; }
    const float* bindShape() const { return fBindShape; }
    CColladaGeometry* geometry() const { return fGeometry; }

private:
    [[nodiscard]] bool Read(CColladaDoc& doc, CXmlElement* skeleton, CColladaBindMaterial* binding,
                            std::vector<CXmlElement*>& chain);

    std::vector<Joint> fJoints;
    float fBindShape[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    CColladaGeometry* fGeometry = nullptr;
    std::vector<Vertex> fVertices;
};
