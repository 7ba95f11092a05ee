#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/SFieldDesc.h"

class CRecordType;

// The record types of a show document and the field numbers the model code uses. The types are
// registered at static initialisation (YOBM: CTRL, INPT, UNIT, LAYR, MIXS, PRMT, SCNE, SQNC, SCEX,
// SCNS, OBMX; YQLH: SCEP, SCEV, SCHD) and live until exit. Main thread only.
//
//   OBMX  mixs: MIXS { lyrs: [LAYR { unit: UNIT }] }      UNIT { inps: [INPT], flts: [UNIT] }
//         lyrs: SCNS { scns: [SCNE { prms: [PRMT] }], sqns: [SQNC { scns: [SCNE] }] }
//         ctrl: CTRL  snct, sqct: YUND PRMS  dfts: SCHD { flts: [SCEV { prds: [SCEP], axud: any }] }
class CDocModelTypes {
public:
    static constexpr uint32_t kDomain = Fcc("YOBM");
    static constexpr uint32_t kScheduleDomain = Fcc("YQLH");
    static constexpr uint32_t kCTRL = Fcc("CTRL");
    static constexpr uint32_t kINPT = Fcc("INPT");
    static constexpr uint32_t kUNIT = Fcc("UNIT");
    static constexpr uint32_t kLAYR = Fcc("LAYR");
    static constexpr uint32_t kMIXS = Fcc("MIXS");
    static constexpr uint32_t kPRMT = Fcc("PRMT");
    static constexpr uint32_t kSCNE = Fcc("SCNE");
    static constexpr uint32_t kSQNC = Fcc("SQNC");
    static constexpr uint32_t kSCEX = Fcc("SCEX");
    static constexpr uint32_t kSCNS = Fcc("SCNS");
    static constexpr uint32_t kOBMX = Fcc("OBMX");
    static constexpr uint32_t kSCEP = Fcc("SCEP");
    static constexpr uint32_t kSCEV = Fcc("SCEV");
    static constexpr uint32_t kSCHD = Fcc("SCHD");

    enum ObmxField : uint32_t {
        kObmxMix,
        kObmxScenes,
        kObmxBlendCtl,
        kObmxSceneCtl,
        kObmxSeqCtl,
        kObmxSchedule
    };
    enum MixsField : uint32_t { kMixsLastUnitId, kMixsLayers };
    enum LayrField : uint32_t { kLayrName, kLayrUnit };
    enum UnitField : uint32_t {
        kUnitId,
        kUnitSpec,
        kUnitInputs,
        kUnitFilters,
        kUnitRun0,
        kUnitRun1,
        kUnitRun2
    };
    // kInptDirect: while set, values go straight to the engine, not into the model or scenes.
    enum InptField : uint32_t { kInptKey, kInptValue, kInptImage, kInptAnim, kInptCtl, kInptDirect };
    enum CtrlField : uint32_t { kCtrlType, kCtrlDmxCh, kCtrlMidiCh, kCtrlMidiCc };
    enum PrmtField : uint32_t { kPrmtUnitId, kPrmtKey, kPrmtValue };
    enum ScneField : uint32_t { kScneName, kScneTime, kScneFade, kScneKey, kScneValues };
    enum SqncField : uint32_t { kSqncName, kSqncId, kSqncScenes };
    enum ScexField : uint32_t { kScexSeqId };
    // Fields 8 to 17 are run-time requests and player state, never saved.
    enum ScnsField : uint32_t {
        kScnsFrom,
        kScnsTo,
        kScnsOffset,
        kScnsLoop,
        kScnsTimeLine,
        kScnsSnap,
        kScnsScenes,
        kScnsSequences,
        kScnsRecall,      // int32, -1: recall scene n of the current list
        kScnsLocate,      // int32, -1: locate the player to scene n
        kScnsGoTo,        // int32, -1: go to scene n
        kScnsCurIndex,    // uint32: the player's scene index
        kScnsCurTime,     // float: the player's time in seconds
        kScnsTransport,   // byte: 0 stopped, 1 waiting, 2 running
        kScnsPosition,    // float, -1: crossfade position for the next recall
        kScnsFadeTime,    // float, -1: fade time for the next recall
        kScnsEdited,      // int32: -1 the document's own list, n sequence n's list
        kScnsFaderLevels  // float array: one level per scene
    };
    enum SchdField : uint32_t { kSchdEntries };
    enum ScevField : uint32_t {
        kScevName,
        kScevYear,
        kScevMonth,
        kScevDay,
        kScevWeekday,
        kScevHour,
        kScevMinute,
        kScevSecond,
        kScevPeriods,
        kScevCommand
    };
    enum ScepField : uint32_t { kScepRange, kScepStart, kScepEnd };

    static constexpr uint32_t kMaxUnitId = 32767;

    // The registered descriptor of a YOBM or YQLH type code; null for other codes.
    static const CRecordType* Type(uint32_t type);
    // A layer type without the hook that gives new layers their two inputs: readers of saved
    // layers make this one, so a layer holds exactly the inputs it was saved with.
    static const CRecordType& LayerReadType();

    // The process-wide sequence id counter: the next id handed out is counter + 1 (0 skipped).
    static uint32_t SequenceIdCounter();
    static void SetSequenceIdCounter(uint32_t value);
};
