#pragma once

#include <cstddef>
#include <cstdint>

#include "Lib3/LSources/CoreData/SFieldDesc.h"
#include "Lib3/LSources/CoreData/URsrc.h"

// The raw bytes of one resource of a given type ('TPNG' images, layouts, menus).
class LRsrcData : public LRsrcObject {
public:
    static constexpr uint32_t kTypePng = Fcc("TPNG");

    LRsrcData(uint32_t type, const SRsrcRequest& request, ResourceProvider* provider = nullptr);
    ~LRsrcData() override;
    LRsrcData(const LRsrcData&) = delete;
    LRsrcData& operator=(const LRsrcData&) = delete;

    bool Load(int32_t fileRef, const SRsrcRequest& request) override;

    bool IsLoaded() const { return mHandle != nullptr; }
    const uint8_t* Bytes() const;
    size_t Size() const;

private:
    uint32_t mType;
    plat::ResourceHandle* mHandle = nullptr;
};
