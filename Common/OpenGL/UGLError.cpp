#include "Common/OpenGL/UGLError.h"

#include <epoxy/gl.h>

void UGLError::Clear() {
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

bool UGLError::Ok() {
    bool ok = true;
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) ok = false;
    return ok;
}
