#include "Orbilume/CSources/Engine/CSceneCtlIn.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "Common/Mac/CRunLoopSignal.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UCtlAttr.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

constexpr uint32_t kSlots = CCtlInHub::kDmxSlots;

uint32_t ClampTo(int32_t value, uint32_t high) {
    return static_cast<uint32_t>(std::clamp<int32_t>(value, 0, static_cast<int32_t>(high)));
}

}  // namespace

CSceneCtlIn::CSceneCtlIn(CRecordRef scenes, CCtlInHub* hub) : fScenes(scenes), fHub(hub) {
    fSignal = std::make_unique<CRunLoopSignal>(this, &CSceneCtlIn::SignalPerformed);
    if (fHub) {
        (void)fHub->AddDmxListener(&CSceneCtlIn::DmxProc, this);
        (void)fHub->AddMidiListener(&CSceneCtlIn::MidiProc, this);
    }
}

CSceneCtlIn::~CSceneCtlIn() {
    if (fHub) {
        (void)fHub->RemoveDmxListener(&CSceneCtlIn::DmxProc, this);
        (void)fHub->RemoveMidiListener(&CSceneCtlIn::MidiProc, this);
    }
}

void CSceneCtlIn::Setup(CRecord* assignment) {
    PLAT_DCHECK_MAIN_THREAD();
    CRecordRef set(&assignment);
    const int ctlr = assignment ? UCtlAttr::GetCtlr(set) : 0;
    std::lock_guard<std::mutex> lock(fMutex);
    fSource = ctlr >= 1 && ctlr <= 5 ? static_cast<uint32_t>(ctlr) : kNone;
    fPendingScene = kNoScene;
    fPendingTime = -1.0f;
    fFadeChannel = -1;
    fPositionOverride = -1.0f;
    fTimeOverride = -1.0f;
    fModeFlag = false;
    const int usage = assignment ? UCtlAttr::GetUsage(set) : -1;
    const uint32_t usageOr = usage >= 0 && usage <= 4 ? static_cast<uint32_t>(usage) : kTrigger;
    switch (fSource) {
        case kDmx:
            fUsage = usageOr;
            fChannel = ClampTo(UCtlAttr::GetCtlDmxCh(set), kSlots - 1);
            for (uint32_t i = 0; i < kSlots; ++i) fSnapshot[i] = fHub ? fHub->DmxValue(i) : 0;
            break;
        case kMidiCc:
            fUsage = usageOr;
            fChannel = ClampTo(UCtlAttr::GetCtlMidiCh(set), 15);
            fNumber = ClampTo(UCtlAttr::GetCtlMidiCc(set), 127);
            fModeFlag = UCtlAttr::GetCtlMidiCcNo(set);
            break;
        case kMidiNote: {
            fChannel = ClampTo(UCtlAttr::GetCtlMidiCh(set), 15);
            fNumber = ClampTo(UCtlAttr::GetCtlMidiNn(set), 127);
            fModeFlag = UCtlAttr::GetCtlMidiVlt(set);
            const float lo = UCtlAttr::GetCtlTmin(set), hi = UCtlAttr::GetCtlTmax(set);
            fTimeMin = std::isfinite(lo) ? lo : 0;
            fTimeMax = std::isfinite(hi) ? hi : 0;
            break;
        }
        case kMidiProgram:
            fChannel = ClampTo(UCtlAttr::GetCtlMidiCh(set), 15);
            break;
        default:
            break;
    }
    fStepRewind = assignment && UCtlAttr::GetCtlStepRwnd(set);
    fStepBack = assignment && UCtlAttr::GetCtlStepBack(set);
    fStepSub = assignment && UCtlAttr::GetCtlStepSub(set);
}

int32_t CSceneCtlIn::PendingScene() {
    std::lock_guard<std::mutex> lock(fMutex);
    return fPendingScene;
}

void CSceneCtlIn::DmxProc(void* context) {
    static_cast<CSceneCtlIn*>(context)->OnDmx();
}

void CSceneCtlIn::MidiProc(void* context, const uint8_t message[3]) {
    static_cast<CSceneCtlIn*>(context)->OnMidi(message);
}

void CSceneCtlIn::SignalPerformed(void* context) {
    static_cast<CSceneCtlIn*>(context)->Step();
}

