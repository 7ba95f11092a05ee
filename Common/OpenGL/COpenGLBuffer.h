#pragma once

#include <cstdint>

#include "Common/Memory/CRefObj.h"

class COpenGLContext_Cca;

// Owner of one GL buffer object name, deleted on the common context.
class COpenGLBuffer : public CRefObj {
public:
    ~COpenGLBuffer() override;
    // Generates the name inside a scope on the context when there is none yet.
    uint32_t Prepare(COpenGLContext_Cca& context);
    void Delete(COpenGLContext_Cca& context);
    uint32_t name() const { return fName; }

private:
    uint32_t fName = 0;
};
