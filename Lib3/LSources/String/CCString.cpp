#include "Lib3/LSources/String/CCString.h"

#include "Lib3/LSources/String/CMacUniConv.h"

CCString::CCString(const unsigned char* utf8) {
    uint32_t n = CMacUniConv::Shared().TextToCString(utf8, fBytes);
    if (n == 0 || !fBytes.SetSize(n + 1, true)) return;
    fBytes[n] = 0;
    fLength = n;
    fText = reinterpret_cast<const char*>(fBytes.Data());
}
