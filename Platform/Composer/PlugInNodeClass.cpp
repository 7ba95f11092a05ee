#include "Platform/Composer/PlugInNodeClass.h"

#include <epoxy/gl.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "Platform/Composer/BufferImage.h"
#include "Platform/Composer/CompositionGraph.h"
#include "Platform/Composer/CompositionKeys.h"
#include "Platform/Composer/GLDrawing.h"
#include "Platform/Composer/GLTextureImage.h"
#include "Platform/Composer/ImageConversion.h"
#include "Platform/Composer/ImageTexturePool.h"
#include "Platform/Composer/NodeInstance.h"
#include "Platform/Composer/PlugInInterface.h"
#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLShareGroup.h"

namespace plat {

namespace {

PlugInGLContext* Handle(GLContext* context) {
    return reinterpret_cast<PlugInGLContext*>(context);
}

GLContext* FromHandle(PlugInGLContext* context) {
    return reinterpret_cast<GLContext*>(context);
}

// Plug-in port types are numbered as the engine's port types, so they convert by value.
constexpr bool SameNumber(PlugInPortType a, PortType b) {
    return static_cast<uint32_t>(a) == static_cast<uint32_t>(b);
}
static_assert(SameNumber(PlugInPortType::Boolean, PortType::Boolean));
static_assert(SameNumber(PlugInPortType::Index, PortType::Index));
static_assert(SameNumber(PlugInPortType::Number, PortType::Number));
static_assert(SameNumber(PlugInPortType::String, PortType::String));
static_assert(SameNumber(PlugInPortType::Color, PortType::Color));
static_assert(SameNumber(PlugInPortType::Image, PortType::Image));
static_assert(SameNumber(PlugInPortType::Structure, PortType::Structure));

PortType ToPortType(PlugInPortType type) {
    uint32_t t = static_cast<uint32_t>(type);
    return t >= 1 && t <= 7 ? static_cast<PortType>(t) : PortType::Other;
}

PlugInStructure ToPlugInStructure(const Value& value) {
    PlugInStructure s;
    if (value.Kind() == ValueKind::Array) {
        for (const Value& v : value.ArrayValue()) s.Append(ToPlugInValue(v));
    } else {
        for (const auto& [k, v] : value.DictionaryValue()) s.Set(k, ToPlugInValue(v));
    }
    return s;
}

Value FromPlugInStructure(const PlugInStructure& s) {
    if (s.IsArray()) {
        ValueArray a;
        for (size_t i = 0; i < s.Count(); ++i) a.push_back(FromPlugInValue(s.ValueAt(i)));
        return Value(std::move(a));
    }
    Dictionary d;
    for (size_t i = 0; i < s.Count(); ++i) d.Set(s.KeyAt(i), FromPlugInValue(s.ValueAt(i)));
    return Value(std::move(d));
}

// An input image as a plug-in sees it during one execution.
class HostImageSource final : public PlugInImageSource {
public:
    HostImageSource(const Image* image, GLContext* context) : fImage(image), fContext(context) {}
    ~HostImageSource() { Reset(); }

    PlugInRect Bounds() const override { return {0, 0, double(fImage->Width()), double(fImage->Height())}; }

    bool LockTexture(PlugInTextureInfo& out) override {
        if (!fLocked) {
            gldraw::ContextSwitch current(GLContext::Current() ? nullptr : fContext);
            if (!current.Ok() || !TextureForImage(*fImage, 0, false, fTexture)) return false;
            fLocked = true;
        }
        out = {fTexture.name, fTexture.target, fTexture.width, fTexture.height, fTexture.flipped};
        return true;
    }
    void UnlockTexture() override { fLocked = false; }

