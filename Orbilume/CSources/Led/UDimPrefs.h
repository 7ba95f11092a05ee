#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/CLRect.h"

class CRecord;

// The dimmer settings: accessors over the 'dimp' parameter set. Setters make no undo entry but
// every change reaches the set's observers. Numbers that do not read give the defaults;
// rectangles need all four numbers. Main thread only.
class UDimPrefs {
public:
    static constexpr int32_t kDefaultBreak = 84;
    static constexpr int32_t kDefaultMab = 0;
    static constexpr int32_t kDefaultMbs = 0;

    static LString GetLastFile(CRecordRef prefs);
    static void SetLastFile(CRecordRef prefs, const LString& path);

    // False when the stored rectangle is missing or empty (right <= left or bottom <= top).
    static bool GetWinPlace(CRecordRef prefs, CLRect& rect);
    static void SetWinPlace(CRecordRef prefs, const CLRect& rect);
    static bool GetDefWinPlace(CRecordRef prefs, CLRect& rect);
    static void SetDefWinPlace(CRecordRef prefs, const CLRect& rect);

    static bool GetUse(CRecordRef prefs);
    static void SetUse(CRecordRef prefs, bool on);
    static bool GetDotBounds(CRecordRef prefs);
    static void SetDotBounds(CRecordRef prefs, bool on);
    static bool GetLayoutInPixels(CRecordRef prefs);
    static void SetLayoutInPixels(CRecordRef prefs, bool on);
    static bool GetLastOpen(CRecordRef prefs);
    static void SetLastOpen(CRecordRef prefs, bool on);

    struct DmxTiming {
        int32_t breakTime = kDefaultBreak;
        int32_t mab = kDefaultMab;
        int32_t mbs = kDefaultMbs;
        friend bool operator==(const DmxTiming&, const DmxTiming&) = default;
    };
    static DmxTiming GetDmxTiming(CRecordRef prefs);
    static void SetDmxTiming(CRecordRef prefs, const DmxTiming& timing);
    // The nested sets, made on first use.
    static CRecord* DmxTimingSet(CRecordRef prefs);
    static CRecord* UniverseAddressSet(CRecordRef prefs);
};
