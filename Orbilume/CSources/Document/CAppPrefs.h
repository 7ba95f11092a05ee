#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/SFieldDesc.h"

class LFsSpec;

// The application preferences: one PREF record (domain YOBM) holding every application-wide
// setting and, in 'docs', one DCPF record per known document (most recently activated last).
// Settings are changed through the record setters without an editor; fields not flagged silent
// broadcast to the holder's observers. Fields without a tag are run-time state and never stored.
// One instance lives in the application object; Get() reaches it. Main thread only.
class CAppPrefs : public CRecordHolder {
public:
    static constexpr uint32_t kDomain = Fcc("YOBM");
    static constexpr uint32_t kPREF = Fcc("PREF");
    static constexpr uint32_t kDCPF = Fcc("DCPF");

    enum DcpfField : uint32_t {
        kDocPath,         // 'docf' POSIX path of the document
        kDocDivider1,     // 'dvps' console divider, fraction
        kDocSyncSource,   // 'tmsc' sequence timer sync source
        kDocReopen,       // 'lsop' reopen at the next start
        kDocDivider2,     // 'sdps'
        kDocSeqWinOpen,   // 'sqop'
        kDocConsoleRect,  // 'cswp'
        kDocMonitorRect,  // 'mnwp'
        kDocSeqWinRect,   // 'sqwp'
        kDocOpenNow,      // run-time: the document is open
        kDocRunTime10,
        kDocRunTime11,
        kDocRunTime12,
        kDocRunTime13,
    };
    enum PrefField : uint32_t {
        kPrefResolution,  // 'rsdv'
        kPrefUsbDmxKey,   // 'dxsp'
        kPrefUsbDmxOn,    // 'dxus'
        kPrefSoundIn,     // 'sius'
        kPrefExtControl,  // 'exct'
        kPrefDocFolder,   // 'docf'
        kPrefCompoFolder,
        kPrefImageFolder,
        kPrefFilterFolder,
        kPrefMovieFolder,
        kPrefOavs,
        kPrefSceneClearImage,
        kPrefSceneClearParam,
        kPrefFaderDigital,
        kPrefSceneClearBypass,
        kPrefScreenMode,
        kPrefOscIn,
        kPrefOscPort,  // 'ospt' 51000
        kPrefOscDmx,
        kPrefDmxThreshold,
        kPrefBetter3D,
        kPrefSilentAdd,  // 'slad' new layers invisible, new filters bypassed
        kPrefArtNetIn,
        kPrefArtNetSubUni,
        kPrefMovieAudio,
        kPrefMovieTimeMon,
        kPrefAlvs,
        kPrefMovieTimeRem,
        kPrefAdjUpdRate,
        kPrefMonitorFixed,
        kPrefRippleTimes,  // 'stfl'
        kPrefShowLayerNames,
        kPrefArtNetNet,
        kPrefSacnIn,
        kPrefSacnUniverse,  // 'saun' 1
        kPrefOutAdjRect,
        kPrefVideoDevRect,
        kPrefTextEditRect,
        kPrefViewPrefs,
        kPrefDocs,  // 'docs' DCPF records
        kPrefMovieRecorder,
        kPrefMenuKeys,
        kPrefTimecodeWin,
        kPrefMidiIn,
        kPrefSoundSelect,
        kPrefOutAdjUnit,
        kPrefSceneSelSend,
        kPrefFormServer,
        kPrefLedLayout,
        kPrefVideoSlots,
        kPrefDimmer,
        kPrefMisc,
        kPrefMidiTable,  // run-time from here on
        kPrefRunTime53,
        kPrefRunTime54,
        kPrefDimmerSource,
        kPrefUsbDmxState,
        kPrefShowCtlAssign,  // control assignments shown in the input editors ("cCtlAssign")
        kPrefFieldCount
    };

    // The holder over a new PREF record with every default; becomes Get().
    CAppPrefs();
    ~CAppPrefs() override;

    static CAppPrefs* Get();

    // The first known document that is not open now and whose path is the spec's; null for a spec
    // without a name.
    CRecord* FindDocument(const LFsSpec& spec) const;
    // A new DCPF record at the end of 'docs'.
    CRecord* AppendDocument();
    // Moves the record to the end of 'docs' (no undo).
    void MoveDocumentToEnd(CRecord* document);

    static const CRecordType& PrefType();
    static const CRecordType& DocType();
};
