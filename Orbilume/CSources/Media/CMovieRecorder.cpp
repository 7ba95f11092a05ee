#include "Orbilume/CSources/Media/CMovieRecorder.h"

#include <epoxy/gl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CNumVol.h"
#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Media/CAudioCompDialog.h"
#include "Orbilume/CSources/Media/CMovieAudioWriter.h"
#include "Orbilume/CSources/Media/CVideoCompDialog.h"
#include "Platform/Foundation/Check.h"

namespace {

const char* const kVideoSet = "avvsetn";
const char* const kAudioSet = "avasetn";
constexpr int32_t kDialogWindowKind = 8;

LFrameSpec ModalSpec() {
    return LFrameSpec(LFrameSpec::kModal, CMacWindowKindH(new CMacWinKind(kDialogWindowKind)));
}

bool IsKnownAudioFormat(uint32_t id) {
    return id == plat::kMovieAudioLPCM || id == plat::kMovieAudioAAC || id == plat::kMovieAudioALAC;
}

bool ParseLong(const LString& text, long long& value) {
    if (text.IsEmpty()) return false;
    char* end = nullptr;
    value = std::strtoll(text.CStr(), &end, 10);
    return end && *end == 0;
}

}  // namespace

CMovieRecorder::CMovieRecorder(plat::AudioSystem* audio)
    : fAudio(std::make_unique<CMovieAudioWriter>(audio)), fCodec(plat::kMovieCodecH264) {
    PLAT_DCHECK_MAIN_THREAD();
    fAudio->SetFailureCallback(&AudioFailed, this);
    fHasThread = StartThread();
    if (!fHasThread) SetError("no worker thread");
}

CMovieRecorder::~CMovieRecorder() {
    PLAT_DCHECK_MAIN_THREAD();
    // A recording ends with every queued frame appended and the movie finished.
    Finish();
    while (fHasThread && GetState() == kFinishRequested) usleep(1000);
    if (GetState() == kFinishDone) {
        CompleteFinish();
        SetState(kIdle);
    }
    Stop();
}

void CMovieRecorder::SetError(const std::string& error) {
    std::lock_guard<std::mutex> lock(fErrorMutex);
    fError = error;
}

std::string CMovieRecorder::LastError() const {
    std::lock_guard<std::mutex> lock(fErrorMutex);
    return fError;
}

bool CMovieRecorder::Start(const LFsSpec& file, uint32_t width, uint32_t height, bool audio) {
    PLAT_DCHECK_MAIN_THREAD();
    SetError("");
    if (GetState() != kIdle) {
        SetError("a recording is running");
        return false;
    }
    if (width < 1 || height < 1 || width > uint32_t(plat::kMovieMaxSide) ||
        height > uint32_t(plat::kMovieMaxSide)) {
        SetError("movie size " + std::to_string(width) + " x " + std::to_string(height) +
                 " is not within 1..8192");
        return false;
    }
    const size_t bytes = size_t(width) * height * 4;
    if (bytes != fReadBackSize) {
        fReadBack.reset(new (std::nothrow) uint8_t[bytes]);
        fReadBackSize = fReadBack ? bytes : 0;
        if (!fReadBack) {
            SetError("out of memory");
            return false;
        }
    }
    const LString path = CMacFileU::PathFromLFsSpec(file);
    std::string error;
    plat::Ref<plat::MovieWriter> writer =
        path.IsEmpty() ? nullptr : plat::MovieWriter::Create(std::string(path.CStr(), path.Length()), &error);
    if (!writer) {
        SetError(error.empty() ? "no destination" : error);
        return false;
    }
    plat::MovieVideoSettings video;
    video.codec = std::string(fCodec.CStr(), fCodec.Length());
    video.width = int32_t(width);
    video.height = int32_t(height);
    video.keyFrameInterval = fKeyFrameInterval;
    video.quality = fJpegQuality;
    video.frameRate = fFrameRate;
    if (!writer->AddVideoInput(video)) {
        SetError(writer->Error());
        return false;
    }
    // Without a sound input the movie is recorded without sound.
    fAudioStarted = false;
    if (audio && fAudio->Open(fSoundSpec)) {
        if (writer->AddAudioInput(fAudio->Settings()))
            fAudioStarted = true;
        else
            (void)fAudio->Stop();
    }
    if (!writer->StartWriting(0)) {
        SetError(writer->Error());
        if (fAudioStarted) (void)fAudio->Stop();
        fAudioStarted = false;
        return false;
    }
    fWriter = writer;
    fWidth = width;
    fHeight = height;
    fAppendFailed.store(false);
    fTaken.store(0);
    fAppended.store(0);
    if (fAudioStarted) fAudio->Start(writer.get());
    Begin(FrameInterval());
    fStartMs = LTimer::Now();
    SetState(kRunning);
    return true;
}

int64_t CMovieRecorder::FrameInterval() const {
    return fFrameRate > 0 ? int64_t(600.0f / float(fFrameRate)) : 0;
}

