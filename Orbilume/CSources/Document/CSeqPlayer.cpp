#include "Orbilume/CSources/Document/CSeqPlayer.h"

#include <cmath>
#include <cstdint>

#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "Platform/Foundation/Check.h"

namespace {
using T = CDocModelTypes;
}  // namespace

CSeqPlayer::CSeqPlayer(LAsyncLoop* loop, const TimecodeSourceGroup& sources, CDocModelHolder* model)
    : LHandler(nullptr), fModel(model), fPassEvent(this, loop), fTimer(this, loop, sources) {
    PLAT_DCHECK_MAIN_THREAD();
    fModel->AddObserver(this, &Observe);
}

CSeqPlayer::~CSeqPlayer() {
    PLAT_DCHECK_MAIN_THREAD();
    fModel->RemoveObserver(this, &Observe);
    fTimer.SetSyncSource(CSeqcTimer::kInternal);
    fTimer.Stop();
    fPassEvent.Cancel();
}

int32_t CSeqPlayer::SecondsToMs(float seconds) {
    // Converting NaN or an out-of-range value to an integer is undefined.
    if (std::isnan(seconds) || std::isinf(seconds)) return 0;
    float v = seconds * 1000.0f;
    if (std::isinf(v)) return v > 0 ? INT32_MAX : INT32_MIN;
    v += std::signbit(v) ? -0.49999997f : 0.49999997f;
    if (v >= 2147483648.0f) return INT32_MAX;
    if (v < -2147483648.0f) return INT32_MIN;
    return int32_t(v);
}

CRecordRef CSeqPlayer::Scns() const {
    return fModel->Scenes();
}

void CSeqPlayer::SetIndexField(uint32_t index) {
    Scns().SetUInt(nullptr, T::kScnsCurIndex, index);
}

void CSeqPlayer::SetTimeField(float seconds) {
    Scns().SetFloat(nullptr, T::kScnsCurTime, seconds);
}

void CSeqPlayer::SetShownField(uint8_t state) {
    Scns().SetByte(nullptr, T::kScnsTransport, state);
}

void CSeqPlayer::Play() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fPlaying) {
        const uint32_t source = fTimer.SyncSource();
        if (source != CSeqcTimer::kInternal) {
            // Stops the transport and locks to the source from the start.
            fTimer.SetSyncSource(CSeqcTimer::kInternal);
            fTimer.SetSyncSource(source);
        }
        fPlaying = true;
        SetShownField(kShownWaiting);
    }
    fTimer.Play();
}

void CSeqPlayer::Stop() {
    PLAT_DCHECK_MAIN_THREAD();
    fPlaying = false;
    fSkipKey = false;
    fTimer.Stop();
    SetShownField(kShownStopped);
}

void CSeqPlayer::LocateScene(uint32_t n) {
    PLAT_DCHECK_MAIN_THREAD();
    if (fTimer.SyncSource() != CSeqcTimer::kInternal) return;
    Stop();
    const CRecord* scns = Scns().Get();
    const uint32_t count = UDocModel::GetSceneCount(scns);
    int32_t target = 0;
    if (count == 0) {
        n = 0;
    } else {
        if (n > count - 1) n = count - 1;
        const CRecord* scene = UDocModel::GetSceneAt(scns, n);
        target = scene ? SecondsToMs(scene->GetFloat(T::kScneTime)) : 0;
    }
    fTimer.Locate(target);
    fIndex = n;
    SetIndexField(n);
    SetTimeField(PositionSeconds());
    fSkipKey = true;
}

void CSeqPlayer::LocateTime(float seconds) {
    PLAT_DCHECK_MAIN_THREAD();
    if (fTimer.SyncSource() != CSeqcTimer::kInternal) return;
    Stop();
    fTimer.Locate(SecondsToMs(seconds));
    const float t = PositionSeconds();
    Resync(t);
    SetTimeField(t);
}

