#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandleBase.h"
#include "Lib3/LSources/CoreData/SFieldDesc.h"
#include "Lib3/LSources/CoreData/URsrc.h"

// A string list resource ('CST#'): big-endian u16 count N, then N strings each followed by one 0
// byte. Reading strings in ascending order walks the list once.
class LStrListRsrc : public LRsrcObject {
public:
    static constexpr uint32_t kType = Fcc("CST#");

    explicit LStrListRsrc(const SRsrcRequest& request, ResourceProvider* provider = nullptr,
                          uint32_t type = kType);
    ~LStrListRsrc() override;
    LStrListRsrc(const LStrListRsrc&) = delete;
    LStrListRsrc& operator=(const LStrListRsrc&) = delete;

    bool Load(int32_t fileRef, const SRsrcRequest& request) override;

    bool IsLoaded() const { return mHandle != nullptr; }
    uint32_t Count() const { return mCount; }
    // Empty for an index at or past the count.
    LString GetString(uint32_t index);

private:
    uint32_t mCount = 0;
    uint32_t mIndex = 0;
    uint32_t mOffset = 0;
    uint32_t mType;
    plat::ResourceHandle* mHandle = nullptr;
};

// A shared handle to a string list.
class LStrListRsrcH : public LHandleBase {
public:
    LStrListRsrcH() = default;
    explicit LStrListRsrcH(const SRsrcRequest& request, ResourceProvider* provider = nullptr,
                           uint32_t type = LStrListRsrc::kType);

    LString GetString(uint32_t index) const;
    uint32_t Count() const;

private:
    LStrListRsrc* List() const;
};
