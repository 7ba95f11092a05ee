#include "Lib3/LSources/CoreUI/LMenuNative.h"

namespace {
LMenuNative::Factory gFactory = nullptr;
}

void LMenuNative::SetFactory(Factory factory) {
    gFactory = factory;
}

LMenuNative* LMenuNative::Make(LMenu* menu) {
    return gFactory ? gFactory(menu) : nullptr;
}
