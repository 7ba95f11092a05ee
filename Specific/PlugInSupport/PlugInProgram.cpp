#include "Specific/PlugInSupport/PlugInProgram.h"

#include <epoxy/gl.h>

#include <cstring>

namespace plugin {
namespace {

GLuint Compile(GLenum type, const char* source, std::string& log) {
    GLuint shader = glCreateShader(type);
    if (!shader) return 0;
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok == GL_TRUE) return shader;
    char text[1024] = {};
    glGetShaderInfoLog(shader, sizeof text - 1, nullptr, text);
    log = text;
    glDeleteShader(shader);
    return 0;
}

}  // namespace

bool PlugInProgram::Build(const char* vertexSource, const char* fragmentSource) {
    Delete();
    GLuint vertex = Compile(GL_VERTEX_SHADER, vertexSource, fLog);
    GLuint fragment = vertex ? Compile(GL_FRAGMENT_SHADER, fragmentSource, fLog) : 0;
    GLuint program = fragment ? glCreateProgram() : 0;
    if (program) {
        glAttachShader(program, vertex);
        glAttachShader(program, fragment);
        glLinkProgram(program);
        GLint ok = GL_FALSE;
        glGetProgramiv(program, GL_LINK_STATUS, &ok);
        if (ok != GL_TRUE) {
            char text[1024] = {};
            glGetProgramInfoLog(program, sizeof text - 1, nullptr, text);
            fLog = text;
            glDeleteProgram(program);
            program = 0;
        }
    }
    // Attached shaders live on with the program.
    if (vertex) glDeleteShader(vertex);
    if (fragment) glDeleteShader(fragment);
    fName = program;
    return fName != 0;
}

void PlugInProgram::Delete() {
    if (fName) glDeleteProgram(fName);
    fName = 0;
    fLocations.clear();
}

void PlugInProgram::Use() const {
    glUseProgram(fName);
}

int32_t PlugInProgram::Uniform(const char* name) {
    for (const auto& [key, location] : fLocations)
        if (key == name) return location;
    int32_t location = fName ? glGetUniformLocation(fName, name) : -1;
    fLocations.emplace_back(name, location);
    return location;
}

void PlugInProgram::SetSampler(const char* name, int32_t unit) {
    int32_t location = Uniform(name);
    if (location >= 0) glUniform1i(location, unit);
}

}  // namespace plugin
