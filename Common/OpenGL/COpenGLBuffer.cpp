#include "Common/OpenGL/COpenGLBuffer.h"

#include <epoxy/gl.h>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"

COpenGLBuffer::~COpenGLBuffer() {
    if (!fName) return;
    COpenGLScope_Cca scope(*COpenGLCommonCtx::Use());
    glDeleteBuffers(1, &fName);
}

uint32_t COpenGLBuffer::Prepare(COpenGLContext_Cca& context) {
    if (!fName) {
        COpenGLScope_Cca scope(context);
        glGenBuffers(1, &fName);
    }
    return fName;
}

void COpenGLBuffer::Delete(COpenGLContext_Cca& context) {
    if (!fName) return;
    COpenGLScope_Cca scope(context);
    glDeleteBuffers(1, &fName);
    fName = 0;
}
