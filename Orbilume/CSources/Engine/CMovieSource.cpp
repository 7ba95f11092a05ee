#include "Orbilume/CSources/Engine/CMovieSource.h"

#include "Lib3/LSources/CoreData/LTimer.h"
#include "Orbilume/CSources/Engine/UTimeText.h"
#include "Platform/Video/PixelBuffer.h"

CMovieSource::CMovieSource() : fClock(&LTimer::Now) {}

CMovieSource::~CMovieSource() {
    ReleaseMovie();
}

void CMovieSource::Reset() {
    fFlags = 0;
    fAppliedScene = 0;
    fMode = kPlay;
    fStart = fEnd = 0;
    fRestart = true;
    fStartText = LString();
    fEndText = LString();
    fScene = 0;
    fFader = 0;
    fRate = 1.0f;
    fVolume = 1.0f;
    fTime = fRemain = 0;
    fFaderOn = fLoopOn = fSync = false;
}

void CMovieSource::SetMovie(plat::Ref<CAVMovie> movie) {
    ReleaseMovie();
    fMovie = std::move(movie);
    Reset();
}

void CMovieSource::ReleaseMovie() {
    if (!fMovie) return;
    fMovie->QueueRate(0);
    fMovie = nullptr;
}

float CMovieSource::RangeEnd() const {
    if (!fMovie) return 0;
    float start = 0, end = 0;
    fMovie->GetRange(start, end);
    return end;
}

void CMovieSource::SetScene(uint32_t scene) {
    if (scene == fScene) return;
    fScene = scene;
    fFlags |= kRangeChanged;
}

void CMovieSource::SetFader(float fader) {
    if (fader == fFader) return;
    fFader = fader;
    fFlags |= kVolumeChanged;
    const bool on = fader > 0;
    if (on == fFaderOn) return;
    fFaderOn = on;
    fFlags |= kFaderSwitched;
}

void CMovieSource::SetStartText(const LString& text) {
    if (text == fStartText) return;
    fStartText = text;
    fFlags |= kRangeChanged;
}

void CMovieSource::SetEndText(const LString& text) {
    if (text == fEndText) return;
    fEndText = text;
    fFlags |= kRangeChanged;
}

void CMovieSource::SetLoop(bool loop) {
    if (loop == fLoopOn) return;
    fLoopOn = loop;
    fFlags |= kLoopChanged;
}

void CMovieSource::SetSync(bool sync) {
    if (sync == fSync) return;
    fSync = sync;
    fFlags |= kRateChanged;
}

void CMovieSource::SetRate(float rate) {
    if (rate == fRate) return;
    fRate = rate;
    fFlags |= kRateChanged;
}

void CMovieSource::SetVolume(float volume) {
    if (volume == fVolume) return;
    fVolume = volume;
    fFlags |= kVolumeChanged;
}

void CMovieSource::SetTime(float time) {
    if (time == fTime) return;
    fTime = time;
    fFlags |= kTimeGiven;
}

void CMovieSource::SetRemain(float remain) {
    if (remain == fRemain) return;
    fRemain = remain;
    fFlags |= kRemainGiven;
}

void CMovieSource::PlayFrom(float position, bool& jumped) {
    jumped = true;
    fMovie->QueueRate(0);
    fMovie->QueueSeek(position, fRate);
    fMovie->QueueRate(fRate);
}

