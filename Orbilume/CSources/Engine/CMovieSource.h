#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Media/CAVMovie.h"
#include "Orbilume/CSources/Media/CRateChase.h"
#include "Platform/Foundation/Object.h"

namespace plat {
class PixelBuffer;
}

// The transport of a media cache entry's movie: turns the unit's port values (scene, fader, range
// texts, loop or sync, rate, volume, a time or the time left to show) into the movie's commands.
// Setters store a changed value and mark it; Update acts on what changed and hands out the newest
// frame. Render thread, under the cache lock; SetMovie and ReleaseMovie also on the main thread
// under it.
class CMovieSource {
public:
    enum Flag : uint32_t {
        kRangeChanged = 2,  // start, end or scene
        kLoopChanged = 4,
        kRateChanged = 8,     // rate or sync
        kVolumeChanged = 16,  // volume or fader
        kFaderSwitched = 32,  // fader on or off
        kTimeGiven = 64,
        kRemainGiven = 128
    };
    enum Mode : int32_t { kPlay = 0, kHold = 1, kSync = 2 };
    using Clock = uint32_t (*)();

    CMovieSource();
    ~CMovieSource();
    CMovieSource(const CMovieSource&) = delete;
    CMovieSource& operator=(const CMovieSource&) = delete;

    // Stops and drops the old movie, keeps the new one and starts over from the defaults.
    void SetMovie(plat::Ref<CAVMovie> movie);
    void ReleaseMovie();
    CAVMovie* Movie() const { return fMovie.get(); }

    // A new frame (null: none); jumped tells that the movie was sent to a new place.
    plat::Ref<plat::PixelBuffer> Update(bool& jumped);

    void SetScene(uint32_t scene);
    void SetFader(float fader);
    void SetStartText(const LString& text);
    void SetEndText(const LString& text);
    void SetLoop(bool loop);
    void SetSync(bool sync);
    void SetRate(float rate);
    void SetVolume(float volume);
    void SetTime(float time);
    void SetRemain(float remain);

    float GetTime() const { return fMovie ? fMovie->GetTime() : 0.0f; }
    float RangeEnd() const;
    bool HasVideo() const { return fMovie && fMovie->HasVideo(); }
    bool HasAudio() const { return fMovie && fMovie->HasAudio(); }
    float GetDuration() const { return fMovie ? fMovie->GetDuration() : 0.0f; }
    int32_t CurrentMode() const { return fMode; }
    uint32_t Flags() const { return fFlags; }
    // The millisecond clock the sync chase reads (tests fix it).
    void SetClock(Clock clock) { fClock = clock; }

private:
    void Reset();
    void PlayFrom(float position, bool& jumped);

    plat::Ref<CAVMovie> fMovie;
    uint32_t fFlags = 0;
    int32_t fAppliedScene = 0;
    int32_t fMode = kPlay;
    float fStart = 0;
    float fEnd = 0;
    bool fRestart = true;
    CRateChase fChase;
    LString fStartText;
    LString fEndText;
    uint32_t fScene = 0;
    float fFader = 0;
    float fRate = 1.0f;
    float fVolume = 1.0f;
    float fTime = 0;
    float fRemain = 0;
    bool fFaderOn = false;
    bool fLoopOn = false;
    bool fSync = false;
    Clock fClock;
};
