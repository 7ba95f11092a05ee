#include "Lib3/LSources/Mac/UInternetConfig.h"

#include <string>

#include "Lib3/LSources/String/UString.h"
#include "Platform/Foundation/URLOpener.h"

bool UInternetConfig::LaunchURL(const unsigned char* url) {
    if (UString::IsEmpty(url)) return false;
    return plat::OpenURL(std::string(reinterpret_cast<const char*>(url)));
}
