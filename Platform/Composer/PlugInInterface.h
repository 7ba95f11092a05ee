#pragma once

// The interface between the composition runtime and plug-in modules. A plug-in includes this header
// only (it needs nothing else of the engine) and makes its GL calls itself. The runtime loads every
// shared module of its plug-in folder with dlopen(RTLD_LOCAL) and calls the one function the module
// exports:
//
//     extern "C" __attribute__((visibility("default")))
//     bool OrbilumeRegisterPlugIn(plat::PlugInRegistrar& registrar);
//
// which registers the module's patch classes. Modules that fail to load or register are passed over.
// Compositions use a patch through a node of class "plugin" whose state names the patch class
// ("patch": the class's Name()).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plat {

// Raised whenever a declaration below changes; a module built against another version should not
// register anything.
inline constexpr uint32_t kPlugInInterfaceVersion = 1;
inline constexpr char kPlugInRegisterFunction[] = "OrbilumeRegisterPlugIn";
// The user-information key under which the host puts its own GL context (a pointer value, a
// PlugInGLContext handle) before it renders a composition that draws into it.
inline constexpr char kPlugInUserInfoHostContext[] = "lumetra.ctx";

// GL contexts and pixel formats of the host, as opaque handles. The user information's host
// context (under "lumetra.ctx") is such a context handle too.
struct PlugInGLContext;
struct PlugInGLPixelFormat;

enum class PlugInExecutionMode : uint32_t { Provider = 1, Processor = 2, Consumer = 3 };
enum class PlugInTimeMode : uint32_t { None = 0, Idle = 1, TimeBase = 2 };
enum class PlugInPortType : uint32_t {
    Boolean = 1,
    Index = 2,
    Number = 3,
    String = 4,
    Color = 5,
    Image = 6,
    Structure = 7,
};
// Pixel formats of image buffers, all premultiplied, rows top first: ARGB8 bytes A, R, G, B;
// BGRA8 bytes B, G, R, A; RGBAf four floats R, G, B, A.
enum class PlugInBufferFormat : uint32_t { ARGB8 = 1, BGRA8 = 2, RGBAf = 3 };

struct PlugInColor {
    float red = 0, green = 0, blue = 0, alpha = 1;
};

struct PlugInRect {
    double x = 0, y = 0, width = 0, height = 0;
};

class PlugInStructure;

// A value inside a structure or the user information.
class PlugInValue {
public:
    enum class Kind : uint8_t { None, Boolean, Number, String, Color, Structure, Pointer };

    PlugInValue() = default;
    static PlugInValue Boolean(bool b) {
        PlugInValue v(Kind::Boolean);
        v.fNumber = b ? 1 : 0;
        return v;
    }
    static PlugInValue Number(double n) {
        PlugInValue v(Kind::Number);
        v.fNumber = n;
        return v;
    }
    static PlugInValue String(std::string s) {
        PlugInValue v(Kind::String);
        v.fString = std::move(s);
        return v;
    }
    static PlugInValue Color(const PlugInColor& c) {
        PlugInValue v(Kind::Color);
        v.fColor = c;
        return v;
    }
    static PlugInValue Structure(PlugInStructure s);
    static PlugInValue Pointer(void* p) {
        PlugInValue v(Kind::Pointer);
        v.fPointer = p;
        return v;
    }

    Kind GetKind() const { return fKind; }
    bool IsNone() const { return fKind == Kind::None; }
    // Booleans and numbers read as each other; other kinds give false, 0, "", black, null.
    bool BoolValue() const { return (fKind == Kind::Boolean || fKind == Kind::Number) && fNumber != 0; }
    double NumberValue() const { return fKind == Kind::Boolean || fKind == Kind::Number ? fNumber : 0; }
    const std::string& StringValue() const { return fString; }
    PlugInColor ColorValue() const { return fKind == Kind::Color ? fColor : PlugInColor{0, 0, 0, 0}; }
    const PlugInStructure* StructureValue() const {
        return fKind == Kind::Structure ? fStructure.get() : nullptr;
    }
    void* PointerValue() const { return fKind == Kind::Pointer ? fPointer : nullptr; }

private:
    explicit PlugInValue(Kind kind) : fKind(kind) {}

    Kind fKind = Kind::None;
    double fNumber = 0;
    std::string fString;
    PlugInColor fColor;
    std::shared_ptr<const PlugInStructure> fStructure;
    void* fPointer = nullptr;
};

