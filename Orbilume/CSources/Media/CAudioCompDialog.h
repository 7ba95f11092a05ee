#pragma once

#include <cstdint>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"

class LPopupList;
class LStdButton;
class LTextPane;

// The audio compression dialog ("CAUDIOCOMPDLG_AVF"): a popup of the audio formats the movie writer
// can encode, with its label, OK and Cancel. Main thread.
class CAudioCompDialog : public LModalDialog {
public:
    static constexpr const char* kName = "CAUDIOCOMPDLG_AVF";
    static constexpr uint32_t kLinearPCM = 0x6C70636D;  // 'lpcm'
    struct Format {
        uint32_t id;
        LString name;
    };

    // Offers plat::AvailableMovieAudioFormats().
    CAudioCompDialog(LHandler* upper, LPane* owner, const LFrameSpec& spec = LFrameSpec::Default());
    // Offers the given formats (possibly none).
    CAudioCompDialog(LHandler* upper, LPane* owner, const LFrameSpec& spec, std::vector<Format> formats);

    LMessage Handle(const LMessage& msg) override;

    // Selects the entry of that id; no change when there is none.
    void SelectFormat(uint32_t id);
    // The selected entry's id; 'lpcm' when no entry is selected (an empty list).
    uint32_t GetFormat() const;

    const std::vector<Format>& Formats() const { return fFormats; }
    LStdButton* OkButton() const { return fOk; }
    LStdButton* CancelButton() const { return fCancel; }
    LTextPane* FormatLabel() const { return fLabel; }
    LPopupList* FormatPopup() const { return fPopup; }

    static std::vector<Format> AvailableFormats();

private:
    std::vector<Format> fFormats;
    LStdButton* fOk;
    LStdButton* fCancel;
    LTextPane* fLabel;
    LPopupList* fPopup;
};