void CSceneCtlIn::Raise() {
    fSignals.fetch_add(1, std::memory_order_relaxed);
    fSignal->Signal();
}

void CSceneCtlIn::OnDmx() {
    Raise();
}

bool CSceneCtlIn::Rising(uint32_t channel, uint32_t controller, uint8_t value) const {
    return value > 0 && fHub && fHub->MidiCc(channel, controller) == 0;
}

void CSceneCtlIn::OnMidi(const uint8_t message[3]) {
    const uint8_t status = message[0] & 0xF0;
    const uint32_t c = message[0] & 0x0F;
    const uint8_t d1 = message[1] & 0x7F, d2 = message[2] & 0x7F;
    int32_t r = kNoScene;
    float t = -1.0f;
    bool match = false;
    std::unique_lock<std::mutex> lock(fMutex);
    const uint32_t source = fSource;
    switch (source) {
        case kMidiProgram:
            if (status == 0xC0 && c == fChannel) {
                r = d1;
                match = true;
            }
            break;
        case kMidiNote:
            if (status == 0x90 && c == fChannel && d2 > 0 && d1 >= fNumber) {
                r = static_cast<int32_t>(d1 - fNumber);
                if (fModeFlag) t = fTimeMin + (fTimeMax - fTimeMin) * static_cast<float>(127 - d2) / 126.0f;
                match = true;
            }
            break;
        case kMidiCc: {
            if (status != 0xB0) break;
            if (fUsage == kSelect) {
                if (c == fChannel && d1 == fNumber) {
                    r = d2;
                    match = true;
                }
            } else if (fUsage == kTrigger || fUsage == kFade) {
                if (!fModeFlag && c >= fChannel && d1 == fNumber && Rising(c, d1, d2)) {
                    r = static_cast<int32_t>(c - fChannel);
                    match = true;
                } else if (fModeFlag && c == fChannel && d1 >= fNumber && Rising(c, d1, d2)) {
                    r = static_cast<int32_t>(d1 - fNumber);
                    match = true;
                }
                // A fade controller in use moves the running fade: the step reads it.
                if (!match && fUsage == kFade && fFadeChannel >= 0) {
                    lock.unlock();
                    Raise();
                    return;
                }
            } else if (fUsage == kStep) {
                const bool passes = fModeFlag ? c == fChannel : d1 == fNumber;
                if (!passes) break;
                // The step controls' positions from (channel, number) on.
                const int32_t offset = fModeFlag ? static_cast<int32_t>(d1) - static_cast<int32_t>(fNumber)
                                                 : static_cast<int32_t>(c) - static_cast<int32_t>(fChannel);
                int32_t k = 0;
                const int32_t rewind = fStepRewind ? k++ : -1;
                const int32_t back = fStepBack ? k++ : -1;
                const int32_t forward = k;
                const bool rising = Rising(c, d1, d2);
                if (offset == rewind)
                    r = rising ? 0 : kNoScene;
                else if (offset == back && rising)
                    r = kPrevious;
                else if (offset == forward && rising)
                    r = kNext;
                match = true;
            }
            // "mix" recalls nothing: its levels are read at the step.
            break;
        }
        default:
            break;
    }
    if (!match) return;
    fPendingScene = r;
    fPendingTime = t;
    lock.unlock();
    Raise();
}

int32_t CSceneCtlIn::PollDmx(uint32_t n) {
    int32_t r = kNoScene;
    auto value = [&](uint32_t ch) -> uint8_t { return ch < kSlots && fHub ? fHub->DmxValue(ch) : 0; };
    auto edge = [&](uint32_t ch) { return ch < kSlots && fSnapshot[ch] == 0 && value(ch) != 0; };
    switch (fUsage) {
        case kSelect: {
            const uint8_t v = value(fChannel);
            if (v != fSnapshot[fChannel] && v < n) r = v;
            break;
        }
        case kStep: {
            uint32_t ch = fChannel;
            if (fStepRewind) {
                if (edge(ch)) r = 0;
                ++ch;
            }
            if (fStepBack) {
                if (edge(ch)) r = kPrevious;
                ++ch;
            }
            if (edge(ch)) r = kNext;
            ++ch;
            if (fStepSub && edge(ch)) r = kNext;
            break;
        }
        default: {
            for (uint32_t k = 0; k < n && fChannel + k < kSlots; ++k) {
                if (!edge(fChannel + k)) continue;
                if (fUsage == kFade) {
                    if (r == kNoScene) {
                        r = static_cast<int32_t>(k);
                        fFadeChannel = static_cast<int32_t>(fChannel + k);
                    }
                } else {
                    r = static_cast<int32_t>(k);
                }
            }
            if (fFadeChannel >= 0) fPositionOverride = value(static_cast<uint32_t>(fFadeChannel)) / 255.0f;
            break;
        }
    }
    for (uint32_t i = 0; i < kSlots; ++i) fSnapshot[i] = value(i);
    return r;
}