void CSeqPlayer::Resync(float seconds) {
    PLAT_DCHECK_MAIN_THREAD();
    CRecordRef scns = Scns();
    fIndex = UDocModel::SceneLowerBound(scns.Get(), fIndex, seconds);
    SetIndexField(fIndex);
    // An empty list has no scene to recall.
    if (UDocModel::GetSceneCount(scns.Get()) > 0)
        UDocScenes::SelectScene(scns, fIndex > 0 ? fIndex - 1 : 0, -1, -1);
}

void CSeqPlayer::Reindex() {
    PLAT_DCHECK_MAIN_THREAD();
    CRecordRef scns = Scns();
    if (!scns.Get()) return;
    fIndex = UDocModel::SceneLowerBound(scns.Get(), fIndex, scns->GetFloat(T::kScnsCurTime));
    SetIndexField(fIndex);
}

void CSeqPlayer::OnLocated() {
    fTime = PositionSeconds();
    SetTimeField(fTime);
    if (fTimer.SyncSource() != CSeqcTimer::kInternal && fPlaying) Resync(fTime);
}

void CSeqPlayer::ScenePass() {
    PLAT_DCHECK_MAIN_THREAD();
    CRecordRef scns = Scns();
    if (!scns.Get()) return;
    const float t = PositionSeconds();
    if (scns->GetByte(T::kScnsTransport) == kShownRunning) {
        const uint32_t i0 = UDocModel::SceneLowerBound(scns.Get(), fIndex, fTime);
        const uint32_t i1 = UDocModel::SceneLowerBound(scns.Get(), i0, t);
        const bool keysStop = fTimer.SyncSource() == CSeqcTimer::kInternal;
        for (uint32_t i = i0; i < i1; ++i) {
            const CRecord* scene = UDocModel::GetSceneAt(scns.Get(), i);
            if (!scene) break;
            if (keysStop && !fSkipKey && !scene->GetString(T::kScneKey).IsEmpty()) {
                LocateScene(i);
                return;
            }
            fSkipKey = false;
            UDocScenes::SelectScene(scns, i, -1, -1);
        }
        fTime = t;
        fIndex = i1;
    }
    SetIndexField(fIndex);
    SetTimeField(t);
}

LMessage CSeqPlayer::Handle(const LMessage& msg) {
    if (msg.sender == &fTimer) {
        if (msg.Is(CSeqcTimer_Time)) {
            // Worker thread: the pass runs on the main thread; ticks meanwhile merge into it.
            fPassEvent.Post();
            return LMessage();
        }
        if (msg.Is(CSeqcTimer_Located)) {
            OnLocated();
            return LMessage();
        }
        if (msg.Is(CSeqcTimer_Start)) {
            if (fPlaying) SetShownField(kShownRunning);
            fTimer.Run();
            return LMessage();
        }
        if (msg.Is(CSeqcTimer_Stop)) {
            if (fTimer.SyncSource() == CSeqcTimer::kInternal) fPlaying = false;
            SetShownField(fPlaying ? kShownWaiting : kShownStopped);
            return LMessage();
        }
        if (msg.Is(CSeqcTimer_Loop)) {
            Play();
            return LMessage();
        }
    }
    if (msg.Is(LAsyncEvent_Note) && msg.sender == &fPassEvent) {
        ScenePass();
        return LMessage();
    }
    return LHandler::Handle(msg);
}

void CSeqPlayer::Observe(void* context, const SRecordEvent* event) {
    static_cast<CSeqPlayer*>(context)->OnModelChange(*event);
}

void CSeqPlayer::OnModelChange(const SRecordEvent& event) {
    const CRecord* record = event.record.Get();
    if (!record) return;
    CRecordRef scns = Scns();
    if (event.kind <= SRecordEvent::kMoved && UDocModel::IsCurrentSceneListEvent(scns.Get(), event)) {
        Reindex();
        return;
    }
    if (event.kind != SRecordEvent::kValueChanged) return;
    if (record->IsOfType(T::kDomain, T::kSCNE) && event.field == T::kScneTime) {
        Reindex();
    } else if (record == scns.Get() && event.field == T::kScnsTimeLine &&
               record->GetByte(T::kScnsTimeLine) == 0) {
        Stop();
    }
}
