#include "Orbilume/CSources/Models/CColladaElement.h"

bool CColladaElement::ResolveTarget(SColladaTarget&) {
    return false;
}

void CColladaElement::SetAnimated(const SColladaTarget&, uint32_t, const float*) {}
