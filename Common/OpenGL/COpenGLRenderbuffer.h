#pragma once

#include <cstdint>

#include "Common/Memory/CRefObj.h"

class COpenGLContext_Cca;

// Owner of one renderbuffer name (EXT entry points), deleted on the common context.
class COpenGLRenderbuffer : public CRefObj {
public:
    ~COpenGLRenderbuffer() override;
    uint32_t Prepare(COpenGLContext_Cca& context);
    uint32_t name() const { return fName; }

private:
    uint32_t fName = 0;
};
