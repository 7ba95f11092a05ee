#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandleBase.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Platform/Foundation/Object.h"

namespace plat {
class Window;
}

// Turns a framework window kind into a native window. Shared through CMacWindowKindH.
class CMacWindowKind : public LHandleData {
public:
    CMacWindowKind(int32_t kind, uint32_t options) : mKind(kind), mOptions(options) {}

    int32_t Kind() const { return mKind; }
    uint32_t Options() const { return mOptions; }

    virtual LString Name() const { return LString(); }
    // A new native window, or null.
    virtual plat::Ref<plat::Window> CreateNativeWindow() const = 0;
    virtual int32_t Extra() const { return 0; }

protected:
    int32_t mKind;
    uint32_t mOptions;
};

class CMacWindowKindH : public LHandleBase {
public:
    CMacWindowKindH() = default;
    explicit CMacWindowKindH(CMacWindowKind* kind) : LHandleBase(kind) {}
    const CMacWindowKind* Get() const { return From(*this); }
    // The kind in a handle that holds a window kind object (LFrameSpec, LWindow), or null.
    static const CMacWindowKind* From(const LHandleBase& h) {
        return static_cast<const CMacWindowKind*>(h.Data());
    }
    bool IsEmpty() const { return Data() == nullptr; }
};

// Document, dialog and borderless windows by kind 0-12.
class CMacWinKind : public CMacWindowKind {
public:
    explicit CMacWinKind(int32_t kind) : CMacWindowKind(kind, 0) {}
    plat::Ref<plat::Window> CreateNativeWindow() const override;

    static uint32_t StyleMaskFor(int32_t kind);
    static int32_t LevelFor(int32_t kind);
};

// Floating utility panels by panel kind 1-6. Option bit 0: the panel stays on deactivation (else it
// becomes key only when needed); bit 1: one level above floating.
class CMacPanelKind : public CMacWindowKind {
public:
    enum : uint32_t { kStaysOnDeactivate = 1, kAboveFloating = 2 };

    CMacPanelKind(int32_t panelKind, uint32_t options) : CMacWindowKind(panelKind, options) {}
    plat::Ref<plat::Window> CreateNativeWindow() const override;

    static uint32_t StyleMaskFor(int32_t panelKind);
};

// The content rectangle every native window starts with (global coordinates).
inline constexpr int32_t kNewWindowLeft = 40, kNewWindowTop = 40, kNewWindowRight = 160,
                         kNewWindowBottom = 120;
