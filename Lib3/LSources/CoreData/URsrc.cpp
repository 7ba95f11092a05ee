#include "Lib3/LSources/CoreData/URsrc.h"

#include <string>

#include "Lib3/LSources/CoreData/ResourceFileProvider.h"
#include "Lib3/LSources/CoreData/ResourceProviderChain.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Resources/ResourceFile.h"

namespace {

ResourceProviderChain* gChain = nullptr;

}  // namespace

bool URsrc::Fetch(LRsrcObject& object, const SRsrcRequest& request, ResourceProvider* provider) {
    if (!provider) provider = ResourceProviderChain::Global();
    return provider && provider->Lookup(object, request);
}

plat::ResourceHandle* URsrc::Get1Resource(int32_t, uint32_t type, const SRsrcRequest& request, size_t* size) {
    plat::ResourceHandle* handle = nullptr;
    if (!request.name.IsEmpty()) {
        const uint32_t length = request.name.Length() > 255 ? 255 : request.name.Length();
        handle = plat::Get1NamedResource(type, std::string(request.name.CStr(), length));
    } else {
        handle = plat::Get1Resource(type, request.id);
    }
    if (handle && size) *size = handle->Size();
    return handle;
}

bool ResourceProviderChain::Lookup(LRsrcObject& object, const SRsrcRequest& request) {
    for (uint32_t i = mProviders.Count(); i-- > 0;) {
        if (mProviders[i]->Lookup(object, request)) return true;
    }
    return false;
}

uint32_t ResourceProviderChain::Language() {
    for (uint32_t i = mProviders.Count(); i-- > 0;) {
        const uint32_t language = mProviders[i]->Language();
        if (language != kLanguageUS) return language;
    }
    return kLanguageUS;
}

void ResourceProviderChain::Add(ResourceProvider* provider) {
    if (provider) mProviders.Append(provider);
}

void ResourceProviderChain::Remove(ResourceProvider* provider) {
    const uint32_t i = mProviders.IndexOf(provider);
    if (i != mProviders.kNotFound) mProviders.Remove(i);
}

ResourceProviderChain* ResourceProviderChain::Global() {
    return gChain;
}

void ResourceProviderChain::SetGlobal(ResourceProviderChain* chain) {
    gChain = chain;
}

bool ResourceFileProvider::Lookup(LRsrcObject& object, const SRsrcRequest& request) {
    const plat::ResFileRef saved = plat::CurResFile();
    plat::UseResFile(mFileRef);
    const bool loaded = object.Load(mFileRef, request);
    plat::UseResFile(saved);
    return loaded;
}

int32_t ResourceFileProvider::OpenApplicationFile() {
    const std::string bundle = plat::MainBundlePath();
    if (bundle.empty()) return plat::kNoResFile;
    return plat::OpenResFile(plat::BundleResourcesPath(bundle) + "/" + ApplicationFileName());
}
