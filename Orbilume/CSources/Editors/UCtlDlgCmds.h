#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CRecordRef.h"

class CCtlInHub;
class CSceneCtlIn;
class CSeqCtlIn;
class LHandler;
class LModalDialog;
namespace plat {
class UsbHost;
}

// What the control-dialog commands do: make the dialog, load it, run it modally and, on OK, store
// it back and apply it. "cCtlScene" and "cCtlSeq" edit the document root's 'snct' and 'sqct' sets
// and set the matching input up again; "cCtlBlend" the CTRL record; "cDeadZone" PREF 'dxdz' and the
// hub's threshold; "cDmxIn" PREF 'dxsp' and 'dxus'. Each answers true when the dialog ended with OK.
// Main thread only.
class UCtlDlgCmds {
public:
    // Runs a dialog until it has an answer; tests replace it to drive the dialog in process.
    using Runner = uint32_t (*)(LModalDialog* dialog);
    static void SetRunner(Runner runner);  // null: the dialog's own modal run

    static bool SceneControl(LHandler* upper, CRecordRef snct, CSceneCtlIn* input);
    static bool SequenceControl(LHandler* upper, CRecordRef sqct, CSeqCtlIn* input);
    // The four CTRL fields through the editor; the caller then spreads them over the layers.
    static bool BlendControl(LHandler* upper, CRecordRef ctrl, LHandler* editor);
    static bool DeadZone(LHandler* upper, CRecordRef prefs, CCtlInHub* hub);

    // The application's side of "cDmxIn": release the current input claim, and open the interface
    // of PREF 'dxsp' (false on failure).
    struct DmxInput {
        void* context = nullptr;
        void (*release)(void* context) = nullptr;
        bool (*open)(void* context) = nullptr;
        void (*beep)() = nullptr;
    };
    // The claim is released first either way. OK: 'dxsp' := the chosen key (empty without items),
    // 'dxus' := 1, then open (a beep on failure). Cancel: 'dxus' := 0.
    static bool DmxInterface(LHandler* upper, CRecordRef prefs, const std::vector<std::string>& keys,
                             const DmxInput& input);
    // The keys of the connected USB DMX interfaces in discovery order (those without a key left out).
    static std::vector<std::string> ConnectedKeys(plat::UsbHost& host);
};
