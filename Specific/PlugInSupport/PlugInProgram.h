#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace plugin {

// A GLSL program of the current context's share group: vertex and fragment shader compiled and
// linked together, uniform locations looked up once and kept. Delete it in a context of that group.
class PlugInProgram {
public:
    PlugInProgram() = default;
    ~PlugInProgram() = default;  // makes no GL call: Delete first
    PlugInProgram(const PlugInProgram&) = delete;
    PlugInProgram& operator=(const PlugInProgram&) = delete;

    // False when a shader does not compile or the program does not link (Log says why).
    [[nodiscard]] bool Build(const char* vertexSource, const char* fragmentSource);
    void Delete();

    uint32_t Name() const { return fName; }
    const std::string& Log() const { return fLog; }
    void Use() const;
    // The location of a uniform (-1 when the program has none of that name).
    int32_t Uniform(const char* name);
    // Sets a sampler uniform to a texture unit; the program must be in use.
    void SetSampler(const char* name, int32_t unit);

private:
    uint32_t fName = 0;
    std::string fLog;
    std::vector<std::pair<std::string, int32_t>> fLocations;
};

}  // namespace plugin
