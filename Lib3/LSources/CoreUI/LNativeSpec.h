#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Platform/AppKit/View.h"
#include "Platform/Foundation/Object.h"

// What a native control is made from: a new control of a style (kind 0), or an existing native view
// that the control adopts (kind 1, the view retained), and a name.
struct LNativeSpec {
    enum : uint32_t { kCreate = 0, kAdopt = 1 };

    LNativeSpec(uint32_t style, const LString& name) : kind(kCreate), style(style), name(name) {}
    LNativeSpec(plat::View* view, uint32_t style, const LString& name)
        : kind(kAdopt), style(style), view(plat::RetainRef(view)), name(name) {}

    uint32_t kind;
    uint32_t style;
    plat::Ref<plat::View> view;
    LString name;
};