    bool BindTexture(PlugInGLContext* context, uint32_t unit, bool normalized) override {
        if (!fLocked) return false;
        gldraw::ContextSwitch current(FromHandle(context));
        if (!current.Ok()) return false;
        bool rect = fTexture.target == GL_TEXTURE_RECTANGLE;
        float w = static_cast<float>(fTexture.width), h = static_cast<float>(fTexture.height);
        // From the caller's coordinates to the texture's: rectangle textures count in texels.
        float sx = (rect ? w : 1.0f) / (normalized ? 1.0f : w);
        float sy = (rect ? h : 1.0f) / (normalized ? 1.0f : h);
        float top = rect ? h : 1.0f;
        GLint active = 0, mode = 0;
        glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(fTexture.target, fTexture.name);
        glMatrixMode(GL_TEXTURE);
        glPushMatrix();
        glLoadIdentity();
        if (fTexture.flipped) {
            glTranslatef(0, top, 0);
            glScalef(sx, -sy, 1);
        } else {
            glScalef(sx, sy, 1);
        }
        glMatrixMode(static_cast<GLenum>(mode));
        glActiveTexture(static_cast<GLenum>(active));
        return true;
    }

    void UnbindTexture(PlugInGLContext* context, uint32_t unit) override {
        gldraw::ContextSwitch current(FromHandle(context));
        if (!current.Ok()) return;
        GLint active = 0, mode = 0;
        glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        glActiveTexture(GL_TEXTURE0 + unit);
        glMatrixMode(GL_TEXTURE);
        glPopMatrix();
        glBindTexture(fTexture.target, 0);
        glMatrixMode(static_cast<GLenum>(mode));
        glActiveTexture(static_cast<GLenum>(active));
    }

    bool LockBuffer(PlugInBufferInfo& out) override {
        gldraw::ContextSwitch current(GLContext::Current() ? nullptr : fContext);
        const BufferImage* buffer = current.Ok() ? BufferForImage(*fImage) : nullptr;
        if (!buffer) return false;
        out = {buffer->Data(), buffer->BytesPerRow(), buffer->Width(), buffer->Height()};
        return true;
    }
    void UnlockBuffer() override {}

    void Reset() { fLocked = false; }
    const Image* GetImage() const { return fImage; }

private:
    const Image* fImage;
    GLContext* fContext;
    TextureView fTexture;
    bool fLocked = false;
};

struct ProviderTexture {
    PlugInImageProvider* provider;
};

void ReleaseProviderTexture(void* info, const GLTextureImage& image) {
    auto* p = static_cast<ProviderTexture*>(info);
    p->provider->ReleaseTexture(image.Name());
    delete p->provider;
    delete p;
}

uint8_t ToByte(float f) {
    if (!(f > 0)) return 0;
    if (f >= 1) return 255;
    return static_cast<uint8_t>(std::lround(f * 255.0f));
}

// Asks the provider for its pixels: a texture, else rendering into one of ours, else a buffer.
Ref<Image> ImageFromProvider(RenderEnvironment& env, std::unique_ptr<PlugInImageProvider> provider) {
    PlugInRect bounds = provider->Bounds();
    if (!(bounds.width >= 1 && bounds.height >= 1 && bounds.width < 65536 && bounds.height < 65536))
        return nullptr;
    auto width = static_cast<uint32_t>(std::ceil(bounds.width));
    auto height = static_cast<uint32_t>(std::ceil(bounds.height));
    gldraw::ContextSwitch current(env.context);
    if (!current.Ok()) return nullptr;
    PlugInGLContext* context = Handle(env.context);

    uint32_t target = GL_TEXTURE_2D;
    bool flipped = false;
    if (uint32_t name = provider->CopyTexture(context, bounds, target, flipped)) {
        auto* info = new ProviderTexture{provider.release()};
        Ref<GLTextureImage> image = GLTextureImage::Create(
            env.shareGroup, {name, target, width, height, flipped}, &ReleaseProviderTexture, info);
        if (!image) {
            info->provider->ReleaseTexture(name);
            delete info->provider;
            delete info;
        }
        return image;
    }
    if (provider->CanRender(context)) {
        Ref<GLTextureImage> image = env.texturePool->CreateImage(GL_TEXTURE_2D, width, height);
        if (image) {
            gldraw::StateScope scope(true);
            gldraw::TextureFramebuffer framebuffer(image->Texture());
            glDisable(GL_SCISSOR_TEST);
            glClearColor(0, 0, 0, 0);
            glClear(GL_COLOR_BUFFER_BIT);
            if (framebuffer.Complete() && provider->Render(context, bounds)) return image;
        }
    }
    std::vector<PlugInBufferFormat> formats = provider->BufferFormats();
    if (formats.empty()) return nullptr;
    PlugInBufferFormat format = formats.front();
    for (PlugInBufferFormat f : formats)
        if (f == PlugInBufferFormat::BGRA8) format = f;
    Ref<BufferImage> image = BufferImage::Create(width, height);
    if (!image) return nullptr;
    uint8_t* out = image->MutableData();
    size_t pixels = size_t{width} * height;
    bool ok = false;
    if (format == PlugInBufferFormat::BGRA8) {
        ok = provider->RenderToBuffer(out, image->BytesPerRow(), format, bounds);
    } else if (format == PlugInBufferFormat::ARGB8) {
        std::vector<uint8_t> argb(pixels * 4);
        ok = provider->RenderToBuffer(argb.data(), size_t{width} * 4, format, bounds);
        for (size_t i = 0; ok && i < pixels; ++i) {
            const uint8_t* s = &argb[i * 4];
            uint8_t* d = out + i * 4;
            d[0] = s[3], d[1] = s[2], d[2] = s[1], d[3] = s[0];
        }
    } else if (format == PlugInBufferFormat::RGBAf) {
        std::vector<float> rgba(pixels * 4);
        ok = provider->RenderToBuffer(rgba.data(), size_t{width} * 16, format, bounds);
        for (size_t i = 0; ok && i < pixels; ++i) {
            const float* s = &rgba[i * 4];
            uint8_t* d = out + i * 4;
            d[0] = ToByte(s[2]), d[1] = ToByte(s[1]), d[2] = ToByte(s[0]), d[3] = ToByte(s[3]);
        }
    }
    if (!ok) return nullptr;
    return image;
}

struct PortInfo {
    std::string key;
    PortType type;
};

long FindPort(const std::vector<PortInfo>& ports, const char* key) {
    for (size_t i = 0; i < ports.size(); ++i)
        if (ports[i].key == key) return static_cast<long>(i);
    return -1;
}

class PlugInNodeInstance final : public NodeInstance, private PlugInContext, private PlugInPorts {
public:
    PlugInNodeInstance(const PlugInPatchClass& patchClass, const GraphNode& node)
        : fPatch(patchClass.CreatePatch()) {
        for (const PortSpec& p : node.description.inputs) fInputs.push_back({p.key, p.type});
        for (const PortSpec& p : node.description.outputs) fOutputs.push_back({p.key, p.type});
        fStructures.resize(fInputs.size());
        fSources.resize(fInputs.size());
    }

