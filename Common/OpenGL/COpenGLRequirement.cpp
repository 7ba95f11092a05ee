#include "Common/OpenGL/COpenGLRequirement.h"

#include <epoxy/gl.h>

#include <cstring>
#include <string>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"

namespace {

const char* Text(GLenum name) {
    const char* text = reinterpret_cast<const char*>(glGetString(name));
    return text ? text : "";
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Removes from missing every name equal to a word of the extension string.
void StrikeReported(const char* reported, CPointerArray<const char>& missing) {
    const char* p = reported;
    while (*p && missing.Count() > 0) {
        while (IsSpace(*p)) ++p;
        const char* start = p;
        while (*p && !IsSpace(*p)) ++p;
        const size_t length = static_cast<size_t>(p - start);
        if (length == 0) break;
        for (uint32_t i = missing.Count(); i > 0; --i) {
            const char* name = missing[i - 1];
            if (std::strlen(name) == length && std::memcmp(name, start, length) == 0) missing.Remove(i - 1);
        }
    }
}

}  // namespace

bool COpenGLRequirement::VersionTooLow(const char* required, const char* reported) {
    return std::strcmp(required ? required : "", reported ? reported : "") > 0;
}

bool COpenGLRequirement::Test(COpenGLContext_Cca& context, COpenGLShortfall* shortfall) const {
    std::string version, glslVersion;
    CPointerArray<const char> missing;
    bool listed = true;
    {
        COpenGLScope_Cca scope(context);
        version = Text(GL_VERSION);
        glslVersion = Text(GL_SHADING_LANGUAGE_VERSION);
        if (extensions.Count() > 0) {
            // Without the list (memory ran out) the test cannot pass.
            listed = missing.Copy(extensions);
            if (listed) StrikeReported(Text(GL_EXTENSIONS), missing);
        }
    }
    const bool glLow = VersionTooLow(glVersion, version.c_str());
    const bool glslLow = VersionTooLow(this->glslVersion, glslVersion.c_str());
    if (!glLow && !glslLow && listed && missing.Count() == 0) return true;
    if (shortfall) {
        shortfall->glVersionLow = glLow;
        shortfall->glslVersionLow = glslLow;
        (void)shortfall->missing.Copy(missing);  // memory ran out: fewer names, still a shortfall
    }
    return false;
}

void COpenGLRequirement::MakeStartup(COpenGLRequirement& requirement) {
    static const char* const kExtensions[] = {
        "GL_ARB_vertex_buffer_object", "GL_ARB_shader_objects",           "GL_ARB_vertex_shader",
        "GL_ARB_fragment_shader",      "GL_ARB_texture_non_power_of_two", "GL_ARB_point_sprite",
        "GL_EXT_framebuffer_object",   "GL_ARB_texture_rectangle",
    };
    requirement.glVersion = "1.4";
    requirement.glslVersion = "1.2";
    requirement.extensions.RemoveAll();
    for (const char* name : kExtensions) requirement.extensions.Append(name);
}
