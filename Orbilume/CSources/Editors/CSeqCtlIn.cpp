#include "Orbilume/CSources/Editors/CSeqCtlIn.h"

#include <algorithm>

#include "Common/Mac/CRunLoopSignal.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UCtlAttr.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

uint32_t ClampTo(int32_t value, uint32_t high) {
    return static_cast<uint32_t>(std::clamp<int32_t>(value, 0, static_cast<int32_t>(high)));
}

}  // namespace

CSeqCtlIn::CSeqCtlIn(CRecordRef scns, CCtlInHub* hub) : fScns(scns), fHub(hub) {
    PLAT_DCHECK_MAIN_THREAD();
    fSignal = std::make_unique<CRunLoopSignal>(this, &CSeqCtlIn::SignalPerformed);
    if (fHub) {
        (void)fHub->AddDmxListener(&CSeqCtlIn::DmxProc, this);
        (void)fHub->AddMidiListener(&CSeqCtlIn::MidiProc, this);
    }
}

CSeqCtlIn::~CSeqCtlIn() {
    PLAT_DCHECK_MAIN_THREAD();
    if (fHub) {
        (void)fHub->RemoveDmxListener(&CSeqCtlIn::DmxProc, this);
        (void)fHub->RemoveMidiListener(&CSeqCtlIn::MidiProc, this);
    }
}

void CSeqCtlIn::Setup(CRecord* assignment) {
    PLAT_DCHECK_MAIN_THREAD();
    CRecordRef set(&assignment);
    Config c;
    const int ctlr = assignment ? UCtlAttr::GetCtlr(set) : 0;
    c.ctlr = ctlr >= 1 && ctlr <= 5 ? static_cast<uint32_t>(ctlr) : 0;
    switch (c.ctlr) {
        case UCtlAttr::kCtlrDmx:
            c.usage = UCtlAttr::GetUsage(set);
            c.channel = ClampTo(UCtlAttr::GetCtlDmxCh(set), kSlots - 1);
            for (uint32_t i = 0; i < kSlots; ++i) fSnapshot[i] = Value(i);
            break;
        case UCtlAttr::kCtlrMidiCc:
            c.usage = UCtlAttr::GetUsage(set);
            c.channel = ClampTo(UCtlAttr::GetCtlMidiCh(set), 15);
            c.number = ClampTo(UCtlAttr::GetCtlMidiCc(set), 127);
            c.mode = UCtlAttr::GetCtlMidiCcNo(set);
            break;
        case UCtlAttr::kCtlrMidiNote:
            c.channel = ClampTo(UCtlAttr::GetCtlMidiCh(set), 15);
            c.number = ClampTo(UCtlAttr::GetCtlMidiNn(set), 127);
            c.mode = UCtlAttr::GetCtlMidiVlt(set);
            break;
        case UCtlAttr::kCtlrMidiProgram:
            c.channel = ClampTo(UCtlAttr::GetCtlMidiCh(set), 15);
            break;
        default:
            break;
    }
    if (c.usage < -1 || c.usage > 4) c.usage = -1;
    c.stepRewind = assignment && UCtlAttr::GetCtlStepRwnd(set);
    c.stepBack = assignment && UCtlAttr::GetCtlStepBack(set);
    c.stepSub = assignment && UCtlAttr::GetCtlStepSub(set);
    std::lock_guard<std::mutex> lock(fMutex);
    fConfig = c;
    fPending = kNothing;
}

int32_t CSeqCtlIn::PendingResult() {
    std::lock_guard<std::mutex> lock(fMutex);
    return fPending;
}

void CSeqCtlIn::DmxProc(void* context) {
    static_cast<CSeqCtlIn*>(context)->fSignal->Signal();
}

void CSeqCtlIn::MidiProc(void* context, const uint8_t message[3]) {
    static_cast<CSeqCtlIn*>(context)->OnMidi(message);
}

void CSeqCtlIn::SignalPerformed(void* context) {
    static_cast<CSeqCtlIn*>(context)->Apply();
}

uint8_t CSeqCtlIn::Value(uint32_t slot) const {
    return fHub && slot < kSlots ? fHub->DmxValue(slot) : 0;
}

void CSeqCtlIn::OnMidi(const uint8_t message[3]) {
    int32_t result = kNothing;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        if (!Decide(fConfig, message, result)) return;
        fPending = result;
    }
    fSignal->Signal();
}

