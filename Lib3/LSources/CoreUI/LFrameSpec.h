#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandleBase.h"

class LOwningMenuBar;

// What a frame is built from: the window kind (1 document, 2 floating, 3 modal), the window-kind
// object (empty for a frame without window) and the menu group handed to the window.
class LFrameSpec {
public:
    enum : uint32_t { kDocument = 1, kFloating = 2, kModal = 3 };

    LFrameSpec() = default;
    LFrameSpec(uint32_t kind, const LHandleBase& windowKind) : kind(kind), windowKind(windowKind) {}
    LFrameSpec(uint32_t kind, const LHandleBase& windowKind, LOwningMenuBar* menus)
        : kind(kind), windowKind(windowKind), menus(menus) {}

    // The process-wide default {1, none, none}.
    static const LFrameSpec& Default();

    uint32_t kind = kDocument;
    LHandleBase windowKind;
    LOwningMenuBar* menus = nullptr;
};
