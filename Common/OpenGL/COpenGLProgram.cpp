#include "Common/OpenGL/COpenGLProgram.h"

#include <epoxy/gl.h>

#include <cstring>
#include <mutex>
#include <string>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Platform/GL/GLObjectCounts.h"

namespace {

constexpr GLsizei kInfoLogSize = 2048;

std::mutex gLogMutex;
bool gLog = false;
std::string gLogBuf;

}  // namespace

COpenGLProgram::COpenGLProgram() {
    COpenGLScope_Cca scope(*COpenGLCommonCtx::Use());
    fProgram = glCreateProgram();
    plat::CountGLPrograms();
}

COpenGLProgram::~COpenGLProgram() {
    if (!fProgram) return;
    COpenGLScope_Cca scope(*COpenGLCommonCtx::Use());
    if (fFragment) {
        glDetachShader(fProgram, fFragment);
        glDeleteShader(fFragment);
    }
    if (fVertex) {
        glDetachShader(fProgram, fVertex);
        glDeleteShader(fVertex);
    }
    glDeleteProgram(fProgram);
}

void COpenGLProgram::SetCode(const char* vertex, const char* fragment) {
    const bool hasVertex = vertex && *vertex;
    const bool hasFragment = fragment && *fragment;
    SetCode(hasVertex ? 1 : 0, &vertex, hasFragment ? 1 : 0, &fragment);
}

void COpenGLProgram::SetCode(unsigned vertexCount, const char** vertex, unsigned fragmentCount,
                             const char** fragment) {
    if (!fProgram) return;
    fLinked = false;
    if (!SetShaderCode(GL_VERTEX_SHADER, fVertex, vertexCount, vertex)) return;
    if (!SetShaderCode(GL_FRAGMENT_SHADER, fFragment, fragmentCount, fragment)) return;
    Link();
}

bool COpenGLProgram::SetShaderCode(unsigned type, unsigned& shader, unsigned count, const char** sources) {
    if (count == 0) {
        if (shader) {
            glDetachShader(fProgram, shader);
            glDeleteShader(shader);
            shader = 0;
        }
        return true;
    }
    if (!shader) {
        shader = glCreateShader(type);
        if (!shader) return false;
        glAttachShader(fProgram, shader);
    }
    glShaderSource(shader, static_cast<GLsizei>(count), sources, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok) return true;
    char log[kInfoLogSize] = {};
    glGetShaderInfoLog(shader, kInfoLogSize, nullptr, log);
    Log(log);
    return false;
}

void COpenGLProgram::Link() {
    glLinkProgram(fProgram);
    GLint ok = GL_FALSE;
    glGetProgramiv(fProgram, GL_LINK_STATUS, &ok);
    if (ok) {
        fLinked = true;
        return;
    }
    char log[kInfoLogSize] = {};
    glGetProgramInfoLog(fProgram, kInfoLogSize, nullptr, log);
    Log(log);
}

void COpenGLProgram::StartLog() {
    std::lock_guard<std::mutex> lock(gLogMutex);
    gLogBuf.clear();
    gLog = true;
}

LString COpenGLProgram::StopLog() {
    std::lock_guard<std::mutex> lock(gLogMutex);
    gLog = false;
    LString text(gLogBuf.data(), static_cast<uint32_t>(gLogBuf.size()));
    gLogBuf.clear();
    return text;
}

void COpenGLProgram::Log(const char* text) {
    std::lock_guard<std::mutex> lock(gLogMutex);
    if (!gLog) return;
    // Each line ends with a newline, also the last one.
    while (*text) {
        const char* end = std::strchr(text, '\n');
        size_t length = end ? static_cast<size_t>(end - text) : std::strlen(text);
        gLogBuf.append(text, length);
        gLogBuf.push_back('\n');
        text += length;
        if (*text == '\n') ++text;
    }
}
