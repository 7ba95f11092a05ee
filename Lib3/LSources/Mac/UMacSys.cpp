#include "Lib3/LSources/Mac/UMacSys.h"

#include "Platform/AppKit/Bell.h"

void UMacSys::Beep() {
    plat::Bell::Ring();
}