    bool Start(RenderEnvironment& env) override {
        fEnvironment = &env;
        return fPatch && fPatch->Start(*this);
    }
    void Enable(RenderEnvironment&) override { fPatch->Enable(*this); }
    void Disable(RenderEnvironment&) override { fPatch->Disable(*this); }
    void Stop(RenderEnvironment&) override { fPatch->Stop(*this); }

    bool Execute(NodeExecution& execution) override {
        fExecution = &execution;
        for (size_t i = 0; i < fInputs.size(); ++i) {
            if (!execution.InputChanged(i)) continue;
            fStructures[i].reset();
            fSources[i].reset();
        }
        PlugInStructure arguments = ToPlugInStructure(Value(*execution.Environment().arguments));
        bool ok = fPatch->Execute(*this, execution.Time(), *this, arguments);
        for (auto& source : fSources)
            if (source) source->Reset();
        fExecution = nullptr;
        return ok;
    }

private:
    // PlugInContext
    PlugInGLContext* GLContext() const override { return Handle(fEnvironment->context); }
    PlugInGLPixelFormat* PixelFormat() const override {
        return reinterpret_cast<PlugInGLPixelFormat*>(fEnvironment->pixelFormat);
    }
    PlugInGLContext* CreateSharingContext() override {
        // The plug-in owns the reference until DestroyContext.
        return Handle(plat::GLContext::Create(fEnvironment->pixelFormat, fEnvironment->context).release());
    }
    void DestroyContext(PlugInGLContext* context) override { plat::Release(FromHandle(context)); }
    bool MakeCurrent(PlugInGLContext* context) override {
        return context ? FromHandle(context)->MakeCurrent() : plat::GLContext::ClearCurrent();
    }
    PlugInGLContext* CurrentContext() const override { return Handle(plat::GLContext::Current()); }
    PlugInValue UserInfo(const char* key) const override {
        return ToPlugInValue(fEnvironment->userInfo->Get(key));
    }
    void SetUserInfo(const char* key, const PlugInValue& value) override {
        fEnvironment->userInfo->Set(key, FromPlugInValue(value));
    }

