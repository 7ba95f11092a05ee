#pragma once

// A dimmer document over test settings, with scripted dialogs that record what they were asked.

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Led/CDimDefLibrary.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimInstruments.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Led/UDimPrefs.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/support/TempDir.h"

namespace dimdoc {

using T = CDimTypes;

struct Script {
    std::deque<uint32_t> saveChanges;  // answers; empty: cancel
    std::deque<std::string> savePaths;  // "" cancels
    std::deque<std::string> openPaths;
    std::vector<std::string> messages;
    uint32_t askedSaveChanges = 0, askedSavePath = 0, askedOpenPath = 0;
    std::deque<UDimArrange::AddValues> adds;  // empty: cancel
    bool signalOk = false;
    uint32_t signalRuns = 0;
};

inline Script& Current() {
    static Script script;
    return script;
}

inline const SDimDialogs& Scripted() {
    static const SDimDialogs dialogs{
        [](const LString&) -> uint32_t {
            auto& s = Current();
            ++s.askedSaveChanges;
            if (s.saveChanges.empty()) return SDimDialogs::kCancel;
            const uint32_t a = s.saveChanges.front();
            s.saveChanges.pop_front();
            return a;
        },
        [](const std::string&, std::string& chosen) {
            auto& s = Current();
            ++s.askedSavePath;
            if (s.savePaths.empty()) return false;
            chosen = s.savePaths.front();
            s.savePaths.pop_front();
            return !chosen.empty();
        },
        [](const std::string&, std::string& chosen) {
            auto& s = Current();
            ++s.askedOpenPath;
            if (s.openPaths.empty()) return false;
            chosen = s.openPaths.front();
            s.openPaths.pop_front();
            return !chosen.empty();
        },
        [](const LString& text) { Current().messages.push_back(text.CStr()); },
        [](LHandler*, CDimDefStore*, CDimDefLibrary*, UDimArrange::AddValues& values) {
            auto& s = Current();
            if (s.adds.empty()) return false;
            values = s.adds.front();
            s.adds.pop_front();
            return true;
        },
        [](LHandler*, CRecordRef timing) {
            auto& s = Current();
            ++s.signalRuns;
            CParamSet::PutIntAt(timing, LString("break"), 200);
            return s.signalOk;
        },
    };
    return dialogs;
}

struct Fixture {
    nettest::MainLoop main;
    CAppPrefs prefs;
    testsupport::TempDir dir;
    std::unique_ptr<CDimInstruments> doc;

    Fixture() {
        Current() = Script();
        SetDimDialogs(&Scripted());
    }
    ~Fixture() {
        doc.reset();
        SetDimDialogs(nullptr);
    }
    CRecordRef Settings() { return CRecordRef(&prefs.Root()->Slot(CAppPrefs::kPrefDimmer).record); }
    CDimInstruments& Make(const std::string& lastFile = {}) {
        if (!lastFile.empty()) UDimPrefs::SetLastFile(Settings(), LString(lastFile.c_str()));
        doc = std::make_unique<CDimInstruments>(nullptr, main.Loop(), nullptr, &prefs, nullptr);
        return *doc;
    }
    CRecord* Root() { return doc->Dims().Root(); }
    uint32_t DeviceCount() { return Root()->ArrayCount(T::kDimsDevices); }
    CRecordRef Device(uint32_t i) { return CRecordRef(&(*Root()->GetRecordArray(T::kDimsDevices))[i]); }
    // A device appended without undo.
    CRecordRef AddDevice(const char* def, float x, float y, float w, float h, float rota = 0) {
        CRecord* dev = CRecord::New(T::Didv());
        dev->StringSlot(T::kDidvDefinition) = LString(def);
        dev->Slot(T::kDidvPosX).f32 = x;
        dev->Slot(T::kDidvPosY).f32 = y;
        dev->Slot(T::kDidvWidth).f32 = w;
        dev->Slot(T::kDidvHeight).f32 = h;
        dev->Slot(T::kDidvRotation).f32 = rota;
        (void)doc->Dims().RootRef().InsertRecord(nullptr, T::kDimsDevices, CRecordRef::kAppend, dev);
        return Device(DeviceCount() - 1);
    }
    void AddDefinition(const char* name, uint32_t columns, uint32_t rows) {
        CRecord* def = CRecord::New(T::Didf());
        def->StringSlot(T::kDidfName) = LString(name);
        def->Slot(T::kDidfColumns).u32 = columns;
        def->Slot(T::kDidfRows).u32 = rows;
        (void)doc->Defs().Add(def);
    }
};

}  // namespace dimdoc
