// A plug-in module for the tests: built on the plug-in interface alone, loaded at run time.

#include <epoxy/gl.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "Platform/Composer/PlugInInterface.h"

namespace {

using namespace plat;

// Names of textures the host gave back, deleted at the next execution (the host releases images on
// any thread, without a GL context).
std::mutex gReleasedMutex;
std::vector<GLuint> gReleased;
std::atomic<uint32_t> gReleasedCount{0};

void DeleteReleased() {
    std::vector<GLuint> names;
    {
        std::lock_guard<std::mutex> lock(gReleasedMutex);
        names.swap(gReleased);
    }
    if (!names.empty()) glDeleteTextures(static_cast<GLsizei>(names.size()), names.data());
}

class TextureProvider final : public PlugInImageProvider {
public:
    TextureProvider(GLuint name, uint32_t width, uint32_t height)
        : fName(name), fWidth(width), fHeight(height) {}
    PlugInRect Bounds() const override { return {0, 0, double(fWidth), double(fHeight)}; }
    uint32_t CopyTexture(PlugInGLContext*, const PlugInRect&, uint32_t& target, bool& flipped) override {
        target = GL_TEXTURE_2D;
        flipped = false;
        return fName;
    }
    void ReleaseTexture(uint32_t name) override {
        std::lock_guard<std::mutex> lock(gReleasedMutex);
        gReleased.push_back(name);
        ++gReleasedCount;
    }

private:
    GLuint fName;
    uint32_t fWidth, fHeight;
};

// Offers ARGB8 only, so the host converts.
class BufferProvider final : public PlugInImageProvider {
public:
    BufferProvider(std::vector<uint8_t> argb, uint32_t width, uint32_t height)
        : fArgb(std::move(argb)), fWidth(width), fHeight(height) {}
    PlugInRect Bounds() const override { return {0, 0, double(fWidth), double(fHeight)}; }
    std::vector<PlugInBufferFormat> BufferFormats() const override { return {PlugInBufferFormat::ARGB8}; }
    bool RenderToBuffer(void* address, size_t bytesPerRow, PlugInBufferFormat format,
                        const PlugInRect&) override {
        if (format != PlugInBufferFormat::ARGB8) return false;
        for (uint32_t y = 0; y < fHeight; ++y)
            std::memcpy(static_cast<uint8_t*>(address) + bytesPerRow * y,
                        fArgb.data() + size_t{fWidth} * 4 * y, size_t{fWidth} * 4);
        return true;
    }

private:
    std::vector<uint8_t> fArgb;
    uint32_t fWidth, fHeight;
};

// Draws itself into the target the host binds.
class RenderedProvider final : public PlugInImageProvider {
public:
    PlugInRect Bounds() const override { return {0, 0, 3, 2}; }
    bool CanRender(PlugInGLContext*) const override { return true; }
    bool Render(PlugInGLContext*, const PlugInRect&) override {
        glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        return true;
    }
};

// Fills float buffers only.
class FloatProvider final : public PlugInImageProvider {
public:
    PlugInRect Bounds() const override { return {0, 0, 2, 2}; }
    std::vector<PlugInBufferFormat> BufferFormats() const override { return {PlugInBufferFormat::RGBAf}; }
    bool RenderToBuffer(void* address, size_t bytesPerRow, PlugInBufferFormat, const PlugInRect&) override {
        for (int y = 0; y < 2; ++y) {
            auto* row = reinterpret_cast<float*>(static_cast<uint8_t*>(address) + bytesPerRow * size_t(y));
            for (int x = 0; x < 2; ++x) {
                const float pixel[4] = {1.0f, 0.5f, 2.0f, 1.0f};  // blue beyond 1 is clamped
                std::memcpy(row + 4 * x, pixel, sizeof(pixel));
            }
        }
        return true;
    }
};

// Inverts its input twice: on the GPU through a texture lock (output from a texture) and on the CPU
// through a buffer lock (output from a buffer).
class InvertPatch final : public PlugInPatch {
public:
    bool Execute(PlugInContext& context, double, PlugInPorts& ports, const PlugInStructure&) override {
        DeleteReleased();
        ++fExecutions;
        ports.SetIndexOutput("outputExecutions", fExecutions);
        ports.SetIndexOutput("outputReleased", gReleasedCount.load());
        ports.SetBoolOutput("outputImageChanged", ports.InputChanged("inputImage"));
        ports.SetBoolOutput(
            "outputHostContext",
            context.UserInfo(kPlugInUserInfoHostContext).PointerValue() == context.GLContext());
        PlugInColor tint;
        ports.SetBoolOutput("outputTintAbsent", !ports.ColorInput("inputTint", tint));
        ports.SetStringOutput("outputTag", context.UserInfo("test.tag").StringValue().c_str());
        ports.SetImageOutput("outputRendered", std::make_unique<RenderedProvider>());
        ports.SetImageOutput("outputFloat", std::make_unique<FloatProvider>());
        PlugInImageSource* image = ports.ImageInput("inputImage");
        if (!image) {
            ports.SetImageOutput("outputTexture", nullptr);
            ports.SetImageOutput("outputBuffer", nullptr);
            return true;
        }
        ports.SetImageOutput("outputTexture", InvertOnGPU(context, *image));
        ports.SetImageOutput("outputBuffer", InvertOnCPU(*image));
        return true;
    }

private:
    static std::unique_ptr<PlugInImageProvider> InvertOnGPU(PlugInContext& context,
                                                            PlugInImageSource& image) {
        PlugInTextureInfo info;
        if (!image.LockTexture(info)) return nullptr;
        GLuint texture = 0, framebuffer = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, GLsizei(info.width), GLsizei(info.height), 0, GL_BGRA,
                     GL_UNSIGNED_BYTE, nullptr);
        glBindTexture(GL_TEXTURE_2D, 0);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
        GLint previous = 0;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
        glViewport(0, 0, GLsizei(info.width), GLsizei(info.height));
        glDisable(GL_BLEND);
        image.BindTexture(context.GLContext(), 0, true);
        glActiveTexture(GL_TEXTURE0);
        glEnable(info.target);
        glTexParameteri(info.target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(info.target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
        glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_REPLACE);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_TEXTURE);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_ONE_MINUS_SRC_COLOR);
        glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_REPLACE);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, GL_TEXTURE);
        static const float vertices[8] = {-1, -1, -1, 1, 1, -1, 1, 1};
        static const float coords[8] = {0, 0, 0, 1, 1, 0, 1, 1};
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(2, GL_FLOAT, 0, vertices);
        glClientActiveTexture(GL_TEXTURE0);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, 0, coords);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glDisable(info.target);
        image.UnbindTexture(context.GLContext(), 0);
        glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previous));
        glDeleteFramebuffers(1, &framebuffer);
        glPopClientAttrib();
        glPopAttrib();
        image.UnlockTexture();
        return std::make_unique<TextureProvider>(texture, info.width, info.height);
    }

    static std::unique_ptr<PlugInImageProvider> InvertOnCPU(PlugInImageSource& image) {
        PlugInBufferInfo info;
        if (!image.LockBuffer(info)) return nullptr;
        std::vector<uint8_t> argb(size_t{info.width} * info.height * 4);
        for (uint32_t y = 0; y < info.height; ++y) {
            const auto* row = static_cast<const uint8_t*>(info.address) + info.bytesPerRow * y;
            for (uint32_t x = 0; x < info.width; ++x) {
                const uint8_t* bgra = row + 4 * x;
                uint8_t* out = &argb[(size_t{y} * info.width + x) * 4];
                out[0] = bgra[3];
                out[1] = uint8_t(bgra[3] - bgra[2]);
                out[2] = uint8_t(bgra[3] - bgra[1]);
                out[3] = uint8_t(bgra[3] - bgra[0]);
            }
        }
        image.UnlockBuffer();
        return std::make_unique<BufferProvider>(std::move(argb), info.width, info.height);
    }

    uint32_t fExecutions = 0;
};

