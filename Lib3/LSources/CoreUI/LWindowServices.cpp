#include "Lib3/LSources/CoreUI/LWindowServices.h"

#include "Lib3/LSources/CoreUI/LWindow.h"

namespace {
LWindowServices* gServices = nullptr;
}

LWindowServices* LWindowServices::Get() {
    return gServices;
}

void LWindowServices::Install(LWindowServices* services) {
    gServices = services;
}

LWindow* LWindowServices::FrontWindowOfKind(uint32_t kind) {
    for (LWindow* w = NextVisibleWindow(nullptr); w; w = NextVisibleWindow(w))
        if (w->Kind() == kind) return w;
    return nullptr;
}
