#pragma once

#include <vector>

#include "Orbilume/CSources/Models/CColladaElement.h"

class CColladaNode;

// The object of the visual-scene copy below "scene": its root nodes in document order.
class CColladaVisualScene : public CColladaElement {
public:
    static constexpr Kind kKind = kVisualScene;
    Kind kind() const override { return kKind; }

    std::vector<CColladaNode*>& roots() { return fRoots; }

private:
    std::vector<CColladaNode*> fRoots;
};
