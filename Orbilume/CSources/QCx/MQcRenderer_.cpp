#include "Orbilume/CSources/QCx/MQcRenderer_.h"

#include <epoxy/gl.h>
#include <sys/stat.h>

#include <mutex>

#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/CoreData/CStrArray.h"
#include "Lib3/LSources/String/UWord.h"
#include "Orbilume/CSources/QCx/MQcComposition_.h"
#include "Platform/Composer/CompositionKeys.h"
#include "Platform/Composer/CompositionRenderer.h"
#include "Platform/Composer/Image.h"
#include "Platform/Composer/NodeClass.h"
#include "Platform/Composer/PlugInLoader.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/GL/GLContext.h"

namespace {

std::mutex gFolderMutex;
std::string gInternalFolder;

std::string_view Key(const LString& key) {
    return std::string_view(key.CStr(), key.Length());
}

LString ToLString(const std::string& text) {
    return LString(text.data(), static_cast<uint32_t>(text.size()));
}

}  // namespace

MQcRenderer_::MQcRenderer_(MQcComposition_* composition, COpenGLFBOTarget* target, bool borrowTarget,
                           plat::Ref<plat::CompositionRenderer> renderer)
    : fTarget(target), fCompo(composition), fRenderer(std::move(renderer)), fBorrowedTarget(borrowTarget) {
    if (!fBorrowedTarget) fTarget->Retain();
    fTimed = MQcComposition_::IsTimeDependent(composition);
    SaveDefaultImages();
}

MQcRenderer_::~MQcRenderer_() {
    {
        // The runtime's renderer releases GL objects in its context, without the GL lock.
        COpenGLScope_Cca scope(fTarget->context());
        fRenderer = nullptr;
        fDefaultImages = plat::Dictionary();
    }
    if (!fBorrowedTarget) fTarget->Release();
}

plat::Ref<MQcRenderer_> MQcRenderer_::Create(MQcComposition_* composition, COpenGLFBOTarget* target,
                                             bool borrowTarget) {
    if (!composition || !target || !target->context().valid()) return nullptr;
    COpenGLContext_Cca& context = target->context();
    if (!context.glcontext() || !context.pixelformat()) return nullptr;
    COpenGLScope_Cca scope(context);
    plat::Ref<plat::CompositionRenderer> renderer = plat::CompositionRenderer::Create(
        context.glcontext(), context.pixelformat(), plat::ColorSpace::kSRGB, composition->compo());
    if (!renderer) return nullptr;
    return plat::Adopt(new MQcRenderer_(composition, target, borrowTarget, std::move(renderer)));
}

plat::Ref<MQcRenderer_> MQcRenderer_::CreateShared(MQcComposition_* composition, COpenGLFBOTarget* target) {
    plat::Ref<MQcRenderer_> renderer = Create(composition, target, false);
    if (renderer) DrawingRenderer(target);
    return renderer;
}

MQcRenderer_* MQcRenderer_::DrawingRenderer(COpenGLFBOTarget* target) {
    // Only MQcRenderer_ objects are put into drawing slots.
    if (auto* drawing = static_cast<MQcRenderer_*>(target->drawingSlot())) return drawing;
    plat::Ref<MQcComposition_> drawer =
        plat::Adopt(MQcComposition_::FromFile(InternalCompositionPath("drawer.qtz")));
    // The target owns its drawing renderer, which only borrows the target back.
    plat::Ref<MQcRenderer_> drawing = Create(drawer.get(), target, true);
    if (drawing) target->SetDrawingSlot(drawing.get());
    return drawing.get();
}

plat::Ref<MQcRenderer_> MQcRenderer_::CreatePrivate(MQcComposition_* composition, uint32_t width,
                                                    uint32_t height, bool depth) {
    if (!composition) return nullptr;
    const SOpenGLOp op{static_cast<uint8_t>(depth ? 24 : 0), 0, 0};
    auto* target = new COpenGLFBOTarget(width, height, &op);
    plat::Ref<MQcRenderer_> renderer;
    // A size GL refuses leaves the target without a texture: no renderer then.
    if (target->texture() && target->width() == width && target->height() == height)
        renderer = Create(composition, target, false);
    target->Release();
    if (renderer) renderer->fPrivate = true;
    return renderer;
}

void MQcRenderer_::SetInternalFolder(const std::string& folder) {
    std::lock_guard<std::mutex> lock(gFolderMutex);
    gInternalFolder = folder;
}

