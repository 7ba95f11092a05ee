#pragma once

#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Orbilume/CSources/Media/CObStillSaver_CGi.h"

// The document's still saver: writes each capture as a PNG file to the destination set before the
// capture was asked for. Main thread. The file is written atomically: a failed save leaves no file
// (an older one at that place stays), and the outcome is kept for the document to report.
class CObStillSaver_CGi_File : public CObStillSaver_CGi {
public:
    enum class EResult : uint8_t { kNone, kSaved, kFailed };
    using Completion = void (*)(void* object, bool saved);

    CObStillSaver_CGi_File() = default;

    void SetFile(const LFsSpec& spec) { mFile = spec; }
    const LFsSpec& file() const { return mFile; }
    // Called after every write with its outcome.
    void SetCompletion(Completion completion, void* object) {
        mCompletion = completion;
        mCompletionObject = object;
    }
    EResult lastResult() const { return mLastResult; }

    [[nodiscard]] bool Write(const plat::Ref<CStillFrame>& image, const SStillOptions& options) override;

private:
    LFsSpec mFile;
    EResult mLastResult = EResult::kNone;
    Completion mCompletion = nullptr;
    void* mCompletionObject = nullptr;
};
