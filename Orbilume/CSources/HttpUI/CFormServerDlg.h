#pragma once

#include <cstdint>
#include <string>

#include "Lib3/LSources/CoreUI/LDialog.h"
#include "Orbilume/CSources/Http/FormServer.h"

class CNumVol;
class CPassField;
class LDropPane;
class LEditText;
class LStdButton;
class LStdCheck;
class LTextPane;
namespace plat {
class Pasteboard;
}

// The operation panel's settings dialog ("FORMSVRDLG": layout and titles): port, root folder (a
// drop pane over its path, the folder chooser and show buttons), password, monitor size, same-named files and
// the seven page-content check boxes. Load fills the controls, Result reads them back. Main thread.
class CFormServerDlg : public LDialog {
public:
    static constexpr uint32_t kFlagCount = 8;

    CFormServerDlg(LHandler* upper, LPane* owner, const LFrameSpec& spec = LFrameSpec::Default());

    LMessage Handle(const LMessage& msg) override;

    void Load(const FormServerSettings& settings);
    // The settings the controls show: a typed password is stored anew, an empty field keeps the
    // stored one.
    FormServerSettings Result() const;
    // A folder dropped on the root pane: only an existing folder becomes the root.
    bool DropFolder(const std::string& path);
    // The one existing folder a drag carries (its file names); empty for anything else.
    static std::string DraggedFolder(plat::Pasteboard* pasteboard);
    // The folder chooser, starting in the root shown: a chosen folder becomes the root.
    void ChooseRoot();

    CNumVol* PortField() const { return fPort; }
    LEditText* RootField() const { return fRoot; }
    LDropPane* RootDrop() const { return fDrop; }
    LStdButton* ChooseButton() const { return fChooseButton; }
    LStdButton* ShowButton() const { return fShow; }
    CPassField* PasswordField() const { return fPass; }
    CNumVol* MonitorSizeField() const { return fMonsz; }
    // 0 "opensame", then "monimg", "valnum", "valsld", "upld", "uplddel", "upldsel", "gohome".
    LStdCheck* FlagBox(uint32_t index) const { return index < kFlagCount ? fFlags[index] : nullptr; }

private:
    FormServerSettings fLoaded;
    CNumVol* fPort;
    LEditText* fRoot;
    LDropPane* fDrop;
    LStdButton* fChooseButton;
    LStdButton* fShow;
    CPassField* fPass;
    CNumVol* fMonsz;
    LStdCheck* fFlags[kFlagCount];
};