std::string MQcRenderer_::InternalCompositionPath(const char* name) {
    std::string folder;
    {
        std::lock_guard<std::mutex> lock(gFolderMutex);
        folder = gInternalFolder;
    }
    if (folder.empty()) folder = plat::BundleSharedSupportPath(plat::MainBundlePath()) + "/privatecompo";
    return folder + "/" + (name ? name : "");
}

bool MQcRenderer_::LoadPlugIn(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return false;
    plat::NodeClassRegistry& registry = plat::NodeClassRegistry::Shared();
    if (S_ISDIR(st.st_mode)) return plat::PlugInLoader::LoadFolder(path, registry) > 0;
    return plat::PlugInLoader::LoadModule(path, registry);
}

void MQcRenderer_::SaveDefaultImages() {
    std::vector<CQcImagePort> inputs;
    MQcComposition_::ImageInputs(fCompo.get(), inputs);
    for (const CQcImagePort& port : inputs) {
        const plat::Value& value = fRenderer->InputValue(Key(port.key));
        if (!value.IsNull()) fDefaultImages.Set(Key(port.key), value);
    }
}

void MQcRenderer_::SetSize(uint32_t width, uint32_t height) {
    if (width == fTarget->width() && height == fTarget->height()) return;
    if (fPrivate) fTarget->SetSize(width, height);
    fNeedRender = true;
}

bool MQcRenderer_::RenderAtTime(double time) {
    if (!fNeedRender) return false;
    COpenGLScope_Cca scope(fTarget->context());
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fTarget->fbo());
    glViewport(0, 0, static_cast<GLsizei>(fTarget->width()), static_cast<GLsizei>(fTarget->height()));
    const bool rendered = fRenderer->RenderAtTime(time);
    // Compositions may leave these set.
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    if (rendered) {
        fNeedRender = fTimed;
        fNeedPass = true;
    }
    // Another context reads the image only once the render has completed.
    glFlush();
    float pixel[4];
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_FLOAT, pixel);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    return rendered;
}

void MQcRenderer_::SetInput(const LString& key, const plat::Value& value) {
    // A key the composition lacks, or a value that does not fit, changes nothing.
    (void)fRenderer->SetInputValue(Key(key), value);
    fNeedRender = true;
}

void MQcRenderer_::SetNumber(const LString& key, float value) {
    SetInput(key, plat::Value(value));
}

void MQcRenderer_::SetString(const LString& key, const LString& text) {
    SetInput(key, plat::Value(std::string(text.CStr(), text.Length())));
}

void MQcRenderer_::SetColor(const LString& key, float red, float green, float blue, float alpha) {
    SetInput(key, plat::Value(plat::Color{red, green, blue, alpha}));
}

void MQcRenderer_::SetStructure(const LString& key, const float values[16]) {
    plat::ValueArray array;
    array.reserve(16);
    for (int i = 0; i < 16; ++i) array.emplace_back(values[i]);
    SetInput(key, plat::Value(std::move(array)));
}

void MQcRenderer_::SetImage(const LString& key, const plat::Image* image) {
    if (image) {
        SetInput(key, plat::Value(image));
        return;
    }
    SetInput(key, fDefaultImages.Get(Key(key)));
}

uint32_t MQcRenderer_::GetInputUInt(const LString& key) const {
    return fRenderer->InputValue(Key(key)).ToIndex();
}

float MQcRenderer_::GetInputFloat(const LString& key) const {
    return static_cast<float>(fRenderer->InputValue(Key(key)).ToNumber());
}

LString MQcRenderer_::GetInputString(const LString& key) const {
    const plat::Value& value = fRenderer->InputValue(Key(key));
    if (value.Kind() == plat::ValueKind::String) return ToLString(value.StringValue());
    return value.IsNull() ? LString() : ToLString(value.ToText());
}

bool MQcRenderer_::GetInputColor(const LString& key, float rgba[4]) const {
    plat::Color color;
    if (!fRenderer->InputValue(Key(key)).ToColor(color)) return false;
    rgba[0] = color.red;
    rgba[1] = color.green;
    rgba[2] = color.blue;
    rgba[3] = color.alpha;
    return true;
}

const plat::Value& MQcRenderer_::Output(const LString& key) const {
    return fRenderer->OutputValue(Key(key));
}

float MQcRenderer_::GetOutputFloat(const LString& key) const {
    return static_cast<float>(Output(key).ToNumber());
}

uint32_t MQcRenderer_::GetOutputUInt(const LString& key) const {
    return Output(key).ToIndex();
}

