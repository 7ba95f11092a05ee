#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/BuiltinNodeInstances.h"
#include "Platform/Composer/CompositionGraph.h"
#include "Platform/Composer/GLDrawing.h"
#include "Platform/Composer/GLTextureImage.h"
#include "Platform/Composer/ImageConversion.h"
#include "Platform/Composer/ImageTexturePool.h"
#include "Platform/Composer/NodeInstance.h"

namespace plat {

namespace {

constexpr float kFullQuad[4] = {-1, -1, 1, 1};
constexpr float kUnitCoordinates[4] = {0, 0, 1, 1};

void PrepareFullFrameDraw() {
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

// Binds an image (or nothing) to a texture unit as the given target, upright.
void BindImage(const Value& value, uint32_t unit, uint32_t target, ImageTexturePool* pool) {
    glActiveTexture(GL_TEXTURE0 + unit);
    TextureView view;
    const Image* image = value.ImageValue();
    if (image && TextureForImage(*image, target, true, view, pool)) {
        glBindTexture(target, view.name);
    } else {
        glBindTexture(target, 0);
    }
}

// An image of the renderer's pool drawn through a framebuffer around it: the output of image
// shaders and crossfades.
Ref<GLTextureImage> RenderIntoNewImage(RenderEnvironment& env, uint32_t width, uint32_t height,
                                       const std::function<void()>& draw) {
    Ref<GLTextureImage> image = env.texturePool->CreateImage(GL_TEXTURE_2D, width, height);
    if (!image) return nullptr;
    gldraw::TextureFramebuffer framebuffer(image->Texture());
    if (!framebuffer.Complete()) return nullptr;
    draw();
    return image;
}

// glsl (a consumer drawing the full viewport) and imageShader (the same into an output image).
class ShaderNode final : public NodeInstance {
public:
    ShaderNode(const GraphNode& node, bool intoImage) : fIntoImage(intoImage) {
        fFragment = node.state[kShaderStateFragment].StringValue();
        fVertex = node.state[kShaderStateVertex].StringValue();
        size_t first = intoImage ? 2 : 0;
        for (size_t i = first; i < node.description.inputs.size(); ++i)
            fUniforms.push_back({i, node.description.inputs[i].key, node.description.inputs[i].type});
    }

    bool Start(RenderEnvironment&) override {
        std::string log;
        fProgram =
            gldraw::CompileProgram(fVertex.empty() ? nullptr : fVertex.c_str(), fFragment.c_str(), &log);
        if (!fProgram) return false;
        uint32_t unit = 0;
        for (Uniform& u : fUniforms) {
            u.location = glGetUniformLocation(fProgram, u.key.c_str());
            if (u.type == PortType::Structure) u.count = ArraySize(u.key);
            if (u.type == PortType::Image) {
                u.unit = unit++;
                u.target = SamplerTarget(u.key);
            }
        }
        fTime = glGetUniformLocation(fProgram, "time");
        fResolution = glGetUniformLocation(fProgram, "resolution");
        return true;
    }

    void Stop(RenderEnvironment&) override {
        glDeleteProgram(fProgram);
        fProgram = 0;
    }

    bool Execute(NodeExecution& execution) override {
        RenderEnvironment& env = execution.Environment();
        gldraw::StateScope scope(true);
        if (!fIntoImage) {
            Draw(execution, env.viewport.width, env.viewport.height);
            return true;
        }
        uint32_t width = execution.Input(0).ToIndex();
        uint32_t height = execution.Input(1).ToIndex();
        if (!width || !height) OutputSize(execution, width, height);
        Ref<GLTextureImage> image = RenderIntoNewImage(env, width, height, [&] {
            Draw(execution, static_cast<int32_t>(width), static_cast<int32_t>(height));
        });
        execution.SetOutput(0, Value(image.get()));
        return image != nullptr;
    }

private:
    static constexpr GLint kMaxArray = 64;

    struct Uniform {
        size_t port;
        std::string key;
        PortType type;
        GLint location = -1;
        GLint count = 0;  // elements of a float array uniform
        uint32_t unit = 0;
        uint32_t target = GL_TEXTURE_2D;
    };

    // The size and type of the active uniform of that name (an array's name or its "[0]").
    bool ActiveUniform(const std::string& key, GLint& size, GLenum& type) const {
        GLint count = 0;
        glGetProgramiv(fProgram, GL_ACTIVE_UNIFORMS, &count);
        for (GLint i = 0; i < count; ++i) {
            char name[256];
            glGetActiveUniform(fProgram, static_cast<GLuint>(i), sizeof(name), nullptr, &size, &type, name);
            if (key == name || key + "[0]" == name) return true;
        }
        return false;
    }

    uint32_t SamplerTarget(const std::string& key) const {
        GLint size = 0;
        GLenum type = 0;
        return ActiveUniform(key, size, type) && type == GL_SAMPLER_2D_RECT ? GL_TEXTURE_RECTANGLE
                                                                            : GL_TEXTURE_2D;
    }

    // The element count of a float array uniform (at most kMaxArray); 0 for anything else.
    GLint ArraySize(const std::string& key) const {
        GLint size = 0;
        GLenum type = 0;
        return ActiveUniform(key, size, type) && type == GL_FLOAT ? std::min(size, kMaxArray) : 0;
    }

    // Numbers of an array, or of a dictionary in its order; missing and non-finite entries 0.
    static void StructureNumbers(const Value& v, float* out, GLint count) {
        std::fill(out, out + count, 0.0f);
        if (v.Kind() == ValueKind::Array) {
            const ValueArray& a = v.ArrayValue();
            for (GLint i = 0; i < count && static_cast<size_t>(i) < a.size(); ++i)
                out[i] = static_cast<float>(a[static_cast<size_t>(i)].ToNumber());
        } else if (v.Kind() == ValueKind::Dictionary) {
            const Dictionary& d = v.DictionaryValue();
            for (GLint i = 0; i < count && static_cast<size_t>(i) < d.Count(); ++i)
                out[i] = static_cast<float>(d.ValueAt(static_cast<size_t>(i)).ToNumber());
        }
        for (GLint i = 0; i < count; ++i) {
            if (!std::isfinite(out[i])) out[i] = 0;
        }
    }

    // The size of the first image input, else the viewport's.
    void OutputSize(const NodeExecution& execution, uint32_t& width, uint32_t& height) const {
        for (const Uniform& u : fUniforms) {
            const Image* image = execution.Input(u.port).ImageValue();
            if (u.type == PortType::Image && image) {
                width = width ? width : image->Width();
                height = height ? height : image->Height();
                return;
            }
        }
        const Viewport& v = execution.Environment().viewport;
        width = width ? width : static_cast<uint32_t>(std::max(v.width, 1));
        height = height ? height : static_cast<uint32_t>(std::max(v.height, 1));
    }

    void Draw(const NodeExecution& execution, int32_t width, int32_t height) {
        PrepareFullFrameDraw();
        glUseProgram(fProgram);
        for (const Uniform& u : fUniforms) {
            const Value& v = execution.Input(u.port);
            if (u.type == PortType::Image) {
                BindImage(v, u.unit, u.target, execution.Environment().texturePool);
                glUniform1i(u.location, static_cast<GLint>(u.unit));
                continue;
            }
            if (u.location < 0) continue;
            switch (u.type) {
                case PortType::Boolean:
                    glUniform1i(u.location, v.ToBool() ? 1 : 0);
                    break;
                case PortType::Index:
                    glUniform1i(u.location, static_cast<GLint>(std::min<uint32_t>(v.ToIndex(), INT32_MAX)));
                    break;
                case PortType::Number:
                    glUniform1f(u.location, static_cast<float>(v.ToNumber()));
                    break;
                case PortType::Color: {
                    Color c = v.ColorValue();
                    glUniform4f(u.location, c.red, c.green, c.blue, c.alpha);
                    break;
                }
                case PortType::Structure: {
                    if (u.count <= 0) break;
                    float values[kMaxArray];
                    StructureNumbers(v, values, u.count);
                    glUniform1fv(u.location, u.count, values);
                    break;
                }
                default:
                    break;
            }
        }
        glActiveTexture(GL_TEXTURE0);
        if (fTime >= 0) glUniform1f(fTime, static_cast<float>(execution.Time()));
        if (fResolution >= 0) glUniform2f(fResolution, static_cast<float>(width), static_cast<float>(height));
        gldraw::DrawQuad(kFullQuad, kUnitCoordinates);
    }

    bool fIntoImage;
    std::string fFragment;
    std::string fVertex;
    std::vector<Uniform> fUniforms;
    GLuint fProgram = 0;
    GLint fTime = -1;
    GLint fResolution = -1;
};

constexpr char kCrossfadeShader[] = R"(
uniform sampler2D source;
uniform sampler2D destination;
uniform float hasSource;
uniform float hasDestination;
uniform float progress;
void main() {
    vec2 t = gl_TexCoord[0].st;
    vec4 a = texture2D(source, t) * hasSource;
    vec4 b = texture2D(destination, t) * hasDestination;
    gl_FragColor = mix(a, b, clamp(progress, 0.0, 1.0));
}
)";

// Mixes source towards destination by progress, at the source's size (the destination's without one).
class CrossfadeNode final : public NodeInstance {
public:
    bool Start(RenderEnvironment&) override {
        fProgram = gldraw::CompileProgram(nullptr, kCrossfadeShader, nullptr);
        return fProgram != 0;
    }
    void Stop(RenderEnvironment&) override {
        glDeleteProgram(fProgram);
        fProgram = 0;
    }
    bool Execute(NodeExecution& execution) override {
        const Value& source = execution.Input(0);
        const Value& destination = execution.Input(1);
        const Image* sized = source.ImageValue() ? source.ImageValue() : destination.ImageValue();
        if (!sized) {
            execution.SetOutput(0, Value());
            return true;
        }
        gldraw::StateScope scope(true);
        Ref<GLTextureImage> image =
            RenderIntoNewImage(execution.Environment(), sized->Width(), sized->Height(), [&] {
                PrepareFullFrameDraw();
                glUseProgram(fProgram);
                BindImage(source, 0, GL_TEXTURE_2D, execution.Environment().texturePool);
                BindImage(destination, 1, GL_TEXTURE_2D, execution.Environment().texturePool);
                glActiveTexture(GL_TEXTURE0);
                glUniform1i(glGetUniformLocation(fProgram, "source"), 0);
                glUniform1i(glGetUniformLocation(fProgram, "destination"), 1);
                glUniform1f(glGetUniformLocation(fProgram, "hasSource"), source.ImageValue() ? 1.0f : 0.0f);
                glUniform1f(glGetUniformLocation(fProgram, "hasDestination"),
                            destination.ImageValue() ? 1.0f : 0.0f);
                glUniform1f(glGetUniformLocation(fProgram, "progress"),
                            static_cast<float>(execution.Input(2).ToNumber()));
                gldraw::DrawQuad(kFullQuad, kUnitCoordinates);
            });
        execution.SetOutput(0, Value(image.get()));
        return image != nullptr;
    }

private:
    GLuint fProgram = 0;
};

}  // namespace

std::unique_ptr<NodeInstance> MakeShaderNode(const GraphNode& node, bool intoImage) {
    return std::make_unique<ShaderNode>(node, intoImage);
}

std::unique_ptr<NodeInstance> MakeCrossfadeNode(const GraphNode&) {
    return std::make_unique<CrossfadeNode>();
}

}  // namespace plat