plat::Ref<plat::PixelBuffer> CMovieSource::Update(bool& jumped) {
    jumped = false;
    bool rangeChanged = false, sceneJump = false, endJump = false, startGiven = false;
    const bool newScene = static_cast<int32_t>(fScene) != fAppliedScene;
    if (fFlags & kRangeChanged) {
        fFlags &= ~kRangeChanged;
        float t = fStart;
        if (UTimeText::Parse(fStartText, t)) {
            rangeChanged = t != fStart;
            fStart = t;
            startGiven = true;
            sceneJump = newScene;
        }
        t = fEnd;
        if (UTimeText::Parse(fEndText, t)) {
            rangeChanged = rangeChanged || t != fEnd;
            fEnd = t;
            endJump = newScene;
        }
    }
    fAppliedScene = static_cast<int32_t>(fScene);
    if (!fMovie) return nullptr;

    int32_t mode = kPlay;
    bool havePosition = false, exact = false;
    float position = 0;
    if (fFlags & (kTimeGiven | kRemainGiven)) {
        position = (fFlags & kTimeGiven) ? fTime : RangeEnd() - fRemain;
        exact = havePosition = true;
        fFlags &= ~(kTimeGiven | kRemainGiven);
        mode = kHold;
    } else if (startGiven && fRate == 0) {
        position = fStart;
        havePosition = true;
        mode = kHold;
    } else {
        mode = fRate == 0 ? kHold : (fSync ? kSync : kPlay);
    }

    if (mode != fMode) {
        if (mode == kPlay) {
            fMovie->SetLoop(fLoopOn);
            rangeChanged = true;
        } else {
            fMovie->QueueRate(0);
            fMovie->SetRange(0, 0);
            fMovie->SetLoop(false);
            if (mode == kSync) fChase.Reset(fMovie->GetDuration());
        }
        fMode = mode;
    }

    if (mode == kSync) {
        if (fFaderOn) {
            switch (fChase.Step(fClock(), fStart - fEnd, fMovie->GetTime(), fMovie->SeekLatency(), 1.0)) {
                case CRateChase::kSetRate:
                    fMovie->QueueRate(fChase.Rate());
                    break;
                case CRateChase::kSeek:
                    fMovie->QueueRate(0);
                    fMovie->QueueStep(false, static_cast<float>(fChase.SeekTarget()));
                    break;
                case CRateChase::kStop:
                    fMovie->QueueRate(0);
                    break;
                default:
                    break;
            }
        }
    } else if (mode == kHold) {
        if (havePosition && fFaderOn) fMovie->QueueStep(exact, position);
    } else {
        [&] {
            if (fRestart) {
                fFlags |= kLoopChanged | kVolumeChanged;
                sceneJump = endJump = rangeChanged = true;
            }
            bool resume = false, faderOff = false;
            if (fFlags & kFaderSwitched) {
                fFlags &= ~kFaderSwitched;
                if (fFaderOn)
                    resume = true;
                else
                    fMovie->QueueRate(0);
            }
            if (!fFaderOn) {
                if (fRestart) return;
                faderOff = true;
            }
            if (rangeChanged) fMovie->SetRange(fStart, fEnd);
            bool loopTurnedOn = false;
            if (fFlags & kLoopChanged) {
                fFlags &= ~kLoopChanged;
                fMovie->SetLoop(fLoopOn);
                loopTurnedOn = fLoopOn;
            }
            if (faderOff) return;
            if (sceneJump && fRate >= 0) {
                fFlags &= ~kRateChanged;
                fRestart = false;
                PlayFrom(fStart, jumped);
                return;
            }
            bool act = loopTurnedOn || (endJump && fRate <= 0);
            if (!act && (resume || (fFlags & kRateChanged))) {
                float rs = 0, re = 0;
                fMovie->GetRange(rs, re);
                const float now = fMovie->GetTime();
                act = fRate > 0 ? re > now : now > rs;
            }
            if (!act) return;
            fFlags &= ~kRateChanged;
            fRestart = false;
            if (endJump && fRate <= 0)
                PlayFrom(fEnd, jumped);
            else if (fMovie->GetRate() != 0)
                fMovie->QueueRate(fRate);
            else
                PlayFrom(fMovie->GetTime(), jumped);
        }();
    }

    if (fFlags & kVolumeChanged) {
        fFlags &= ~kVolumeChanged;
        fMovie->SetVolume(fFader * fVolume);
    }
    return fMovie->CopyFrame();
}
