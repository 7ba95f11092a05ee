#include "Specific/Graph/CFD/CExtTex.h"

#include <epoxy/gl.h>

namespace cfd {

CTexSmpl::CTexSmpl(const CExtTex& texture) {
    if (!texture.valid()) return;
    fTarget = texture.target();
    glGetTexParameteriv(fTarget, GL_TEXTURE_MIN_FILTER, &fMin);
    glGetTexParameteriv(fTarget, GL_TEXTURE_MAG_FILTER, &fMag);
}

CTexSmpl::~CTexSmpl() {
    if (!fTarget) return;
    glTexParameteri(fTarget, GL_TEXTURE_MAG_FILTER, fMag);
    glTexParameteri(fTarget, GL_TEXTURE_MIN_FILTER, fMin);
}

}  // namespace cfd
