#include "Lib3/LSources/CoreUI/LWindowServices.h"

namespace {
LWindowServices* gServices = nullptr;
}

LWindowServices* LWindowServices::Get() {
    return gServices;
}

void LWindowServices::Install(LWindowServices* services) {
    gServices = services;
}
