#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Orbilume/CSources/Midi/CMidiInPort.h"
#include "Orbilume/CSources/Midi/MidiInTable.h"

class CMidiClient;
class CRecordHolder;

// Keeps the MIDI input table in step with the system's sources, one port per row, and connects the
// rows whose "use" is on. "use" follows the enabled-inputs set (a YUND set, key = source name,
// value "1"): switching a row on stores its name there, off removes it; a change of the set
// switches the rows. Every received message goes to the callback on the MIDI thread.
// Main thread only; the mutex guards the port array (one entry per row, same index).
class CMidiInManager {
public:
    // The table and the set live in record holders that outlive the manager (the application
    // preferences; tests make their own). The table is cleared to one column.
    CMidiInManager(CMidiClient* client, CRecordRef table, CRecordRef enabledInputs, void* context,
                   MidiInProc function);
    ~CMidiInManager();
    CMidiInManager(const CMidiInManager&) = delete;
    CMidiInManager& operator=(const CMidiInManager&) = delete;

    // Rows for new sources, none for vanished ones, then UpdateUseFlags.
    void RefreshSources();
    // "use" of every row from the enabled-inputs set.
    void UpdateUseFlags();
    void OnRecordChange(const SRecordEvent& event);

    const MidiInTable& Table() const { return fTable; }
    // The port of a row (tests); null past the end.
    CMidiInPort* PortAt(uint32_t row);

private:
    struct Row {
        std::unique_ptr<CMidiInPort> port;
        bool on = false;  // "use" as last acted on
    };
    static void OnMidiNotify(int32_t notification, void* context);
    static void Observe(void* context, const SRecordEvent* event);
    void SyncRow(uint32_t row);
    void InsertPort(uint32_t row);
    void RemovePort(uint32_t row);

    CMidiClient* fClient;
    MidiInTable fTable;
    CRecordRef fEnabled;
    CRecordHolder* fTableHolder;
    CRecordHolder* fEnabledHolder;
    void* fContext;
    MidiInProc fFunction;
    std::string fPortName;
    std::mutex fMutex;
    std::vector<Row> fPorts;
};
