#include "Lib3/LSources/Mac/UBundleItems.h"

#include <string>

#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/Fs/LFsOpS.h"
#include "Platform/Foundation/Bundle.h"

namespace {

LFsSpec Item(const char* folder, const unsigned char* name) {
    LFsSpec bundle = UBundleItems::BundleFolder();
    if (bundle.IsEmpty()) return bundle;
    LFsSpec spec = LFsDescendS(bundle, folder).Spec();
    return LFsDescendS(spec, name).Spec();
}

}  // namespace

LFsSpec UBundleItems::BundleFolder() {
    std::string path = plat::MainBundlePath();
    return path.empty() ? LFsSpec() : CMacFileU::LFsSpecFromPath(LString(path.c_str()));
}

LFsSpec UBundleItems::SharedSupportItem(const unsigned char* name) {
    return Item("SharedSupport", name);
}

LFsSpec UBundleItems::PlugInItem(const unsigned char* name) {
    return Item("PlugIns", name);
}

UBundleItems::Version UBundleItems::BundleVersion(const LFsSpec& bundle) {
    Version v;
    LString path = CMacFileU::PathFromLFsSpec(bundle);
    std::string text =
        path.IsEmpty() ? std::string() : plat::BundleInfoValue(path.CStr(), plat::kBundleVersionKey);
    if (text.empty()) {
        v.status = 1;
        return v;
    }
    v.text = LString(text.c_str(), static_cast<uint32_t>(text.size()));
    return v;
}
