#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/support/TestPNG.h"

namespace mediatest {

using T = CDocModelTypes;

// Runs the main run loop (real time) until done() or 20 s.
inline bool Pump(const std::function<bool()>& done) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Delivers the LTimer expirations due now.
inline void FireTimers() {
    for (LMessage m = LTimer::NextExpired(LTimer::Now(), nullptr, nullptr, true); !m.IsEmpty();
         m = LTimer::NextExpired(LTimer::Now(), nullptr, nullptr, true))
        LHandler::Dispatch(m);
}

// A PNG of one colour (straight RGBA).
inline bool WriteSolidPNG(const std::string& path, int width, int height, uint32_t rgba) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = static_cast<uint8_t>(rgba >> 24);
        pixels[i + 1] = static_cast<uint8_t>(rgba >> 16);
        pixels[i + 2] = static_cast<uint8_t>(rgba >> 8);
        pixels[i + 3] = static_cast<uint8_t>(rgba);
    }
    const std::vector<uint8_t> png = testsupport::EncodeTestPNG(width, height, pixels);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(out);
}

inline LFsSpec Spec(const std::string& path) {
    return CMacFileU::LFsSpecFromPath(path.c_str());
}

// A show with layers whose "Image" input holds a media unit.
struct MediaShow {
    explicit MediaShow(const std::string& documentPath) { doc.SetDocumentPath(Spec(documentPath)); }

    // A new layer; its media unit's id, and the layer unit's id in owner.
    uint32_t AddMediaLayer(uint32_t* owner = nullptr) {
        CRecordRef mix = doc.Mix();
        const int32_t n = UDocUnits::AddCompositionLayer(mix, nullptr, 99, LString("show.qtz"));
        if (n < 0) return 0;
        CRecord* unit = mix->GetElement(T::kMixsLayers, static_cast<uint32_t>(n))->GetSubRecord(T::kLayrUnit);
        if (!UDocUnits::SetUnitInput(mix, nullptr, unit, LString("Image"), LString(""), true)) return 0;
        if (owner) *owner = unit->GetUInt(T::kUnitId);
        CRecord* input = UDocUnits::FindOrAddUnitInput(unit, nullptr, LString("Image"), LString(""));
        const CRecord* image = input ? input->GetSubRecord(T::kInptImage) : nullptr;
        return image ? image->GetUInt(T::kUnitId) : 0;
    }

    // A new scene at the end of the list storing the clip for the owner's "Image".
    void AddScene(uint32_t owner, const std::string& clip) {
        CRecordRef scns = doc.Scenes();
        CRecord* scene = UDocScenes::NewScene();
        UDocScenes::SetSceneValue(scene, nullptr, owner, LString("Image"), LString(clip.c_str()), false);
        ASSERT_TRUE(UDocScenes::InsertScene(scns, nullptr, UDocModel::GetSceneCount(scns.Get()), scene));
    }

    std::string Stored(const std::string& path) {
        const LString text = doc.MakeStoredPath(Spec(path));
        return std::string(text.CStr(), text.Length());
    }

    CDocModelHolder doc;
};

}  // namespace mediatest
