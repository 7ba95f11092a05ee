#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Orbilume/CSources/Engine/CUnit.h"

// A unit with a chain of filter units (kind 2) behind it: a layer or a media unit. The image of
// the unit goes through each filter that is not bypassed, in order.
class CChainUnit : public CUnit {
public:
    CChainUnit(CChainUnit* owner, uint32_t kind, uint32_t depth = 0);
    ~CChainUnit() override;

    CUnit* FindById(uint32_t id) override;

    void Resize(uint32_t width, uint32_t height);
    // Prepares the unit (with force) and every filter (without).
    void PrepareTree(uint32_t width, uint32_t height, CUnitHost* host, bool force);
    // The unit, then filter i with the i-th element of 'flts'.
    void LoadTreeFromRecord(LHandler* editor, CRecord* record, CUnitHost* host);
    // The media trees of the parameters, then one filter per element of 'flts'.
    void BuildChain(CRecord* record, CUnitHost* host);
    // A filter for element index of the record's 'flts', inserted at index; null when the record
    // has no such element.
    CUnit* CreateChainUnit(uint32_t index, const LString& path, CRecord* record, CUnitHost* host);
    void RemoveChainUnit(uint32_t index, CUnitHost* host);
    // Moves filter from to index to; false when either is out of range.
    bool MoveChainUnit(uint32_t from, uint32_t to);
    // After the chain changed at index (or a filter's bypass changed): the image is passed again.
    void RefreshFrom(uint32_t index, CUnitHost* host);

    bool Evaluate(SFrameInfo& info, CUnit*& out);
    void Idle(SFrameInfo& info);

    uint32_t ChainCount() const;
    CUnit* ChainAt(uint32_t i) const { return fChain[i].get(); }

    // Builds the media trees below the unit's parameters from the record's inputs ('imgi'), and
    // walks its animators ('anim').
    static void BuildParamChains(CUnit* unit, CRecord* record, CUnitHost* host);

protected:
    std::vector<std::unique_ptr<CUnit>> fChain;
};