int64_t CMovieRecorder::MediaTime(uint32_t nowMs) const {
    return int64_t(uint32_t(nowMs - fStartMs)) * 600 / 1000;
}

int64_t CMovieRecorder::CurrentTime(uint32_t& nowMs) {
    nowMs = LTimer::Now();
    return MediaTime(nowMs);
}

uint64_t CMovieRecorder::MakeJob(void* argument) {
    plat::PixelBuffer* buffer = GrabFrame(static_cast<COpenGLContext_Cca*>(argument));
    if (buffer) fTaken.fetch_add(1, std::memory_order_relaxed);
    return reinterpret_cast<uintptr_t>(buffer);
}

plat::PixelBuffer* CMovieRecorder::GrabFrame(COpenGLContext_Cca* context) {
    if (!context || !fWriter || !fWriter->Pool()) return nullptr;
    plat::Ref<plat::PixelBuffer> buffer = fWriter->Pool()->CreatePixelBuffer();
    if (!buffer || !buffer->Lock(0)) return nullptr;
    {
        COpenGLScope_Cca scope(*context);
        // Rows of exactly width * 4 bytes into client memory, whatever the caller left set.
        GLint packBuffer = 0, rowLength = 0, alignment = 4;
        glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &packBuffer);
        glGetIntegerv(GL_PACK_ROW_LENGTH, &rowLength);
        glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(0, 0, GLsizei(fWidth), GLsizei(fHeight), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                     fReadBack.get());
        glPixelStorei(GL_PACK_ALIGNMENT, alignment);
        glPixelStorei(GL_PACK_ROW_LENGTH, rowLength);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, GLuint(packBuffer));
    }
    // GL's last row is the top of the picture.
    const size_t row = size_t(fWidth) * 4;
    uint8_t* out = buffer->BaseAddress();
    for (uint32_t y = 0; y < fHeight; ++y)
        std::memcpy(out + y * buffer->BytesPerRow(), fReadBack.get() + (fHeight - 1 - y) * row, row);
    buffer->Unlock(0);
    return buffer.release();
}

void CMovieRecorder::ConsumeJob(const Item& item) {
    plat::Ref<plat::PixelBuffer> buffer =
        plat::Adopt(reinterpret_cast<plat::PixelBuffer*>(uintptr_t(item.job)));
    // A frame offered while the recording ended comes after the finish: it is not part of the movie.
    const State state = GetState();
    if (state != kRunning && state != kFinishRequested) return;
    if (fAppendFailed.load(std::memory_order_acquire)) return;
    if (!fWriter->AppendPixelBuffer(buffer.get(), item.time)) {
        // The file is broken from here on: end the recording.
        SetError(fWriter->Error());
        fAppendFailed.store(true, std::memory_order_release);
        Finish();
        return;
    }
    fAppended.fetch_add(1, std::memory_order_relaxed);
}

void CMovieRecorder::AudioFailed(void* self) {
    auto* r = static_cast<CMovieRecorder*>(self);
    if (r->fWriter) r->SetError(r->fWriter->Error());
    r->fAppendFailed.store(true, std::memory_order_release);
    r->Finish();
}

void CMovieRecorder::Offer(COpenGLContext_Cca* context) {
    std::lock_guard<std::mutex> lock(fOfferMutex);
    Tick(context);
}

void CMovieRecorder::CompleteFinish() {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Ref<plat::MovieWriter> writer;
    {
        std::lock_guard<std::mutex> lock(fOfferMutex);
        writer = std::move(fWriter);
        // Frames offered while the worker finished are not part of the movie.
        Item item;
        while (TakeQueued(item)) {
            plat::Ref<plat::PixelBuffer> dropped =
                plat::Adopt(reinterpret_cast<plat::PixelBuffer*>(uintptr_t(item.job)));
        }
    }
    if (!writer) return;
    if (fAudioStarted) (void)fAudio->Stop();
    fAudioStarted = false;
    const bool ok = writer->Finish() && !fAppendFailed.load();
    if (!ok && LastError().empty()) SetError(writer->Error());
    if (fFinished) fFinished(ok, ok ? std::string() : LastError());
}

// Settings.

uint32_t CMovieRecorder::AudioFormat() const {
    return fAudio->FormatID();
}

void CMovieRecorder::SetCodec(const LString& codec) {
    fCodec = codec == LString(plat::kMovieCodecJPEG) ? LString(plat::kMovieCodecJPEG)
                                                     : LString(plat::kMovieCodecH264);
}

void CMovieRecorder::SetFrameRate(int32_t fps) {
    fFrameRate = std::clamp(fps, 0, kMaxFrameRate);
}

void CMovieRecorder::SetKeyFrameInterval(int32_t frames) {
    fKeyFrameInterval = std::clamp(frames, 1, kMaxKeyFrameInterval);
}

void CMovieRecorder::SetJpegQuality(double quality) {
    if (std::isfinite(quality)) fJpegQuality = float(std::clamp(quality, 0.0, 1.0));
}

