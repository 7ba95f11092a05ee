// "obexinfo" documents of any content over a repository with a few listed compositions.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "Orbilume/CSources/Engine/CCompoRepository.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CCompoRepository repository;
    repository.ApplyInfo(data, size);
    for (uint32_t list = 0; list < CCompoRepository::kCategoryCount; ++list)
        if (!repository.List(list).empty()) std::abort();
    return 0;
}
