#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreString/LString.h"

class LHandler;

// The keys of the two kinds of control parameter sets (YUND PRMS) in a show document, read and
// written as the numbers, flags and texts they stand for. A control assignment ('snct', 'sqct')
// says how an input source triggers scenes or steps a sequence; an input control (INPT 'ctrl')
// says how a source drives one unit input. Table texts compare exactly (case-sensitive). Readers
// answer the default for an absent key and clamp only present ones. Assignment setters make no
// undo entry; input-control setters take the editor. Main thread only.
class UCtlAttr {
public:
    enum Controller : int { kCtlrNone, kCtlrDmx, kCtlrOsc, kCtlrMidiCc, kCtlrMidiNote, kCtlrMidiProgram };
    enum Usage : int { kUsageNone = -1, kUsageSelect, kUsageStep, kUsageTrigger, kUsageFade, kUsageMix };

    // Control assignments.
    static int GetCtlr(CRecordRef set);
    static void SetCtlr(CRecordRef set, int n);  // outside 1..5 deletes the key
    static int GetUsage(CRecordRef set);
    static void SetUsage(CRecordRef set, int n);  // outside 0..4 deletes the key
    static float GetCtlTmin(CRecordRef set);
    static float GetCtlTmax(CRecordRef set);
    static void SetCtlTmin(CRecordRef set, float seconds);  // at most one decimal
    static void SetCtlTmax(CRecordRef set, float seconds);
    static int32_t GetCtlDmxCh(CRecordRef set);
    static int32_t GetCtlMidiCh(CRecordRef set);
    static int32_t GetCtlMidiCc(CRecordRef set);  // 7 when absent
    static int32_t GetCtlMidiNn(CRecordRef set);  // 48 when absent
    static void SetCtlDmxCh(CRecordRef set, int32_t value);
    static void SetCtlMidiCh(CRecordRef set, int32_t value);
    static void SetCtlMidiCc(CRecordRef set, int32_t value);
    static void SetCtlMidiNn(CRecordRef set, int32_t value);
    // Flags: true for a non-zero integer; setting false deletes the key.
    static bool GetCtlMidiCcNo(CRecordRef set);
    static bool GetCtlMidiVlt(CRecordRef set);
    static bool GetCtlStepRwnd(CRecordRef set);
    static bool GetCtlStepBack(CRecordRef set);
    static bool GetCtlStepSub(CRecordRef set);
    static void SetCtlMidiCcNo(CRecordRef set, bool on);
    static void SetCtlMidiVlt(CRecordRef set, bool on);
    static void SetCtlStepRwnd(CRecordRef set, bool on);
    static void SetCtlStepBack(CRecordRef set, bool on);
    static void SetCtlStepSub(CRecordRef set, bool on);
    // The label scene and sequence lists show for the trigger of slot n (from 0); empty when the
    // slot has no trigger.
    static LString GetCtlSlotLabel(CRecordRef set, int32_t n);
    // "C 4" for note 60.
    static LString MidiNoteName(int32_t note);

    // Input controls.
    static int GetInCtlType(CRecordRef set);  // 1 "dmx" .. 10 "loc"; 0 none
    static void SetInCtlType(CRecordRef set, LHandler* editor, int n);
    static const char* InCtlTypeName(int n);  // null outside 1..10
    static bool GetInCtlRange(CRecordRef set);
    static LString GetInCtlMin(CRecordRef set);
    static LString GetInCtlMax(CRecordRef set);
    static int32_t GetInCtlDmxCh(CRecordRef set);   // 0..511
    static int32_t GetInCtlMidiCh(CRecordRef set);  // 0..15
    static int32_t GetInCtlMidiCc(CRecordRef set);  // 0..127, 7 when absent
    static int32_t GetInCtlMidiNn(CRecordRef set);  // 0..127, 60 when absent
    static void SetInCtlDmxCh(CRecordRef set, LHandler* editor, int32_t value);
    static void SetInCtlMidiCh(CRecordRef set, LHandler* editor, int32_t value);
    static void SetInCtlMidiCc(CRecordRef set, LHandler* editor, int32_t value);
    static bool GetInCtlMidiNs(CRecordRef set);
    static bool GetInCtlMidiNg(CRecordRef set);
    static LString GetInCtlOscAdr(CRecordRef set);
    // The nested set under "compo1" .. "compo4", or null.
    static CRecord* GetInCtlCompo(CRecordRef set, int k);

    // The layer mix functions "max", "add", "sub", "rep": the index of a text (0 when unknown) and
    // the text of an index (empty from 4 on).
    static int MixFuncIndex(const LString& text);
    static const char* MixFuncName(int n);
};
