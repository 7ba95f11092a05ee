#include "Orbilume/CSources/Document/UCtlAttr.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreString/LVariStr.h"

namespace {

constexpr const char* kControllers[] = {"dmx", "osc", "mcc", "mnt", "mpg"};
constexpr const char* kUsages[] = {"sel", "step", "trig", "fade", "mix"};
constexpr const char* kInputTypes[] = {"dmx", "dmx2",  "midic", "midin", "midiv",
                                       "osc", "spect", "rgb",   "hsv",   "loc"};
constexpr const char* kMixFuncs[] = {"max", "add", "sub", "rep"};
constexpr const char* kNoteNames[] = {"C ", "C#", "D ", "D#", "E ", "F ", "F#", "G ", "G#", "A ", "A#", "B "};

template <size_t N>
int IndexIn(const char* const (&table)[N], const LString& text) {
    for (size_t i = 0; i < N; ++i) {
        if (std::strcmp(table[i], text.CStr()) == 0 && text.Length() == std::strlen(table[i]))
            return static_cast<int>(i);
    }
    return -1;
}

LString Value(CRecordRef set, const char* key) {
    LString value;
    CParamSet::Find(set, LString(key), &value);
    return value;
}

bool Has(CRecordRef set, const char* key, LString& value) {
    return CParamSet::Find(set, LString(key), &value) >= 0;
}

int32_t IntOr(CRecordRef set, const char* key, int32_t fallback) {
    return CParamSet::GetIntOr(set, LString(key), fallback);
}

int32_t Clamped(CRecordRef set, const char* key, int32_t fallback, int32_t low, int32_t high) {
    LString text;
    if (!Has(set, key, text)) return fallback;
    const long value = std::strtol(text.CStr(), nullptr, 10);
    return static_cast<int32_t>(std::clamp<long>(value, low, high));
}

bool Flag(CRecordRef set, const char* key) {
    LString text;
    return Has(set, key, text) && std::strtol(text.CStr(), nullptr, 10) != 0;
}

float FloatOr0(CRecordRef set, const char* key) {
    double value = 0.0;
    return CParamSet::GetFloat(set, LString(key), value) >= 0 ? static_cast<float>(value) : 0.0f;
}

void Put(CRecordRef set, LHandler* editor, const char* key, const char* value) {
    CParamSet::SetString(set, editor, LString(key), LString(value ? value : ""));
}

void PutFlag(CRecordRef set, const char* key, bool on) {
    Put(set, nullptr, key, on ? "1" : "");
}

LString Decimal(int64_t n) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(n));
    return LString(buf);
}

}  // namespace

int UCtlAttr::GetCtlr(CRecordRef set) {
    return IndexIn(kControllers, Value(set, "ctlr")) + 1;
}

void UCtlAttr::SetCtlr(CRecordRef set, int n) {
    Put(set, nullptr, "ctlr", n >= 1 && n <= 5 ? kControllers[n - 1] : "");
}

int UCtlAttr::GetUsage(CRecordRef set) {
    return IndexIn(kUsages, Value(set, "usage"));
}

void UCtlAttr::SetUsage(CRecordRef set, int n) {
    Put(set, nullptr, "usage", n >= 0 && n <= 4 ? kUsages[n] : "");
}

float UCtlAttr::GetCtlTmin(CRecordRef set) {
    return FloatOr0(set, "tmin");
}
float UCtlAttr::GetCtlTmax(CRecordRef set) {
    return FloatOr0(set, "tmax");
}
void UCtlAttr::SetCtlTmin(CRecordRef set, float seconds) {
    CParamSet::SetFloat(set, nullptr, LString("tmin"), 1, seconds);
}
void UCtlAttr::SetCtlTmax(CRecordRef set, float seconds) {
    CParamSet::SetFloat(set, nullptr, LString("tmax"), 1, seconds);
}

int32_t UCtlAttr::GetCtlDmxCh(CRecordRef set) {
    return IntOr(set, "dmxch", 0);
}
int32_t UCtlAttr::GetCtlMidiCh(CRecordRef set) {
    return IntOr(set, "midich", 0);
}
int32_t UCtlAttr::GetCtlMidiCc(CRecordRef set) {
    return IntOr(set, "midicc", 7);
}
int32_t UCtlAttr::GetCtlMidiNn(CRecordRef set) {
    return IntOr(set, "midinn", 48);
}
void UCtlAttr::SetCtlDmxCh(CRecordRef set, int32_t value) {
    CParamSet::SetInt(set, nullptr, LString("dmxch"), value);
}
void UCtlAttr::SetCtlMidiCh(CRecordRef set, int32_t value) {
    CParamSet::SetInt(set, nullptr, LString("midich"), value);
}
void UCtlAttr::SetCtlMidiCc(CRecordRef set, int32_t value) {
    CParamSet::SetInt(set, nullptr, LString("midicc"), value);
}
void UCtlAttr::SetCtlMidiNn(CRecordRef set, int32_t value) {
    CParamSet::SetInt(set, nullptr, LString("midinn"), value);
}

