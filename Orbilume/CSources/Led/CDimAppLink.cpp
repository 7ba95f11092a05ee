#include "Orbilume/CSources/Led/CDimAppLink.h"

#include <epoxy/gl.h>

#include <string>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Lib3/LSources/CoreData/LAsyncMainLoop.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/Led/CDimDefLibrary.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimInstruments.h"
#include "Orbilume/CSources/Led/CDimWindowFactories.h"
#include "Orbilume/CSources/Led/DimWindows.h"
#include "Orbilume/CSources/Led/UDimPrefs.h"

CDimAppLink::CDimAppLink(LHandler* app, CAppPrefs* prefs, LAsyncMainLoop* mainLoop)
    : mPrefs(prefs), mLoop(mainLoop), mLibrary(std::make_unique<CDimDefLibrary>(nullptr)) {
    InstallDimWindowFactories(mLibrary.get());
    // The document loads the library's definitions before its last layout.
    mDoc = std::make_unique<CDimInstruments>(app, mLoop, nullptr, prefs, mLibrary.get());
    if (mPrefs) (void)mPrefs->AddObserver(this, &PrefsChanged);
}

CDimAppLink::~CDimAppLink() {
    SetSource(nullptr);
    SetUsbManager(nullptr);
    if (mPrefs) (void)mPrefs->RemoveObserver(this, &PrefsChanged);
    mDoc.reset();
    SetDimWindowFactories(nullptr);
    mLibrary.reset();
}

void CDimAppLink::StartUp() {
    if (!mReported) {
        mReported = true;
        const auto& report = mDoc->Defs().LoadReport();
        if (!report.empty() && DimDialogs().showMessage) {
            std::string text = "Some fixture definitions could not be loaded:";
            for (const auto& p : report) text += "\n" + p.path + ": " + p.reason;
            DimDialogs().showMessage(LString(text.c_str()));
        }
        mDoc->Defs().ClearLoadReport();
    }
    if (mDoc->Settings() && UDimPrefs::GetLastOpen(mDoc->Settings())) (void)mDoc->OpenWindow();
}

void CDimAppLink::SetSource(CMixEngine* engine) {
    if (engine == mSource) return;
    if (mSource) {
        mSource->RemoveAfterFrameCallback(this, &AfterFrame);
        mSource->RemovePostRenderCallback(this, &PostRender);
    }
    mSource = engine;
    if (mSource) {
        mSource->AddAfterFrameCallback(this, &AfterFrame);
        mSource->AddPostRenderCallback(this, &PostRender);
    }
    UpdateAspect();
}

void CDimAppLink::SetUsbManager(CDmxIoManager* usb) {
    mDoc->Output().SetUsbManager(usb);
}

bool CDimAppLink::CanQuit() {
    return mDoc->AskToSave(2);
}

void CDimAppLink::OpenWindow() {
    (void)mDoc->OpenWindow();
}

void CDimAppLink::UpdateAspect() {
    if (!mSource || !mDoc->Settings() || !UDimPrefs::GetUse(mDoc->Settings())) return;
    uint32_t w = 0, h = 0;
    mSource->RenderSize(w, h);
    mDoc->SetAspect(w, h);
}

// An engine that ends calls this with a null context: it is no longer the source.
void CDimAppLink::PostRender(void* context, CMixEngine* engine, COpenGLContext_Cca* draw) {
    auto* self = static_cast<CDimAppLink*>(context);
    if (!draw && engine == self->mSource) self->mSource = nullptr;
}

// "use" and the other dimmer settings: the aspect follows the source while the output is used.
void CDimAppLink::PrefsChanged(void* context, const SRecordEvent* event) {
    (void)event;
    static_cast<CDimAppLink*>(context)->UpdateAspect();
}

namespace {

struct SDrawArgs {
    CDimInstruments* doc;
    CMixEngine* engine;
};

}  // namespace

void CDimAppLink::AfterFrame(void* context, CMixEngine* engine) {
    auto* self = static_cast<CDimAppLink*>(context);
    SDrawArgs args{self->mDoc.get(), engine};
    (void)self->mDoc->AfterFrame(&args, &Draw);
}

// The mix into the bound dimmer framebuffer, over the whole canvas.
void CDimAppLink::Draw(void* drawContext, COpenGLContext_Cca& dimContext, bool soft) {
    (void)soft;
    auto* args = static_cast<SDrawArgs*>(drawContext);
    uint32_t w = 1, h = 1;
    args->doc->SharedCanvas(w, h);
    glViewport(0, 0, GLsizei(w), GLsizei(h));
    args->engine->DrawMixInto(dimContext, false);
}
