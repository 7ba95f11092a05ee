#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "Orbilume/CSources/Engine/CLayer.h"
#include "Orbilume/CSources/Engine/CMediaUnit.h"
#include "Orbilume/CSources/Engine/CUnitHost.h"

class CDocModelHolder;

namespace enginetest {

// A host for units under test: real locks, counted signals, layers it finds units in, a capture
// queue, and optional media units for image parameters.
class TestUnitHost : public CUnitHost {
public:
    std::recursive_mutex& FrameLock() override { return fFrame; }
    std::mutex& ParamLock() override { return fParam; }
    void Signal() override { ++signals; }
    COpenGLFBOTarget* SharedTarget() override { return shared; }
    void OutputSize(uint32_t& w, uint32_t& h) const override {
        w = width;
        h = height;
    }
    void FullOutputSize(uint32_t& w, uint32_t& h) const override {
        w = width;
        h = height;
    }
    CUnit* FindUnit(uint32_t id) override {
        for (CUnit* layer : layers)
            if (CUnit* hit = layer->FindById(id)) return hit;
        return nullptr;
    }
    SMonitorRequest* CaptureHead() override { return captures.empty() ? nullptr : &captures.front(); }
    void RecycleCaptureHead() override {
        if (!captures.empty()) captures.pop_front();
        ++recycled;
    }
    void AddMediaCacheEntry(uint32_t id) override { mediaIds.push_back(id); }
    std::unique_ptr<CMediaUnit> MakeMediaUnit() override {
        return makeMedia ? std::make_unique<CMediaUnit>() : nullptr;
    }
    CDocModelHolder* Document() override { return document; }
    const CCompoRepository* Repository() const override { return repository; }

    uint32_t signals = 0;
    uint32_t recycled = 0;
    COpenGLFBOTarget* shared = nullptr;
    uint32_t width = 64, height = 32;
    std::vector<CUnit*> layers;
    std::deque<SMonitorRequest> captures;
    std::vector<uint32_t> mediaIds;
    bool makeMedia = false;
    CDocModelHolder* document = nullptr;
    const CCompoRepository* repository = nullptr;

private:
    std::recursive_mutex fFrame;
    std::mutex fParam;
};

}  // namespace enginetest
