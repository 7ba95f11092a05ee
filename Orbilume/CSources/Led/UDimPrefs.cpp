#include "Orbilume/CSources/Led/UDimPrefs.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"

namespace {

constexpr const char* kLastFile = "lastfile";
constexpr const char* kWinPlace = "winplace";
constexpr const char* kDefWinPlace = "defwinplace";
constexpr const char* kUse = "use";
constexpr const char* kDotBounds = "dotbnd";
constexpr const char* kLayoutDiv = "lyodiv";
constexpr const char* kLastOpen = "lastopen";
constexpr const char* kDmxTiming = "dmxtiming";
constexpr const char* kUvads = "uvads";

// A whole decimal number in 32 bits, else the fallback.
int32_t ReadInt(CRecordRef set, const char* key, int32_t fallback) {
    LString text;
    if (CParamSet::Find(set, LString(key), &text) < 0) return fallback;
    const char* s = text.CStr();
    if (!s || !*s) return fallback;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(s, &end, 10);
    if (errno != 0 || end == s || *end != 0 || v < INT32_MIN || v > INT32_MAX) return fallback;
    return static_cast<int32_t>(v);
}

bool GetFlag(CRecordRef prefs, const char* key) {
    return ReadInt(prefs, key, 0) != 0;
}
void SetFlag(CRecordRef prefs, const char* key, bool on) {
    CParamSet::PutIntAt(prefs, LString(key), on ? 1 : 0);
}

bool GetPlace(CRecordRef prefs, const char* key, CLRect& rect) {
    const CLRect r = CParamSet::GetRect(prefs, LString(key));
    if (r.left >= r.right || r.top >= r.bottom) return false;
    rect = r;
    return true;
}

}  // namespace

LString UDimPrefs::GetLastFile(CRecordRef prefs) {
    LString value;
    if (CParamSet::Find(prefs, LString(kLastFile), &value) < 0) return LString();
    return value;
}
void UDimPrefs::SetLastFile(CRecordRef prefs, const LString& path) {
    CParamSet::SetString(prefs, nullptr, LString(kLastFile), path);
}

bool UDimPrefs::GetWinPlace(CRecordRef prefs, CLRect& rect) {
    return GetPlace(prefs, kWinPlace, rect);
}
void UDimPrefs::SetWinPlace(CRecordRef prefs, const CLRect& rect) {
    CParamSet::SetRect(prefs.Get(), LString(kWinPlace), rect);
}
bool UDimPrefs::GetDefWinPlace(CRecordRef prefs, CLRect& rect) {
    return GetPlace(prefs, kDefWinPlace, rect);
}
void UDimPrefs::SetDefWinPlace(CRecordRef prefs, const CLRect& rect) {
    CParamSet::SetRect(prefs.Get(), LString(kDefWinPlace), rect);
}

bool UDimPrefs::GetUse(CRecordRef prefs) {
    return GetFlag(prefs, kUse);
}
void UDimPrefs::SetUse(CRecordRef prefs, bool on) {
    SetFlag(prefs, kUse, on);
}
bool UDimPrefs::GetDotBounds(CRecordRef prefs) {
    return GetFlag(prefs, kDotBounds);
}
void UDimPrefs::SetDotBounds(CRecordRef prefs, bool on) {
    SetFlag(prefs, kDotBounds, on);
}
bool UDimPrefs::GetLayoutInPixels(CRecordRef prefs) {
    return GetFlag(prefs, kLayoutDiv);
}
void UDimPrefs::SetLayoutInPixels(CRecordRef prefs, bool on) {
    SetFlag(prefs, kLayoutDiv, on);
}
bool UDimPrefs::GetLastOpen(CRecordRef prefs) {
    return GetFlag(prefs, kLastOpen);
}
void UDimPrefs::SetLastOpen(CRecordRef prefs, bool on) {
    SetFlag(prefs, kLastOpen, on);
}

CRecord* UDimPrefs::DmxTimingSet(CRecordRef prefs) {
    return CParamSet::GetOrCreateSubSet(prefs, nullptr, LString(kDmxTiming));
}
CRecord* UDimPrefs::UniverseAddressSet(CRecordRef prefs) {
    return CParamSet::GetOrCreateSubSet(prefs, nullptr, LString(kUvads));
}

UDimPrefs::DmxTiming UDimPrefs::GetDmxTiming(CRecordRef prefs) {
    DmxTiming t;
    CRecord* set = CParamSet::GetSubSet(prefs, LString(kDmxTiming));
    if (!set) return t;
    const CRecordRef ref(&set);
    t.breakTime = ReadInt(ref, "break", kDefaultBreak);
    t.mab = ReadInt(ref, "mab", kDefaultMab);
    t.mbs = ReadInt(ref, "mbs", kDefaultMbs);
    return t;
}
void UDimPrefs::SetDmxTiming(CRecordRef prefs, const DmxTiming& timing) {
    CRecord* set = DmxTimingSet(prefs);
    if (!set) return;
    const CRecordRef ref(&set);
    CParamSet::PutIntAt(ref, LString("break"), timing.breakTime);
    CParamSet::PutIntAt(ref, LString("mab"), timing.mab);
    CParamSet::PutIntAt(ref, LString("mbs"), timing.mbs);
}
