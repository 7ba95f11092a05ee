#pragma once

#include <memory>

#include "Lib3/LSources/CoreData/ResourceFileProvider.h"
#include "Lib3/LSources/CoreData/ResourceProviderChain.h"
#include "Platform/Resources/ResourceFile.h"

// The bundle's compiled resource file as the global resource chain, for the life of the object.
class BundleResources {
public:
    BundleResources() : fRef(plat::OpenResFile(ORBILUME_RESOURCE_FILE)) {
        if (fRef <= 0) return;
        fProvider = std::make_unique<ResourceFileProvider>(fRef);
        fChain.Add(fProvider.get());
        ResourceProviderChain::SetGlobal(&fChain);
    }
    ~BundleResources() {
        if (fRef <= 0) return;
        ResourceProviderChain::SetGlobal(nullptr);
        plat::CloseResFile(fRef);
    }
    BundleResources(const BundleResources&) = delete;
    BundleResources& operator=(const BundleResources&) = delete;

    bool Ok() const { return fRef > 0; }
    ResourceFileProvider* Provider() const { return fProvider.get(); }

private:
    plat::ResFileRef fRef;
    std::unique_ptr<ResourceFileProvider> fProvider;
    ResourceProviderChain fChain;
};
