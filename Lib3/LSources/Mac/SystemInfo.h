#pragma once

#include <cstdint>

// The global system-information record: one 64-bit slot per system query, the packed version
// word and a few derived flags. Static initialisation clears it and sets the 'hdwr', 'proc' and
// 'tmgr' slots and the seven flag bytes to 1; ProbeSystemInfo fills the rest.
struct SSystemInfo {
    enum Slot {
        kSysa,
        kHdwr,
        kProc,
        kMach,
        kOs,
        kQdrw,
        kSnd,
        kTmgr,
        kAddr,
        kVm,
        kDitl,
        kFs,
        kAlis,
        kFold,
        kStdf,
        kCpnt,
        kEvnt,
        kHelp,
        kTsmv,
        kTmTV,
        kDrag,
        kCtbv,
        kConn,
        kIcon,
        kNmgr,
        kPop,
        kMixd,
        kCfrg,
        kPccd,
        kOtan,
        kOtmo,
        kPowr,
        kCpkr,
        kQtim,
        kWind,
        kMenu,
        kSlotCount
    };

    uint64_t flagWords[2] = {0, 0};
    int64_t slots[kSlotCount] = {};
    uint32_t version = 0;  // (major/10)*4096 + (major%10)*256 + min(minor,9)*16 + min(patch,9)
    uint32_t quickDraw = 0;
    uint32_t appleTalk = 0;
    uint8_t flags[7] = {1, 1, 1, 1, 1, 1, 1};  // flags[2] enables the probe
    uint8_t colorGraphics = 0;
    uint8_t hasQuickTime = 0;
    uint8_t majorVersion = 0;
    uint8_t minorVersion = 0;
    uint8_t patchVersion = 0;

    SSystemInfo() { slots[kHdwr] = slots[kProc] = slots[kTmgr] = 1; }
};

extern SSystemInfo gSystemInfo;

// Answers one system query: 0 and the response, or a non-zero error for an unknown selector.
using SystemQuery = int (*)(uint32_t selector, int32_t& response);

// The system's own answers: a modern system (10.15.7 in the classic numbering).
int QuerySystem(uint32_t selector, int32_t& response);

uint32_t PackSystemVersion(uint32_t major, uint32_t minor, uint32_t patch);

// Fills the record from the queries (QuerySystem unless given). A query that fails leaves its slot.
void ProbeSystemInfo(SSystemInfo& info, SystemQuery query = QuerySystem);
