#include "Lib3/LSources/Mac/CProcessInfo.h"

#include <string>

#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/String/CStrU.h"
#include "Platform/Foundation/Bundle.h"

CProcessInfo* gProcessInfo = nullptr;

CProcessInfo::CProcessInfo() {
    std::string exe = plat::MainExecutablePath();
    if (!exe.empty()) fApplication = CMacFileU::LFsSpecFromPath(LString(exe.c_str()));
    std::string bundle = plat::MainBundlePath();
    if (bundle.empty()) return;
    fBundle = CMacFileU::LFsSpecFromPath(LString(bundle.c_str()));
    std::string signature = plat::BundleInfoValue(bundle, "CFBundleSignature");
    if (signature.size() == 4)
        fSignature = CStrU::FccFromString(reinterpret_cast<const unsigned char*>(signature.c_str()));
}
