#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandleBase.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreData/LSLinkBase.h"
#include "Platform/Foundation/Object.h"

class LPane;
namespace plat {
class Object;
class Window;
}  // namespace plat

// Window messages: sender the LWindow, target its frame.
L_MESSAGE_ID(LWindow_Close);
L_MESSAGE_ID(LWindow_Activate);
L_MESSAGE_ID(LWindow_Deativate);
L_MESSAGE_ID(LWindow_Update);
L_MESSAGE_ID(LWindow_Click);
L_MESSAGE_ID(LWindow_Cursor);
L_MESSAGE_ID(LWindow_Wheel);
L_MESSAGE_ID(LWindow_Place);
L_MESSAGE_ID(LWindow_Bkgnd);
L_MESSAGE_ID(LWindow_Context);
L_MESSAGE_ID(LWindow_Focus);
L_MESSAGE_ID(LWindow_Unfocus);

// The portable side of a native window, owned by its root frame (the upper handler). Windows with a
// native window are listed in one global list, newest first. Main thread only.
class LWindow : public LHandler, public SSLink {
public:
    enum : uint32_t { kDocument = 1, kFloating = 2, kModal = 3 };

    // Binding of the window bridge: attaches delegate and content view to a new native window, and
    // detaches them before it goes. Installed by the bridge; none: windows stay unbound.
    struct Bridge {
        void (*bind)(LWindow* window);
        void (*unbind)(LWindow* window);
    };
    static void SetBridge(const Bridge* bridge);

    // kind: 1 document, 2 floating, 3 modal. The window services make the native window from the kind
    // object (the bridge's window kind, CMacWindowKindH); menuGroup (may be null) is adopted.
    LWindow(LHandler* frame, uint32_t kind, const LHandleBase& kindObject, LHandler* menuGroup = nullptr,
            plat::Window* parent = nullptr);
    ~LWindow() override;

    uint32_t Kind() const { return mKind; }
    // Null when creation failed.
    plat::Window* NativeWindow() const { return mNative.get(); }
    const LHandleBase& KindObject() const { return mKindObject; }

    // The window's menu group, owned: replacing it deletes the old one.
    LHandler* MenuGroup() const { return mMenuGroup; }
    void SetMenuGroup(LHandler* group);

    // The bridge's objects, released with the window.
    plat::Object* BridgeObject() const { return mBridgeObject.get(); }
    void SetBridgeObject(plat::Object* object);

    // The root pane (the frame that owns the window), null until the frame names itself.
    LPane* RootPane() const { return mRootPane; }
    void SetRootPane(LPane* pane) { mRootPane = pane; }

    // The window after the given one in the global list (the first for null); null at the end.
    static LWindow* NextWindow(const LWindow* window);
    static LWindow* FindWindow(const plat::Window* native);

private:
    uint32_t mKind;
    LHandleBase mKindObject;
    plat::Ref<plat::Window> mNative;
    plat::Ref<plat::Object> mBridgeObject;
    LHandler* mMenuGroup = nullptr;
    LPane* mRootPane = nullptr;
};