class InvertClass final : public PlugInPatchClass {
public:
    const char* Name() const override { return "TestInvert"; }
    PlugInAttributes Attributes() const override {
        return {"Test Invert", "Inverts an image two ways", "Tests"};
    }
    std::vector<PlugInPortDescription> Ports() const override {
        auto port = [](const char* key, PlugInPortType type, bool output, const char* name = "") {
            PlugInPortDescription p;
            p.key = key;
            p.type = type;
            p.output = output;
            p.attributes.name = name;
            return p;
        };
        PlugInPortDescription amount = port("inputAmount", PlugInPortType::Number, false, "Amount");
        amount.attributes.defaultValue = PlugInValue::Number(0.5);
        amount.attributes.hasMinimum = amount.attributes.hasMaximum = true;
        amount.attributes.maximum = 2;
        return {port("inputImage", PlugInPortType::Image, false, "Image"),
                amount,
                port("inputTint", PlugInPortType::Color, false),
                port("outputTintAbsent", PlugInPortType::Boolean, true),
                port("outputTexture", PlugInPortType::Image, true),
                port("outputBuffer", PlugInPortType::Image, true),
                port("outputRendered", PlugInPortType::Image, true),
                port("outputFloat", PlugInPortType::Image, true),
                port("outputExecutions", PlugInPortType::Index, true),
                port("outputReleased", PlugInPortType::Index, true),
                port("outputImageChanged", PlugInPortType::Boolean, true),
                port("outputHostContext", PlugInPortType::Boolean, true),
                port("outputTag", PlugInPortType::String, true)};
    }
    PlugInExecutionMode ExecutionMode() const override { return PlugInExecutionMode::Processor; }
    PlugInTimeMode TimeMode() const override { return PlugInTimeMode::None; }
    std::unique_ptr<PlugInPatch> CreatePatch() const override { return std::make_unique<InvertPatch>(); }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) bool OrbilumeRegisterPlugIn(
    plat::PlugInRegistrar& registrar) {
    if (registrar.InterfaceVersion() != plat::kPlugInInterfaceVersion) return false;
    return registrar.RegisterPatchClass(std::make_unique<InvertClass>());
}
