#include "Platform/Composer/GLDrawing.h"

#include <epoxy/gl.h>

#include <vector>

#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLObjectCounts.h"

namespace plat::gldraw {

namespace {

constexpr GLbitfield kAttribBits = GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT |
                                   GL_DEPTH_BUFFER_BIT | GL_SCISSOR_BIT | GL_TEXTURE_BIT | GL_TRANSFORM_BIT |
                                   GL_VIEWPORT_BIT | GL_POLYGON_BIT;

void PushIdentity(GLenum mode) {
    glMatrixMode(mode);
    glPushMatrix();
    glLoadIdentity();
}

void Pop(GLenum mode) {
    glMatrixMode(mode);
    glPopMatrix();
}

bool CompileShader(GLuint shader, const char* source, std::string* log) {
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok) return true;
    if (log) {
        GLint length = 0;
        glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
        std::vector<char> text(static_cast<size_t>(length > 0 ? length : 1), '\0');
        glGetShaderInfoLog(shader, static_cast<GLsizei>(text.size()), nullptr, text.data());
        *log = text.data();
    }
    return false;
}

void DisableTextureTargets() {
    for (GLenum target :
         {GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_3D, GL_TEXTURE_RECTANGLE, GL_TEXTURE_CUBE_MAP})
        glDisable(target);
}

}  // namespace

const char kPassThroughVertexShader[] =
    "void main() { gl_Position = gl_Vertex; gl_TexCoord[0] = gl_MultiTexCoord0; }\n";

ContextSwitch::ContextSwitch(GLContext* context) : fPrevious(GLContext::Current()) {
    fSwitched = context && context != fPrevious;
    fOk = !fSwitched || context->MakeCurrent();
}

ContextSwitch::~ContextSwitch() {
    if (!fSwitched || !fOk) return;
    // Best effort: a scope ending has no one to report a failed restore to.
    if (fPrevious)
        (void)fPrevious->MakeCurrent();
    else
        (void)GLContext::ClearCurrent();
}

StateScope::StateScope(bool identityMatrices) : fMatrices(identityMatrices) {
    glGetIntegerv(GL_CURRENT_PROGRAM, &fProgram);
    glPushAttrib(kAttribBits);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    if (fMatrices) {
        glActiveTexture(GL_TEXTURE0);
        PushIdentity(GL_TEXTURE);
        PushIdentity(GL_PROJECTION);
        PushIdentity(GL_MODELVIEW);
    }
}

StateScope::~StateScope() {
    if (fMatrices) {
        glActiveTexture(GL_TEXTURE0);
        Pop(GL_TEXTURE);
        Pop(GL_PROJECTION);
        Pop(GL_MODELVIEW);
    }
    // Framebuffers first: the draw buffers the attributes bring back belong to them.
    fFramebuffers.Restore();
    glPopClientAttrib();
    glPopAttrib();
    glUseProgram(static_cast<GLuint>(fProgram));
}

TextureFramebuffer::TextureFramebuffer(const TextureView& texture) {
    // The context keeps one framebuffer per texture; the texture is attached again at every use,
    // since a name may have been deleted and given to another texture meanwhile.
    GLContext* context = GLContext::Current();
    fFramebuffer = context ? context->TextureFramebuffer(texture.name) : 0;
    if (!fFramebuffer) {
        glGenFramebuffers(1, &fFramebuffer);
        CountGLFramebuffers();
        fOwned = true;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, fFramebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, texture.target, texture.name, 0);
    fComplete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glViewport(0, 0, static_cast<GLsizei>(texture.width), static_cast<GLsizei>(texture.height));
}

TextureFramebuffer::~TextureFramebuffer() {
    // Detached, so that a kept framebuffer holds no deleted texture's storage.
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    fPrevious.Restore();
    if (fOwned) glDeleteFramebuffers(1, &fFramebuffer);
}

uint32_t CompileProgram(const char* vertexSource, const char* fragmentSource, std::string* log) {
    GLuint vertex = glCreateShader(GL_VERTEX_SHADER);
    GLuint fragment = glCreateShader(GL_FRAGMENT_SHADER);
    GLuint program = 0;
    if (CompileShader(vertex, vertexSource ? vertexSource : kPassThroughVertexShader, log) &&
        CompileShader(fragment, fragmentSource, log)) {
        program = glCreateProgram();
        CountGLPrograms();
        glAttachShader(program, vertex);
        glAttachShader(program, fragment);
        glLinkProgram(program);
        GLint ok = 0;
        glGetProgramiv(program, GL_LINK_STATUS, &ok);
        if (!ok) {
            if (log) {
                GLint length = 0;
                glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
                std::vector<char> text(static_cast<size_t>(length > 0 ? length : 1), '\0');
                glGetProgramInfoLog(program, static_cast<GLsizei>(text.size()), nullptr, text.data());
                *log = text.data();
            }
            glDeleteProgram(program);
            program = 0;
        }
    }
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    return program;
}

uint32_t NewTexture(uint32_t target, uint32_t width, uint32_t height) {
    // Only errors of this call count.
    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    CountGLTextures();
    bool ok;
    {
        GLTextureBindingScope bind(target, name);
        glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexImage2D(target, 0, GL_RGBA8, static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0,
                     GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
        ok = glGetError() == GL_NO_ERROR;
    }
    if (!ok) {
        glDeleteTextures(1, &name);
        return 0;
    }
    return name;
}

void UprightCoordinates(const TextureView& texture, float out[4]) {
    bool rect = texture.target == GL_TEXTURE_RECTANGLE;
    float s = rect ? static_cast<float>(texture.width) : 1.0f;
    float t = rect ? static_cast<float>(texture.height) : 1.0f;
    out[0] = 0;
    out[2] = s;
    out[1] = texture.flipped ? t : 0;
    out[3] = texture.flipped ? 0 : t;
}

void DrawQuad(const float position[4], const float texCoord[4]) {
    const float vertices[8] = {position[0], position[1], position[0], position[3],
                               position[2], position[1], position[2], position[3]};
    const float coords[8] = {texCoord[0], texCoord[1], texCoord[0], texCoord[3],
                             texCoord[2], texCoord[1], texCoord[2], texCoord[3]};
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, vertices);
    glClientActiveTexture(GL_TEXTURE0);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, coords);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

void DrawTexture(const TextureView& texture, const float position[4], bool modulate) {
    glUseProgram(0);
    glActiveTexture(GL_TEXTURE0);
    DisableTextureTargets();
    glEnable(texture.target);
    glBindTexture(texture.target, texture.name);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, modulate ? GL_MODULATE : GL_REPLACE);
    float coords[4];
    UprightCoordinates(texture, coords);
    DrawQuad(position, coords);
}

}  // namespace plat::gldraw