void CMovieRecorder::SetAudioFormat(uint32_t id) {
    fAudio->SetFormatID(IsKnownAudioFormat(id) ? id : plat::kMovieAudioLPCM);
}

void CMovieRecorder::ReadSettings(CRecordRef settings) {
    PLAT_DCHECK_MAIN_THREAD();
    LString text;
    long long n = 0;
    if (CRecord* video = CParamSet::GetSubSet(settings, LString(kVideoSet))) {
        const CRecordRef set(&video);
        if (CParamSet::Find(set, LString("vcodec"), &text) >= 0) SetCodec(text);
        text = LString();
        if (CParamSet::Find(set, LString("vfrmrate"), &text) >= 0 && ParseLong(text, n))
            SetFrameRate(int32_t(std::clamp<long long>(n, -1, kMaxFrameRate + 1)));
        text = LString();
        if (CParamSet::Find(set, LString("vkeyrate"), &text) >= 0 && ParseLong(text, n))
            SetKeyFrameInterval(int32_t(std::clamp<long long>(n, 0, kMaxKeyFrameInterval + 1)));
        text = LString();
        if (CParamSet::Find(set, LString("vjpegq"), &text) >= 0 && !text.IsEmpty()) {
            char* end = nullptr;
            const double q = std::strtod(text.CStr(), &end);
            if (end && *end == 0) SetJpegQuality(q);
        }
    }
    if (CRecord* audio = CParamSet::GetSubSet(settings, LString(kAudioSet))) {
        const CRecordRef set(&audio);
        text = LString();
        if (CParamSet::Find(set, LString("afmtid"), &text) >= 0)
            SetAudioFormat(ParseLong(text, n) && n >= 0 && n <= 0xFFFFFFFFll ? uint32_t(n) : 0);
    }
}

void CMovieRecorder::WriteSettings(CRecordRef settings, LHandler* editor) const {
    PLAT_DCHECK_MAIN_THREAD();
    CRecord* video = CParamSet::GetOrCreateSubSet(settings, editor, LString(kVideoSet));
    if (video) {
        const CRecordRef set(&video);
        char quality[32];
        std::snprintf(quality, sizeof quality, "%.2f", double(fJpegQuality));
        CParamSet::SetString(set, editor, LString("vcodec"), fCodec);
        CParamSet::SetString(set, editor, LString("vfrmrate"), LString(std::to_string(fFrameRate).c_str()));
        CParamSet::SetString(set, editor, LString("vkeyrate"),
                             LString(std::to_string(fKeyFrameInterval).c_str()));
        CParamSet::SetString(set, editor, LString("vjpegq"), LString(quality));
    }
    CRecord* audio = CParamSet::GetOrCreateSubSet(settings, editor, LString(kAudioSet));
    if (audio) {
        const CRecordRef set(&audio);
        CParamSet::SetString(set, editor, LString("afmtid"), LString(std::to_string(AudioFormat()).c_str()));
    }
}

// Dialogs.

void CMovieRecorder::ShowIn(CVideoCompDialog& dialog) const {
    dialog.SetCodec(fCodec);
    dialog.FrameRateKnob()->SetValue(float(fFrameRate));
    dialog.KeyFrameKnob()->SetValue(float(fKeyFrameInterval));
    dialog.QualityKnob()->SetValue(fJpegQuality * 100.0f);
}

void CMovieRecorder::TakeFrom(CVideoCompDialog& dialog) {
    SetCodec(dialog.GetCodec());
    const auto whole = [](float v) { return std::isfinite(v) ? int32_t(std::clamp(v, -1.0f, 1e6f)) : -1; };
    if (const int32_t fps = whole(dialog.FrameRateKnob()->GetValue()); fps >= 0) SetFrameRate(fps);
    if (const int32_t key = whole(dialog.KeyFrameKnob()->GetValue()); key >= 0) SetKeyFrameInterval(key);
    SetJpegQuality(double(dialog.QualityKnob()->GetValue()) / 100.0);
}

void CMovieRecorder::ShowIn(CAudioCompDialog& dialog) const {
    dialog.SelectFormat(AudioFormat());
}

void CMovieRecorder::TakeFrom(const CAudioCompDialog& dialog) {
    SetAudioFormat(dialog.GetFormat());
}

bool CMovieRecorder::RunVideoDialog(LHandler* upper) {
    PLAT_DCHECK_MAIN_THREAD();
    CVideoCompDialog dialog(upper, nullptr, ModalSpec());
    ShowIn(dialog);
    if (dialog.RunUntilResult() != 1) return false;
    TakeFrom(dialog);
    return true;
}

bool CMovieRecorder::RunAudioDialog(LHandler* upper) {
    PLAT_DCHECK_MAIN_THREAD();
    CAudioCompDialog dialog(upper, nullptr, ModalSpec());
    ShowIn(dialog);
    if (dialog.RunUntilResult() != 1) return false;
    TakeFrom(dialog);
    return true;
}
