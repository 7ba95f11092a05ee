#include "Lib3/LSources/Mac/SystemInfo.h"

#include "Platform/Foundation/Bytes.h"

SSystemInfo gSystemInfo;

namespace {

struct Answer {
    const char* fcc;
    int32_t response;
};

constexpr Answer kAnswers[] = {
    {"sysa", 10},                                                        // x86
    {"sys1", 10}, {"sys2", 15}, {"sys3", 7},          {"qd  ", 0x0400},  // colour drawing
    {"fs  ", 0},  {"alis", 1},  {"fold", 1},          {"drag", 1},
    {"wind", 0},  {"menu", 0},  {"qtim", 0x07600000},  // the movie layer is present
};

struct SlotSelector {
    const char* fcc;
    SSystemInfo::Slot slot;
};

// In the order the probe asks.
constexpr SlotSelector kFirstSlots[] = {
    {"hdwr", SSystemInfo::kHdwr}, {"proc", SSystemInfo::kProc}, {"mach", SSystemInfo::kMach},
    {"os  ", SSystemInfo::kOs},   {"qdrw", SSystemInfo::kQdrw}, {"snd ", SSystemInfo::kSnd},
    {"tmgr", SSystemInfo::kTmgr}, {"addr", SSystemInfo::kAddr}, {"vm  ", SSystemInfo::kVm},
};
constexpr SlotSelector kMiddleSlots[] = {
    {"wind", SSystemInfo::kWind}, {"menu", SSystemInfo::kMenu}, {"ditl", SSystemInfo::kDitl},
    {"fs  ", SSystemInfo::kFs},   {"alis", SSystemInfo::kAlis}, {"fold", SSystemInfo::kFold},
    {"stdf", SSystemInfo::kStdf}, {"cpnt", SSystemInfo::kCpnt},
};
constexpr SlotSelector kLastSlots[] = {
    {"drag", SSystemInfo::kDrag}, {"ctbv", SSystemInfo::kCtbv}, {"conn", SSystemInfo::kConn},
    {"icon", SSystemInfo::kIcon}, {"nmgr", SSystemInfo::kNmgr}, {"pop!", SSystemInfo::kPop},
    {"mixd", SSystemInfo::kMixd}, {"cfrg", SSystemInfo::kCfrg}, {"pccd", SSystemInfo::kPccd},
    {"otan", SSystemInfo::kOtan}, {"otmo", SSystemInfo::kOtmo}, {"powr", SSystemInfo::kPowr},
    {"cpkr", SSystemInfo::kCpkr},
};

bool Ask(SystemQuery query, const char* fcc, int32_t& response) {
    return query(plat::LoadFourCC(fcc), response) == 0;
}

void AskSlots(SSystemInfo& info, SystemQuery query, const SlotSelector* list, int count) {
    for (int i = 0; i < count; ++i) {
        int32_t r;
        if (Ask(query, list[i].fcc, r)) info.slots[list[i].slot] = r;
    }
}

}  // namespace

int QuerySystem(uint32_t selector, int32_t& response) {
    for (const Answer& a : kAnswers) {
        if (plat::LoadFourCC(a.fcc) == selector) {
            response = a.response;
            return 0;
        }
    }
    return -5551;  // unknown selector
}

uint32_t PackSystemVersion(uint32_t major, uint32_t minor, uint32_t patch) {
    return (major / 10) * 4096 + (major % 10) * 256 + (minor < 9 ? minor : 9) * 16 + (patch < 9 ? patch : 9);
}

void ProbeSystemInfo(SSystemInfo& info, SystemQuery query) {
    if (!info.flags[2]) return;
    int32_t r;
    if (Ask(query, "sysa", r)) info.slots[SSystemInfo::kSysa] = r;
    if (Ask(query, "sys1", r)) info.majorVersion = static_cast<uint8_t>(r);
    if (Ask(query, "sys2", r)) info.minorVersion = static_cast<uint8_t>(r);
    if (Ask(query, "sys3", r)) info.patchVersion = static_cast<uint8_t>(r);
    info.version = PackSystemVersion(info.majorVersion, info.minorVersion, info.patchVersion);

    AskSlots(info, query, kFirstSlots, sizeof kFirstSlots / sizeof kFirstSlots[0]);
    if (Ask(query, "qd  ", r)) {
        info.quickDraw = static_cast<uint32_t>(r) & 0xFFFF;
        info.colorGraphics = info.quickDraw >= 256;
    }
    AskSlots(info, query, kMiddleSlots, sizeof kMiddleSlots / sizeof kMiddleSlots[0]);
    if (Ask(query, "qtim", r)) {
        info.slots[SSystemInfo::kQtim] = r;
        info.hasQuickTime = 1;
    }
    if (Ask(query, "evnt", r)) info.slots[SSystemInfo::kEvnt] = r;
    if (Ask(query, "help", r)) info.slots[SSystemInfo::kHelp] = r;
    if (Ask(query, "tsmv", r)) {
        info.slots[SSystemInfo::kTsmv] = r;
        int32_t te;
        if (Ask(query, "tmTE", te) && (te & 1) && Ask(query, "tmTV", r)) info.slots[SSystemInfo::kTmTV] = r;
    }
    AskSlots(info, query, kLastSlots, sizeof kLastSlots / sizeof kLastSlots[0]);
    if (Ask(query, "atlk", r)) info.appleTalk = static_cast<uint32_t>(r) & 0xFF;
}
