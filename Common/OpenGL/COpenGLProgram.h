#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"

// A shader program made on the common context. Compile and link logs reach the program log only
// while logging is on.
class COpenGLProgram {
public:
    COpenGLProgram();
    ~COpenGLProgram();
    COpenGLProgram(const COpenGLProgram&) = delete;
    COpenGLProgram& operator=(const COpenGLProgram&) = delete;

    // One source per non-empty text; an absent text removes that shader. Runs in the caller's scope.
    void SetCode(const char* vertex, const char* fragment);
    void SetCode(unsigned vertexCount, const char** vertex, unsigned fragmentCount, const char** fragment);
    bool SetShaderCode(unsigned type, unsigned& shader, unsigned count, const char** sources);
    void Link();

    unsigned program() const { return fProgram; }
    unsigned vertexShader() const { return fVertex; }
    unsigned fragmentShader() const { return fFragment; }
    bool linked() const { return fLinked; }

    static void StartLog();
    static LString StopLog();

private:
    static void Log(const char* text);

    unsigned fProgram = 0;
    unsigned fVertex = 0;
    unsigned fFragment = 0;
    bool fLinked = false;
};