    // PlugInPorts
    const Value& In(const char* key) const {
        long i = FindPort(fInputs, key);
        return i < 0 || !fExecution ? Value::Null() : fExecution->Input(static_cast<size_t>(i));
    }
    bool BoolInput(const char* key) const override { return In(key).ToBool(); }
    uint32_t IndexInput(const char* key) const override { return In(key).ToIndex(); }
    double NumberInput(const char* key) const override { return In(key).ToNumber(); }
    const char* StringInput(const char* key) const override { return In(key).StringValue().c_str(); }
    bool ColorInput(const char* key, PlugInColor& out) const override {
        Color c;
        if (!In(key).ToColor(c)) return false;
        out = {c.red, c.green, c.blue, c.alpha};
        return true;
    }
    const PlugInStructure* StructureInput(const char* key) const override {
        long i = FindPort(fInputs, key);
        if (i < 0 || !fExecution) return nullptr;
        const Value& v = fExecution->Input(static_cast<size_t>(i));
        if (v.Kind() != ValueKind::Array && v.Kind() != ValueKind::Dictionary) return nullptr;
        auto& cached = fStructures[static_cast<size_t>(i)];
        if (!cached) cached = std::make_unique<PlugInStructure>(ToPlugInStructure(v));
        return cached.get();
    }
    PlugInImageSource* ImageInput(const char* key) override {
        long i = FindPort(fInputs, key);
        if (i < 0 || !fExecution) return nullptr;
        const Image* image = fExecution->Input(static_cast<size_t>(i)).ImageValue();
        if (!image) return nullptr;
        auto& source = fSources[static_cast<size_t>(i)];
        if (!source || source->GetImage() != image)
            source = std::make_unique<HostImageSource>(image, fEnvironment->context);
        return source.get();
    }
    bool InputChanged(const char* key) const override {
        long i = FindPort(fInputs, key);
        return i >= 0 && fExecution && fExecution->InputChanged(static_cast<size_t>(i));
    }

    void Out(const char* key, Value value) {
        long i = FindPort(fOutputs, key);
        if (i < 0 || !fExecution) return;
        Value converted;
        if (ConvertForPort(value, fOutputs[static_cast<size_t>(i)].type, converted))
            fExecution->SetOutput(static_cast<size_t>(i), std::move(converted));
    }
    void SetBoolOutput(const char* key, bool value) override { Out(key, Value(value)); }
    void SetIndexOutput(const char* key, uint32_t value) override { Out(key, Value(value)); }
    void SetNumberOutput(const char* key, double value) override { Out(key, Value(value)); }
    void SetStringOutput(const char* key, const char* value) override { Out(key, Value(value ? value : "")); }
    void SetColorOutput(const char* key, const PlugInColor* value) override {
        Out(key, value ? Value(Color{value->red, value->green, value->blue, value->alpha}) : Value());
    }
    void SetStructureOutput(const char* key, const PlugInStructure* value) override {
        Out(key, value ? FromPlugInStructure(*value) : Value());
    }
    void SetImageOutput(const char* key, std::unique_ptr<PlugInImageProvider> provider) override {
        if (FindPort(fOutputs, key) < 0 || !fExecution) return;
        Ref<Image> image = provider ? ImageFromProvider(*fEnvironment, std::move(provider)) : nullptr;
        Out(key, Value(image.get()));
    }