// An ordered dictionary. An array is a structure whose keys are "0", "1", ... in order.
class PlugInStructure {
public:
    size_t Count() const { return fEntries.size(); }
    const std::string& KeyAt(size_t i) const { return fEntries[i].first; }
    const PlugInValue& ValueAt(size_t i) const { return fEntries[i].second; }
    const PlugInValue* Find(std::string_view key) const {
        for (const auto& e : fEntries)
            if (e.first == key) return &e.second;
        return nullptr;
    }
    // Replaces the value of a key in place, or appends the key.
    void Set(std::string_view key, PlugInValue value) {
        for (auto& e : fEntries) {
            if (e.first == key) {
                e.second = std::move(value);
                return;
            }
        }
        fEntries.emplace_back(std::string(key), std::move(value));
    }
    // Appends under the next index.
    void Append(PlugInValue value) {
        fEntries.emplace_back(std::to_string(fEntries.size()), std::move(value));
    }
    bool IsArray() const {
        for (size_t i = 0; i < fEntries.size(); ++i)
            if (fEntries[i].first != std::to_string(i)) return false;
        return true;
    }

private:
    std::vector<std::pair<std::string, PlugInValue>> fEntries;
};

inline PlugInValue PlugInValue::Structure(PlugInStructure s) {
    PlugInValue v(Kind::Structure);
    v.fStructure = std::make_shared<const PlugInStructure>(std::move(s));
    return v;
}

struct PlugInAttributes {
    std::string name;
    std::string description;
    std::string maker;  // who made the patch
};

struct PlugInPortAttributes {
    std::string name;          // shown name; empty: the key
    PlugInValue defaultValue;  // none: the type's own (false, 0, "", opaque black)
    bool hasMinimum = false;
    bool hasMaximum = false;
    double minimum = 0;
    double maximum = 0;
    std::vector<std::string> menuItems;  // labels of an index port's values
};

struct PlugInPortDescription {
    std::string key;
    PlugInPortType type = PlugInPortType::Number;
    bool output = false;
    PlugInPortAttributes attributes;
};

// A texture holding an input image. Flipped: row 0 of the texture is the image's top row.
struct PlugInTextureInfo {
    uint32_t name = 0;
    uint32_t target = 0;  // GL_TEXTURE_2D or GL_TEXTURE_RECTANGLE
    uint32_t width = 0;
    uint32_t height = 0;
    bool flipped = false;
};

// An input image in memory: BGRA8, premultiplied, rows top first.
struct PlugInBufferInfo {
    const void* address = nullptr;
    size_t bytesPerRow = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

// An image arriving at an input port; valid during the execution that read it. Locks are dropped at
// the end of the execution at the latest.
class PlugInImageSource {
public:
    virtual PlugInRect Bounds() const = 0;
    // A texture of the image usable in the plug-in context's GL context and every context sharing
    // with it, until UnlockTexture. Call with the plug-in context's GL context current.
    virtual bool LockTexture(PlugInTextureInfo& out) = 0;
    virtual void UnlockTexture() = 0;
    // Binds the locked texture to a texture unit of a sharing context (made current for the call
    // when it is not) and sets that unit's texture matrix so that coordinates 0..1 (normalised) or
    // 0..width and 0..height in pixels cover the image upright. The target is not enabled.
    virtual bool BindTexture(PlugInGLContext* context, uint32_t unit, bool normalizedCoordinates) = 0;
    // Puts the unit's texture matrix back and unbinds.
    virtual void UnbindTexture(PlugInGLContext* context, uint32_t unit) = 0;
    // The image's pixels in memory until UnlockBuffer. Call with the plug-in context's GL context current.
    virtual bool LockBuffer(PlugInBufferInfo& out) = 0;
    virtual void UnlockBuffer() = 0;

protected:
    ~PlugInImageSource() = default;
};

// An output image, made by the plug-in and handed to the host, which asks it for its pixels in one
// of three ways (a texture first, then rendering into a target, then a buffer). The host deletes
// it, possibly on another thread, once nobody uses the image.
class PlugInImageProvider {
public:
    virtual ~PlugInImageProvider() = default;
    virtual PlugInRect Bounds() const = 0;

    // A texture of the image usable in the context's share group (the context is current), with
    // its target and orientation; 0 when it has none. The texture must stay valid until
    // ReleaseTexture, which comes from whichever thread releases the image, with no GL context
    // current: hand the name back to your own bookkeeping there, make no GL calls.
    virtual uint32_t CopyTexture(PlugInGLContext* /*context*/, const PlugInRect& /*bounds*/,
                                 uint32_t& /*target*/, bool& /*flipped*/) {
        return 0;
    }
    virtual void ReleaseTexture(uint32_t /*name*/) {}

    // Draws the image into the target the host has bound in the context (current), whose viewport
    // covers the bounds, cleared to transparent, all matrices identity.
    virtual bool CanRender(PlugInGLContext* /*context*/) const { return false; }
    virtual bool Render(PlugInGLContext* /*context*/, const PlugInRect& /*bounds*/) { return false; }