LString MQcRenderer_::GetOutputString(const LString& key) const {
    const plat::Value& value = Output(key);
    if (value.Kind() == plat::ValueKind::Number) {
        const double n = value.NumberValue();
        // The integer text of the number, kept in range.
        const double clamped = n != n              ? 0
                               : n < -2147483648.0 ? -2147483648.0
                               : n > 2147483647.0  ? 2147483647.0
                                                   : n;
        return UWord::Decimal(static_cast<long>(static_cast<int32_t>(clamped)));
    }
    if (value.Kind() == plat::ValueKind::String) return ToLString(value.StringValue());
    return value.IsNull() ? LString() : ToLString(value.ToText());
}

bool MQcRenderer_::GetOutputColor(const LString& key, float rgba[4]) const {
    plat::Value value;
    plat::Color color;
    if (!fRenderer->OutputValueOfType(Key(key), plat::OutputType::Color, value) || !value.ToColor(color))
        return false;
    rgba[0] = color.red;
    rgba[1] = color.green;
    rgba[2] = color.blue;
    rgba[3] = color.alpha;
    return true;
}

bool MQcRenderer_::GetOutputStrings(const LString& key, CStrArray& out) const {
    plat::Value value;
    if (!fRenderer->OutputValueOfType(Key(key), plat::OutputType::Array, value)) return false;
    for (const std::string& text : value.ToTextArray()) out.Append(ToLString(text));
    return true;
}

bool MQcRenderer_::PassImage(MQcRenderer_* destination, const LString& destinationKey, MQcRenderer_* source,
                             const LString& sourceKey, bool force) {
    if (!destination || !source) return false;
    if (!force && !source->fNeedPass) return false;
    if (!sourceKey.IsEmpty()) {
        plat::Value image;
        if (!source->fRenderer->OutputValueOfType(Key(sourceKey), plat::OutputType::Image, image))
            image = plat::Value();
        destination->SetImage(destinationKey, image.ImageValue());
    } else {
        COpenGLFBOTarget* target = source->fTarget;
        COpenGLScope_Cca scope(target->context());
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target->fbo());
        glViewport(0, 0, static_cast<GLsizei>(target->width()), static_cast<GLsizei>(target->height()));
        plat::Ref<plat::Image> snapshot = source->fRenderer->CreateSnapshotImage();
        destination->SetImage(destinationKey, snapshot.get());
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    }
    if (!force) source->fNeedPass = false;
    return true;
}

void MQcRenderer_::DrawOutput(MQcRenderer_* renderer, COpenGLContext_Cca& destination,
                              const LString& outputKey, float alpha) {
    if (!renderer) return;
    (void)destination;
    COpenGLFBOTarget* target = renderer->fTarget;
    if (!outputKey.IsEmpty()) {
        // A private target gets its drawing renderer on first use.
        MQcRenderer_* drawer = DrawingRenderer(target);
        if (!drawer || !PassImage(drawer, LString("Image"), renderer, outputKey, true)) return;
        glColor4f(alpha, alpha, alpha, alpha);
        plat::GLContext* current = plat::GLContext::Current();
        drawer->fRenderer->UserInfo().Set(plat::kUserInfoHostContext, plat::Value::FromPointer(current));
        {
            COpenGLScope_Cca scope(target->context());
            (void)drawer->fRenderer->RenderAtTime(0);
        }
        drawer->fRenderer->UserInfo().Remove(plat::kUserInfoHostContext);
        return;
    }
    COpenGLTexture* texture = target->texture();
    if (!texture) return;
    const GLint w = static_cast<GLint>(target->width()), h = static_cast<GLint>(target->height());
    const GLint coords[8] = {0, 0, 0, h, w, 0, w, h};
    GLint saved = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_RECTANGLE_ARB, &saved);
    glEnable(GL_TEXTURE_RECTANGLE_ARB);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, texture->name());
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexCoordPointer(2, GL_INT, 0, coords);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glColor4f(alpha, alpha, alpha, alpha);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glFlush();
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_TEXTURE_RECTANGLE_ARB);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, static_cast<GLuint>(saved));
}

void MQcRenderer_::MarkNeedPass() {
    if (!fPrivate) fNeedRender = true;
    fNeedPass = true;
}

bool MQcRenderer_::TakeNeedPass() {
    const bool need = fNeedPass;
    fNeedPass = false;
    return need;
}

uint32_t MQcRenderer_::TargetWidth() const {
    return fTarget->width();
}

uint32_t MQcRenderer_::TargetHeight() const {
    return fTarget->height();
}

MQcComposition_* MQcRenderer_::Composition(const MQcRenderer_* renderer) {
    return renderer ? renderer->fCompo.get() : nullptr;
}
