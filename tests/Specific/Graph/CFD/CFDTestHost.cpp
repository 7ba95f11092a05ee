#include "tests/Specific/Graph/CFD/CFDTestHost.h"

#include <epoxy/gl.h>

namespace cfdtest {

plat::PlugInGLContext* GLHost::CreateSharingContext() {
    return Handle(plat::GLContext::Create(fContext->PixelFormat(), fContext).release());
}

void GLHost::DestroyContext(plat::PlugInGLContext* context) {
    plat::Release(From(context));
}

bool GLHost::MakeCurrent(plat::PlugInGLContext* context) {
    return context ? From(context)->MakeCurrent() : plat::GLContext::ClearCurrent();
}

TestImage::TestImage(uint32_t width, uint32_t height, const std::vector<float>& rgba, uint32_t target)
    : fWidth(width), fHeight(height), fTarget(target) {
    glGenTextures(1, &fName);
    glBindTexture(fTarget, fName);
    glTexImage2D(fTarget, 0, GL_RGBA32F, GLsizei(width), GLsizei(height), 0, GL_RGBA, GL_FLOAT, rgba.data());
    glTexParameteri(fTarget, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(fTarget, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(fTarget, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(fTarget, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(fTarget, 0);
    glFlush();
}

TestImage::~TestImage() {
    if (fName) glDeleteTextures(1, &fName);
}

bool TestImage::Bind(plat::PlugInGLContext*) {
    ++binds;
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(fTarget, fName);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();
    if (fTarget == GL_TEXTURE_RECTANGLE) glScalef(float(fWidth), float(fHeight), 1);
    glMatrixMode(GLenum(mode));
    fBound = true;
    return true;
}

void TestImage::Unbind(plat::PlugInGLContext*) {
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glActiveTexture(GL_TEXTURE0);
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glMatrixMode(GLenum(mode));
    glBindTexture(fTarget, 0);
    fBound = false;
}

Field ReadField(uint32_t texture) {
    Field f;
    glBindTexture(GL_TEXTURE_2D, texture);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    f.width = uint32_t(w);
    f.height = uint32_t(h);
    f.data.resize(size_t(w) * size_t(h) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    if (!f.data.empty()) glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, f.data.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return f;
}

uint32_t ErrorIn(GLHost& host, plat::PlugInGLContext* context) {
    plat::PlugInGLContext* previous = host.CurrentContext();
    if (!host.MakeCurrent(context)) return GL_INVALID_OPERATION;
    GLenum error = glGetError();
    while (glGetError() != GL_NO_ERROR) {
    }
    (void)host.MakeCurrent(previous);
    return error;
}

}  // namespace cfdtest
