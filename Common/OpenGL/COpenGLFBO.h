#pragma once

#include <cstdint>

#include "Common/Memory/CRefObj.h"

class COpenGLContext_Cca;

// Owner of one framebuffer object name. Made with the EXT entry points: on Mesa only those objects
// are visible to every context of the share group.
class COpenGLFBO : public CRefObj {
public:
    ~COpenGLFBO() override;
    // Generates the name when there is none; runs in the caller's scope.
    uint32_t Prepare(COpenGLContext_Cca& context);
    uint32_t name() const { return fName; }

private:
    uint32_t fName = 0;
};
