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

// Saves the framebuffer binding, binds a framebuffer object and restores the binding at the end.
class COpenGLFBScope {
public:
    explicit COpenGLFBScope(uint32_t framebuffer);
    ~COpenGLFBScope();
    COpenGLFBScope(const COpenGLFBScope&) = delete;
    COpenGLFBScope& operator=(const COpenGLFBScope&) = delete;

private:
    int32_t fSaved = 0;
};
