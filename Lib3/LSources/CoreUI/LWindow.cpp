#include "Lib3/LSources/CoreUI/LWindow.h"

#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"

namespace {

LSLinkBase& WindowList() {
    static LSLinkBase* list = new LSLinkBase;
    return *list;
}

const LWindow::Bridge* gBridge = nullptr;

}  // namespace

void LWindow::SetBridge(const Bridge* bridge) {
    PLAT_DCHECK_MAIN_THREAD();
    gBridge = bridge;
}

LWindow::LWindow(LHandler* frame, uint32_t kind, const LHandleBase& kindObject, LHandler* menuGroup,
                 plat::Window*)
    : LHandler(frame), mKind(kind), mKindObject(kindObject) {
    PLAT_DCHECK_MAIN_THREAD();
    if (LWindowServices* services = LWindowServices::Get())
        mNative = services->CreateNativeWindow(this, kindObject);
    if (mNative) {
        WindowList().Insert(this);
        if (gBridge && gBridge->bind) gBridge->bind(this);
    }
    mMenuGroup = menuGroup;
}

LWindow::~LWindow() {
    SetMenuGroup(nullptr);
    if (mNative) {
        if (gBridge && gBridge->unbind) gBridge->unbind(this);
        mNative->SetContentView(nullptr);
        mNative->SetDelegate(nullptr);
    }
    WindowList().Remove(this);
    if (LWindowServices* services = LWindowServices::Get()) services->ForgetNativeWindow(this);
    if (mNative) {
        mNative->Close();
        mNative = nullptr;
    }
    SetBridgeObject(nullptr);
}

void LWindow::SetMenuGroup(LHandler* group) {
    PLAT_DCHECK_MAIN_THREAD();
    if (group == mMenuGroup) return;
    LHandler* old = mMenuGroup;
    mMenuGroup = group;
    delete old;
}

void LWindow::SetBridgeObject(plat::Object* object) {
    PLAT_DCHECK_MAIN_THREAD();
    mBridgeObject.reset(object);
}

LWindow* LWindow::NextWindow(const LWindow* window) {
    PLAT_DCHECK_MAIN_THREAD();
    SSLink* n = window ? window->next : WindowList().First();
    if (!n || n->IsEnd()) return nullptr;
    return static_cast<LWindow*>(n);
}

LWindow* LWindow::FindWindow(const plat::Window* native) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!native) return nullptr;
    for (LWindow* w = NextWindow(nullptr); w; w = NextWindow(w))
        if (w->mNative.get() == native) return w;
    return nullptr;
}