bool CSeqCtlIn::Decide(const Config& c, const uint8_t message[3], int32_t& result) const {
    const uint32_t s = message[0], d1 = message[1], d2 = message[2];
    // Malformed data bytes would index past the hub's 128-entry tables.
    if (d1 >= 0x80 || d2 >= 0x80) return false;
    const uint32_t channel = s & 0x0F;
    const bool controlChange = (s & 0xF0) == 0xB0;
    // An edge: the message raises a controller that was 0 before it.
    auto edge = [&] { return d2 != 0 && fHub && fHub->MidiCc(channel, d1) == 0; };
    switch (c.ctlr) {
        case UCtlAttr::kCtlrMidiProgram:
            if (s != (0xC0 | c.channel)) return false;
            result = static_cast<int32_t>(d1);
            return true;
        case UCtlAttr::kCtlrMidiNote:
            if (s != (0x90 | c.channel) || d2 == 0 || d1 < c.number) return false;
            result = static_cast<int32_t>(d1 - c.number);
            return true;
        case UCtlAttr::kCtlrMidiCc:
            break;
        default:
            return false;
    }
    switch (c.usage) {
        case UCtlAttr::kUsageTrigger:
        case UCtlAttr::kUsageFade:
            if (c.mode) {
                if (s != (0xB0 | c.channel) || d1 < c.number || !edge()) return false;
                result = static_cast<int32_t>(d1 - c.number);
            } else {
                if (!controlChange || d1 != c.number || channel < c.channel || !edge()) return false;
                result = static_cast<int32_t>(channel - c.channel);
            }
            return true;
        case UCtlAttr::kUsageStep: {
            if (c.mode ? s != (0xB0 | c.channel) : !controlChange || d1 != c.number) return false;
            // Positions (channel, controller) from (channel, number) on, advancing the controller
            // with "midicno" and the channel without it; later positions override earlier ones.
            uint32_t k = 0;
            auto matches = [&](uint32_t position) {
                return c.mode ? channel == c.channel && d1 == c.number + position
                              : channel == c.channel + position && d1 == c.number;
            };
            result = kNothing;
            if (c.stepRewind) {
                if (matches(k)) result = edge() ? 0 : kNothing;
                ++k;
            }
            if (c.stepBack) {
                if (matches(k) && edge()) result = kPrevious;
                ++k;
            }
            if (matches(k) && edge()) result = kNext;
            return true;
        }
        case UCtlAttr::kUsageSelect:
            if (s != (0xB0 | c.channel) || d1 != c.number) return false;
            result = static_cast<int32_t>(d2);
            return true;
        default:
            return false;
    }
}

int32_t CSeqCtlIn::PollDmx(uint32_t n) {
    const Config& c = fConfig;
    auto edge = [&](uint32_t ch) { return ch < kSlots && fSnapshot[ch] == 0 && Value(ch) != 0; };
    int32_t r = kNothing;
    switch (c.usage) {
        case UCtlAttr::kUsageSelect: {
            const uint8_t v = Value(c.channel);
            if (c.channel < kSlots && v != fSnapshot[c.channel] && v < n) r = v;
            break;
        }
        case UCtlAttr::kUsageStep: {
            uint32_t ch = c.channel;
            if (c.stepRewind) {
                if (edge(ch)) r = 0;
                ++ch;
            }
            if (c.stepBack) {
                if (edge(ch)) r = kPrevious;
                ++ch;
            }
            if (edge(ch)) r = kNext;
            ++ch;
            if (c.stepSub && edge(ch)) r = kNext;
            break;
        }
        default: {
            const uint32_t end = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{c.channel} + n, kSlots));
            for (uint32_t ch = c.channel; ch < end; ++ch)
                if (edge(ch)) r = static_cast<int32_t>(ch - c.channel);
            break;
        }
    }
    for (uint32_t i = 0; i < kSlots; ++i) fSnapshot[i] = Value(i);
    return r;
}

int32_t CSeqCtlIn::Poll(uint32_t n) {
    PLAT_DCHECK_MAIN_THREAD();
    if (fConfig.ctlr == UCtlAttr::kCtlrDmx) return PollDmx(n);
    int32_t r;
    {
        // Taken and reset in one step: a result stored meanwhile is neither lost nor taken twice.
        std::lock_guard<std::mutex> lock(fMutex);
        r = fPending;
        fPending = kNothing;
    }
    if (r >= 0 && static_cast<uint32_t>(r) >= n) return kNothing;
    return r;
}

void CSeqCtlIn::Apply() {
    PLAT_DCHECK_MAIN_THREAD();
    CRecord* scns = fScns.Get();
    if (!scns || !scns->IsOfType(T::kDomain, T::kSCNS)) return;
    const int32_t current = scns->GetInt(T::kScnsEdited);
    if (current < 0) return;
    const uint32_t n = scns->ArrayCount(T::kScnsSequences);
    const int32_t r = Poll(n);
    int64_t target = r;
    if (r == kNext) target = int64_t{current} + 1;
    if (r == kPrevious) target = int64_t{current} - 1;
    if (r == kNothing || target < 0 || target >= n) return;
    UDocScenes::SetEditedSequence(fScns, static_cast<int32_t>(target));
}
