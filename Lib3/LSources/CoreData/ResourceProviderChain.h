#pragma once

#include "Common/Container/CPointerArray.h"
#include "Lib3/LSources/CoreData/URsrc.h"

// Providers asked from the last added to the first (not owned).
class ResourceProviderChain : public ResourceProvider {
public:
    bool Lookup(LRsrcObject& object, const SRsrcRequest& request) override;
    // The first answer other than 'US  ', asking from the last provider to the first.
    uint32_t Language() override;
    // Appends the provider; null is ignored.
    void Add(ResourceProvider* provider);
    void Remove(ResourceProvider* provider);

    // The process-wide chain made at start-up (null before and after).
    static ResourceProviderChain* Global();
    static void SetGlobal(ResourceProviderChain* chain);

private:
    CPointerArray<ResourceProvider> mProviders;
};
