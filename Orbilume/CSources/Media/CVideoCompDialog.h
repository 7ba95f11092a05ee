#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"

class CNumVol;
class LPopupList;
class LStdButton;
class LTextPane;

// The video compression dialog ("CVIDEOCOMPDLG_AVF"): codec popup (H.264, JPEG), frame-rate knob
// 1..60, key-frame knob 1..300 and quality knob 0..100, each with its label, OK and Cancel. The
// key-frame knob is on only for H.264, the quality knob only for JPEG. Main thread.
class CVideoCompDialog : public LModalDialog {
public:
    static constexpr const char* kName = "CVIDEOCOMPDLG_AVF";
    struct Codec {
        const char* codec;  // the stored codec string
        const char* title;  // the popup's text
        bool usesKeyFrames;
        bool usesQuality;
    };
    static constexpr Codec kCodecs[] = {{"avc1", "H.264", true, false}, {"jpeg", "JPEG", false, true}};

    CVideoCompDialog(LHandler* upper, LPane* owner, const LFrameSpec& spec = LFrameSpec::Default());

    LMessage Handle(const LMessage& msg) override;

    // Selects the row of that codec string; no change for an unknown one.
    void SetCodec(const LString& codec);
    LString GetCodec() const;

    LStdButton* OkButton() const { return fOk; }
    LStdButton* CancelButton() const { return fCancel; }
    LPopupList* CodecPopup() const { return fCodec; }
    CNumVol* FrameRateKnob() const { return fFrameRate; }
    CNumVol* KeyFrameKnob() const { return fKeyFrames; }
    CNumVol* QualityKnob() const { return fQuality; }
    LTextPane* Label(uint32_t n) const;  // 0 codec, 1 frame rate, 2 key frames, 3 quality

private:
    void UpdateControls();

    LStdButton* fOk;
    LStdButton* fCancel;
    LTextPane* fCodecLabel;
    LPopupList* fCodec;
    LTextPane* fFrameRateLabel;
    CNumVol* fFrameRate;
    LTextPane* fKeyFramesLabel;
    CNumVol* fKeyFrames;
    LTextPane* fQualityLabel;
    CNumVol* fQuality;
};