int32_t CSceneCtlIn::Poll(uint32_t n) {
    PLAT_DCHECK_MAIN_THREAD();
    if (fSource == kDmx) return PollDmx(n);
    if (fSource != kMidiCc && fSource != kMidiNote && fSource != kMidiProgram) return kNoScene;
    int32_t r = kNoScene;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        if (fPendingScene >= 0) {
            // A scene beyond the list is dropped.
            if (static_cast<uint32_t>(fPendingScene) < n) {
                fTimeOverride = fPendingTime;
                r = fPendingScene;
                if (fSource == kMidiCc && fUsage == kFade) {
                    fFadeChannel =
                        static_cast<int32_t>(fModeFlag ? fChannel : fChannel + static_cast<uint32_t>(r));
                    fFadeNumber = fModeFlag ? fNumber + static_cast<uint32_t>(r) : fNumber;
                }
            }
        } else if (fPendingScene == kNext || fPendingScene == kPrevious) {
            r = fPendingScene;
        }
        fPendingScene = kNoScene;
    }
    if (fFadeChannel >= 0 && fFadeChannel <= 15 && fFadeNumber <= 127 && fHub)
        fPositionOverride = fHub->MidiCc(static_cast<uint32_t>(fFadeChannel), fFadeNumber) / 127.0f;
    return r;
}

void CSceneCtlIn::Step() {
    PLAT_DCHECK_MAIN_THREAD();
    CRecord* scns = fScenes.Get();
    if (!scns || !scns->IsOfType(T::kDomain, T::kSCNS)) return;
    const uint32_t n = UDocModel::GetSceneCount(scns);
    const int32_t r = Poll(n);
    const auto current = static_cast<int64_t>(scns->GetUInt(T::kScnsCurIndex));
    int64_t index = r;
    if (r == kNext) index = current + 1 < n ? current + 1 : -1;
    if (r == kPrevious) index = current - 1;
    if (index >= 0 && index < n) {
        UDocScenes::SelectScene(fScenes, static_cast<uint32_t>(index), fPositionOverride, fTimeOverride);
    } else {
        scns->Slot(T::kScnsPosition).f32 = fPositionOverride;
        scns->Slot(T::kScnsFadeTime).f32 = fTimeOverride;
    }
    MirrorLevels();
}

void CSceneCtlIn::MirrorLevels() {
    std::vector<float> levels;
    if (fSource == kDmx && fUsage == kMix) {
        levels.resize(kSlots);
        for (uint32_t i = 0; i < kSlots; ++i) levels[i] = (fHub ? fHub->DmxValue(i) : 0) / 255.0f;
    } else if (fSource == kMidiCc && fUsage == kMix) {
        if (fModeFlag) {
            levels.resize(128);
            for (uint32_t i = 0; i < 128; ++i) levels[i] = (fHub ? fHub->MidiCc(fChannel, i) : 0) / 127.0f;
        } else {
            levels.resize(16);
            for (uint32_t i = 0; i < 16; ++i) levels[i] = (fHub ? fHub->MidiCc(i, fNumber) : 0) / 127.0f;
        }
    }
    CRecord* scns = fScenes.Get();
    const uint32_t count = scns->ArrayCount(T::kScnsFaderLevels);
    const auto* stored = static_cast<const float*>(scns->ArrayData(T::kScnsFaderLevels));
    bool same = count == levels.size();
    for (uint32_t i = 0; same && i < count; ++i) same = stored && stored[i] == levels[i];
    if (!same)
        (void)fScenes.SetArray(nullptr, T::kScnsFaderLevels, levels.data(),
                               static_cast<uint32_t>(levels.size()));
}