    std::unique_ptr<PlugInPatch> fPatch;
    std::vector<PortInfo> fInputs;
    std::vector<PortInfo> fOutputs;
    mutable std::vector<std::unique_ptr<PlugInStructure>> fStructures;
    std::vector<std::unique_ptr<HostImageSource>> fSources;
    RenderEnvironment* fEnvironment = nullptr;
    NodeExecution* fExecution = nullptr;
};

}  // namespace

PlugInValue ToPlugInValue(const Value& value) {
    switch (value.Kind()) {
        case ValueKind::Boolean:
            return PlugInValue::Boolean(value.BoolValue());
        case ValueKind::Number:
            return PlugInValue::Number(value.NumberValue());
        case ValueKind::String:
            return PlugInValue::String(value.StringValue());
        case ValueKind::Color: {
            Color c = value.ColorValue();
            return PlugInValue::Color({c.red, c.green, c.blue, c.alpha});
        }
        case ValueKind::Array:
        case ValueKind::Dictionary:
            return PlugInValue::Structure(ToPlugInStructure(value));
        case ValueKind::Pointer:
            return PlugInValue::Pointer(value.PointerValue());
        default:
            return PlugInValue();
    }
}

Value FromPlugInValue(const PlugInValue& value) {
    switch (value.GetKind()) {
        case PlugInValue::Kind::Boolean:
            return Value(value.BoolValue());
        case PlugInValue::Kind::Number:
            return Value(value.NumberValue());
        case PlugInValue::Kind::String:
            return Value(value.StringValue());
        case PlugInValue::Kind::Color: {
            PlugInColor c = value.ColorValue();
            return Value(Color{c.red, c.green, c.blue, c.alpha});
        }
        case PlugInValue::Kind::Structure:
            return FromPlugInStructure(*value.StructureValue());
        case PlugInValue::Kind::Pointer:
            return Value::FromPointer(value.PointerValue());
        case PlugInValue::Kind::None:
            break;
    }
    return Value();
}

PlugInNodeClass::PlugInNodeClass(std::unique_ptr<PlugInPatchClass> patchClass)
    : NodeClass(patchClass->Name()),
      fPatchClass(std::move(patchClass)),
      fAttributes(std::make_unique<Dictionary>()) {
    PlugInAttributes a = fPatchClass->Attributes();
    fAttributes->Set("name", Value(a.name));
    fAttributes->Set("description", Value(a.description));
    fAttributes->Set("maker", Value(a.maker));
}

PlugInNodeClass::~PlugInNodeClass() = default;

const Dictionary& PlugInNodeClass::Attributes() const {
    return *fAttributes;
}

bool PlugInNodeClass::Describe(const Dictionary&, const NodeClassRegistry&, NodeDescription& out,
                               std::string& error) const {
    for (const PlugInPortDescription& p : fPatchClass->Ports()) {
        PortType type = ToPortType(p.type);
        if (type == PortType::Other || p.key.empty()) {
            error = "plug-in port \"" + p.key + "\" has no known type";
            return false;
        }
        PortSpec spec = MakePortSpec(p.key, type, p.attributes.name);
        const PlugInPortAttributes& a = p.attributes;
        // A colour input without a default starts absent.
        if (!a.defaultValue.IsNone() || (type == PortType::Color && !p.output))
            spec.attributes.Set(kPortAttributeDefault, FromPlugInValue(a.defaultValue));
        if (a.hasMinimum) spec.attributes.Set(kPortAttributeMinimum, Value(a.minimum));
        if (a.hasMaximum) spec.attributes.Set(kPortAttributeMaximum, Value(a.maximum));
        if (!a.menuItems.empty()) {
            ValueArray items;
            for (const std::string& item : a.menuItems) items.emplace_back(item);
            spec.attributes.Set(kPortAttributeMenuItems, Value(std::move(items)));
        }
        (p.output ? out.outputs : out.inputs).push_back(std::move(spec));
    }
    uint32_t mode = static_cast<uint32_t>(fPatchClass->ExecutionMode());
    out.executionMode = mode >= 1 && mode <= 3 ? static_cast<ExecutionMode>(mode) : ExecutionMode::Processor;
    uint32_t time = static_cast<uint32_t>(fPatchClass->TimeMode());
    out.timeMode = time <= 2 ? static_cast<TimeMode>(time) : TimeMode::None;
    out.instanceClass = this;
    return true;
}

std::unique_ptr<NodeInstance> PlugInNodeClass::CreateInstance(const GraphNode& node) const {
    return std::make_unique<PlugInNodeInstance>(*fPatchClass, node);
}

}  // namespace plat
