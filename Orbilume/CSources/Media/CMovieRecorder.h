#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "Common/Posix/CWorkerThread.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Orbilume/CSources/Sound/SoundInputSpec.h"
#include "Platform/Media/MovieWriter.h"

class CAudioCompDialog;
class CMovieAudioWriter;
class COpenGLContext_Cca;
class CVideoCompDialog;
class LHandler;

namespace plat {
class AudioSystem;
}

// Records the rendered output into a .mov: frames are offered at the end of engine frames (Tick with
// the frame's COpenGLContext_Cca, on the render thread), paced by the frame interval and the
// append-cost estimate, read back with glReadPixels into pixel buffers, queued and appended on the
// worker thread; optionally the sound input as audio (CMovieAudioWriter). Media time is 1/600 s.
//
// States: idle -> recording (Start) -> stopping (Finish) -> finished (the worker appended every queued
// frame) -> idle (the main thread finished the movie). Start reports failure and leaves no file; an
// append the writer refuses ends the recording with an error; the finish result (and its error text)
// reaches the finished callback. Destroying a recorder that records finishes the movie with every
// queued frame and the sound left in the ring.
//
// Settings live in a parameter set: "avvsetn" ("vcodec", "vfrmrate", "vkeyrate", "vjpegq" with two
// decimals) and "avasetn" ("afmtid", the four-character id as a decimal number).
//
// Threads: construction, Start, Finish, settings, dialogs and the finished callback on the main
// thread; Offer on one render thread at a time. Lock order: the offer lock, then the GL lock.
class CMovieRecorder : public CWorkerThread {
public:
    static constexpr int32_t kMaxFrameRate = 60;
    static constexpr int32_t kMaxKeyFrameInterval = 300;
    using FinishedCallback = std::function<void(bool ok, const std::string& error)>;

    // audio: borrowed, outlives the recorder; null takes plat::CurrentAudioSystem().
    explicit CMovieRecorder(plat::AudioSystem* audio = nullptr);
    ~CMovieRecorder() override;

    // Render thread: offers the frame just rendered in the context (Tick under the offer lock, so a
    // recording that ends meanwhile takes no more frames).
    void Offer(COpenGLContext_Cca* context);

    // Main thread: starts a recording of width x height into the file. False, with LastError(), when
    // the recorder is not idle, the size or codec is refused, or the file cannot be written.
    [[nodiscard]] bool Start(const LFsSpec& file, uint32_t width, uint32_t height, bool audio);

    // The media time (1/600 s) at nowMs of the millisecond clock.
    int64_t MediaTime(uint32_t nowMs) const;
    // The frame interval in media units: trunc(600 / frame rate), 0 at 0 frames per second.
    int64_t FrameInterval() const;

    void ReadSettings(CRecordRef settings);
    // editor (may be null) records the change for undo.
    void WriteSettings(CRecordRef settings, LHandler* editor) const;
    // Run the dialogs with the current values; on OK they take the dialog's values (true).
    bool RunVideoDialog(LHandler* upper);
    bool RunAudioDialog(LHandler* upper);
    // The dialogs' values in and out (what the runners do around the modal loop).
    void ShowIn(CVideoCompDialog& dialog) const;
    void TakeFrom(CVideoCompDialog& dialog);
    void ShowIn(CAudioCompDialog& dialog) const;
    void TakeFrom(const CAudioCompDialog& dialog);

    const LString& Codec() const { return fCodec; }
    int32_t FrameRate() const { return fFrameRate; }
    int32_t KeyFrameInterval() const { return fKeyFrameInterval; }
    float JpegQuality() const { return fJpegQuality; }
    uint32_t AudioFormat() const;
    // Values are brought into range as ReadSettings does.
    void SetCodec(const LString& codec);
    void SetFrameRate(int32_t fps);
    void SetKeyFrameInterval(int32_t frames);
    void SetJpegQuality(double quality);
    void SetAudioFormat(uint32_t id);

    // The sound input that recordings with audio open (default: the default input device).
    void SetSoundInputSpec(const SoundInputSpec& spec) { fSoundSpec = spec; }
    void SetFinishedCallback(FinishedCallback callback) { fFinished = std::move(callback); }

    bool IsRecording() const { return GetState() == kRunning; }
    bool HasAudio() const { return fAudioStarted; }
    std::string LastError() const;
    // Frames read back and queued, and appended, in the current or last recording.
    uint32_t FramesTaken() const { return fTaken.load(std::memory_order_relaxed); }
    uint32_t FramesAppended() const { return fAppended.load(std::memory_order_relaxed); }
    CMovieAudioWriter& AudioWriter() { return *fAudio; }

protected:
    int64_t CurrentTime(uint32_t& nowMs) override;
    // Grabs the frame: argument is the COpenGLContext_Cca of the frame; the job a retained buffer.
    uint64_t MakeJob(void* argument) override;
    // Appends a frame on the worker.
    void ConsumeJob(const Item& item) override;
    // Finishes the movie on the main thread.
    void CompleteFinish() override;

    // The frame of the context's bound framebuffer as a retained buffer from the writer's pool; null
    // when none can be had.
    virtual plat::PixelBuffer* GrabFrame(COpenGLContext_Cca* context);
    plat::MovieWriter* Writer() const { return fWriter.get(); }
    uint32_t Width() const { return fWidth; }
    uint32_t Height() const { return fHeight; }

private:
    static void AudioFailed(void* self);
    void SetError(const std::string& error);

    uint32_t fWidth = 0;
    uint32_t fHeight = 0;
    plat::Ref<plat::MovieWriter> fWriter;
    std::unique_ptr<uint8_t[]> fReadBack;
    size_t fReadBackSize = 0;
    std::unique_ptr<CMovieAudioWriter> fAudio;
    bool fAudioStarted = false;
    bool fHasThread = false;
    SoundInputSpec fSoundSpec;
    LString fCodec;
    int32_t fFrameRate = 30;
    int32_t fKeyFrameInterval = 100;
    float fJpegQuality = 0.5f;
    uint32_t fStartMs = 0;
    std::mutex fOfferMutex;  // an offer against the end of a recording
    std::atomic<bool> fAppendFailed{false};
    std::atomic<uint32_t> fTaken{0};
    std::atomic<uint32_t> fAppended{0};
    FinishedCallback fFinished;
    mutable std::mutex fErrorMutex;
    std::string fError;
};