    // The buffer formats it can fill, in order of preference, and the filling.
    virtual std::vector<PlugInBufferFormat> BufferFormats() const { return {}; }
    virtual bool RenderToBuffer(void* /*address*/, size_t /*bytesPerRow*/, PlugInBufferFormat /*format*/,
                                const PlugInRect& /*bounds*/) {
        return false;
    }
};

// The ports of one patch during one execution. Inputs read as their port type; strings stay valid
// during the execution.
class PlugInPorts {
public:
    virtual bool BoolInput(const char* key) const = 0;
    virtual uint32_t IndexInput(const char* key) const = 0;
    virtual double NumberInput(const char* key) const = 0;
    virtual const char* StringInput(const char* key) const = 0;
    // False when the input holds no colour.
    virtual bool ColorInput(const char* key, PlugInColor& out) const = 0;
    // Null when the input holds no structure.
    virtual const PlugInStructure* StructureInput(const char* key) const = 0;
    // Null when no image arrives.
    virtual PlugInImageSource* ImageInput(const char* key) = 0;
    // Changed since the patch's previous execution (every input on the first).
    virtual bool InputChanged(const char* key) const = 0;

    virtual void SetBoolOutput(const char* key, bool value) = 0;
    virtual void SetIndexOutput(const char* key, uint32_t value) = 0;
    virtual void SetNumberOutput(const char* key, double value) = 0;
    virtual void SetStringOutput(const char* key, const char* value) = 0;
    // Null clears the output.
    virtual void SetColorOutput(const char* key, const PlugInColor* value) = 0;
    virtual void SetStructureOutput(const char* key, const PlugInStructure* value) = 0;
    virtual void SetImageOutput(const char* key, std::unique_ptr<PlugInImageProvider> provider) = 0;

protected:
    ~PlugInPorts() = default;
};

// Where a patch runs: the renderer's GL context (current during every call), its pixel format, and
// its user information.
class PlugInContext {
public:
    virtual PlugInGLContext* GLContext() const = 0;
    virtual PlugInGLPixelFormat* PixelFormat() const = 0;
    // A new context sharing objects with GLContext(), or null; the caller owns it (DestroyContext),
    // and may keep it beyond this context's life.
    virtual PlugInGLContext* CreateSharingContext() = 0;
    virtual void DestroyContext(PlugInGLContext* context) = 0;
    // Null makes no context current. Put the plug-in context's GL context back before returning.
    virtual bool MakeCurrent(PlugInGLContext* context) = 0;
    virtual PlugInGLContext* CurrentContext() const = 0;
    // The renderer's user information; a missing key gives none.
    virtual PlugInValue UserInfo(const char* key) const = 0;
    virtual void SetUserInfo(const char* key, const PlugInValue& value) = 0;

protected:
    ~PlugInContext() = default;
};

// One patch of a composition. Start, Enable, Execute, Disable and Stop come in that order, on the
// rendering thread, with the plug-in context's GL context current.
class PlugInPatch {
public:
    virtual ~PlugInPatch() = default;
    // False: the patch does not run.
    virtual bool Start(PlugInContext& /*context*/) { return true; }
    virtual void Enable(PlugInContext& /*context*/) {}
    // time in seconds; arguments of the render (usually empty). False reports a failure.
    virtual bool Execute(PlugInContext& context, double time, PlugInPorts& ports,
                         const PlugInStructure& arguments) = 0;
    virtual void Disable(PlugInContext& /*context*/) {}
    virtual void Stop(PlugInContext& /*context*/) {}
};

// A kind of patch: its name (what compositions refer to), attributes, ports (inputs and outputs in
// order) and modes. A provider with time mode none runs when one of its inputs changed.
class PlugInPatchClass {
public:
    virtual ~PlugInPatchClass() = default;
    virtual const char* Name() const = 0;
    virtual PlugInAttributes Attributes() const = 0;
    virtual std::vector<PlugInPortDescription> Ports() const = 0;
    virtual PlugInExecutionMode ExecutionMode() const = 0;
    virtual PlugInTimeMode TimeMode() const = 0;
    virtual std::unique_ptr<PlugInPatch> CreatePatch() const = 0;
};

class PlugInRegistrar {
public:
    virtual uint32_t InterfaceVersion() const = 0;
    // False when a patch class of that name is registered already.
    [[nodiscard]] virtual bool RegisterPatchClass(std::unique_ptr<PlugInPatchClass> patchClass) = 0;

protected:
    ~PlugInRegistrar() = default;
};

using PlugInRegisterFunction = bool (*)(PlugInRegistrar& registrar);

}  // namespace plat