bool UCtlAttr::GetCtlMidiCcNo(CRecordRef set) {
    return Flag(set, "midicno");
}
bool UCtlAttr::GetCtlMidiVlt(CRecordRef set) {
    return Flag(set, "midivlt");
}
bool UCtlAttr::GetCtlStepRwnd(CRecordRef set) {
    return Flag(set, "steprwnd");
}
bool UCtlAttr::GetCtlStepBack(CRecordRef set) {
    return Flag(set, "stepback");
}
bool UCtlAttr::GetCtlStepSub(CRecordRef set) {
    return Flag(set, "stepsub");
}
void UCtlAttr::SetCtlMidiCcNo(CRecordRef set, bool on) {
    PutFlag(set, "midicno", on);
}
void UCtlAttr::SetCtlMidiVlt(CRecordRef set, bool on) {
    PutFlag(set, "midivlt", on);
}
void UCtlAttr::SetCtlStepRwnd(CRecordRef set, bool on) {
    PutFlag(set, "steprwnd", on);
}
void UCtlAttr::SetCtlStepBack(CRecordRef set, bool on) {
    PutFlag(set, "stepback", on);
}
void UCtlAttr::SetCtlStepSub(CRecordRef set, bool on) {
    PutFlag(set, "stepsub", on);
}

LString UCtlAttr::MidiNoteName(int32_t note) {
    if (note < 0 || note > 127) return LString();
    LVariStr<8> text;
    text.Append(kNoteNames[note % 12]);
    text.Append(Decimal(note / 12 - 1));
    return LString(text);
}

LString UCtlAttr::GetCtlSlotLabel(CRecordRef set, int32_t n) {
    const bool select = GetUsage(set) == kUsageSelect;
    const int64_t slot = n;
    switch (GetCtlr(set)) {
        case kCtlrDmx:
            if (select) return slot >= 0 && slot <= 255 ? Decimal(slot) : LString();
            {
                const int64_t channel = int64_t{GetCtlDmxCh(set)} + slot + 1;
                return channel <= 512 ? Decimal(channel) : LString();
            }
        case kCtlrOsc:
            return Decimal(slot);
        case kCtlrMidiCc:
            if (select) return slot >= 0 && slot <= 127 ? Decimal(slot) : LString();
            if (GetCtlMidiCcNo(set)) {
                const int64_t cc = int64_t{GetCtlMidiCc(set)} + slot;
                return cc < 128 ? Decimal(cc) : LString();
            } else {
                const int64_t channel = int64_t{GetCtlMidiCh(set)} + slot + 1;
                return channel <= 16 ? Decimal(channel) : LString();
            }
        case kCtlrMidiNote: {
            const int64_t note = int64_t{GetCtlMidiNn(set)} + slot;
            return note >= 0 && note <= 127 ? MidiNoteName(static_cast<int32_t>(note)) : LString();
        }
        case kCtlrMidiProgram:
            return slot >= -1 && slot <= 127 ? Decimal(slot + 1) : LString();
        default:
            return LString();
    }
}

int UCtlAttr::GetInCtlType(CRecordRef set) {
    return IndexIn(kInputTypes, Value(set, "type")) + 1;
}

void UCtlAttr::SetInCtlType(CRecordRef set, LHandler* editor, int n) {
    Put(set, editor, "type", InCtlTypeName(n));
}

const char* UCtlAttr::InCtlTypeName(int n) {
    return n >= 1 && n <= 10 ? kInputTypes[n - 1] : nullptr;
}

bool UCtlAttr::GetInCtlRange(CRecordRef set) {
    return Flag(set, "range");
}
LString UCtlAttr::GetInCtlMin(CRecordRef set) {
    return Value(set, "min");
}
LString UCtlAttr::GetInCtlMax(CRecordRef set) {
    return Value(set, "max");
}
int32_t UCtlAttr::GetInCtlDmxCh(CRecordRef set) {
    return Clamped(set, "dmxch", 0, 0, 511);
}
int32_t UCtlAttr::GetInCtlMidiCh(CRecordRef set) {
    return Clamped(set, "midich", 0, 0, 15);
}
int32_t UCtlAttr::GetInCtlMidiCc(CRecordRef set) {
    return Clamped(set, "midicc", 7, 0, 127);
}
int32_t UCtlAttr::GetInCtlMidiNn(CRecordRef set) {
    return Clamped(set, "midinn", 60, 0, 127);
}
void UCtlAttr::SetInCtlDmxCh(CRecordRef set, LHandler* editor, int32_t value) {
    CParamSet::SetInt(set, editor, LString("dmxch"), value);
}
void UCtlAttr::SetInCtlMidiCh(CRecordRef set, LHandler* editor, int32_t value) {
    CParamSet::SetInt(set, editor, LString("midich"), value);
}
void UCtlAttr::SetInCtlMidiCc(CRecordRef set, LHandler* editor, int32_t value) {
    CParamSet::SetInt(set, editor, LString("midicc"), value);
}
bool UCtlAttr::GetInCtlMidiNs(CRecordRef set) {
    return Flag(set, "midins");
}
bool UCtlAttr::GetInCtlMidiNg(CRecordRef set) {
    return Flag(set, "miding");
}
LString UCtlAttr::GetInCtlOscAdr(CRecordRef set) {
    return Value(set, "oscadr");
}

CRecord* UCtlAttr::GetInCtlCompo(CRecordRef set, int k) {
    if (k < 1 || k > 4) return nullptr;
    const char key[] = {'c', 'o', 'm', 'p', 'o', static_cast<char>('0' + k), 0};
    return CParamSet::GetSubSet(set, LString(key));
}

int UCtlAttr::MixFuncIndex(const LString& text) {
    const int n = IndexIn(kMixFuncs, text);
    return n < 0 ? 0 : n;
}

const char* UCtlAttr::MixFuncName(int n) {
    return n >= 0 && n <= 3 ? kMixFuncs[n] : "";
}
