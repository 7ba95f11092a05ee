#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "Lib3/LSources/CoreData/CRecordRef.h"

class CCtlInHub;
class CRunLoopSignal;

// Lets DMX or MIDI select, step through or trigger a document's sequences: the result becomes the
// edited sequence (SCNS field 16) of the scene record, but only while one is edited (the field is
// not negative). Configured from the document's sequence-control assignment ('sqct').
//
// Threads: made, set up, polled and destroyed on the main thread, whose run loop applies results.
// The DMX listener only signals; the MIDI listener decides on the hub's thread and stores the
// result under the mutex, from where the main thread takes it in one exchange. The destructor
// unregisters both listeners; the hub waits for a call in progress, so none runs afterwards.
class CSeqCtlIn {
public:
    enum : int32_t { kNothing = -1, kNext = -2, kPrevious = -3 };
    static constexpr uint32_t kSlots = 512;

    // The scene record is borrowed and must outlive this; the hub too (null: no input).
    CSeqCtlIn(CRecordRef scns, CCtlInHub* hub);
    ~CSeqCtlIn();
    CSeqCtlIn(const CSeqCtlIn&) = delete;
    CSeqCtlIn& operator=(const CSeqCtlIn&) = delete;

    // From a control assignment (a YUND PRMS set; null: none). Drops a pending result; for "dmx"
    // the current input becomes the snapshot, so values present now are no edges.
    void Setup(CRecord* assignment);
    // The result for n sequences: an index below n, kNext, kPrevious or kNothing. Takes the pending
    // MIDI result, or runs the DMX rules and refreshes the snapshot.
    int32_t Poll(uint32_t n);
    // Makes the polled result the edited sequence; nothing while none is edited.
    void Apply();

    // MIDI rules on a message (status, data 1, data 2); any thread.
    void OnMidi(const uint8_t message[3]);

    // Main thread: 0 none, 1 "dmx", 2 "osc", 3 "mcc", 4 "mnt", 5 "mpg"; usage 0..4 or -1.
    uint32_t GetCtlr() const { return fConfig.ctlr; }
    int32_t GetUsage() const { return fConfig.usage; }
    int32_t PendingResult();

private:
    struct Config {
        uint32_t ctlr = 0;
        int32_t usage = -1;
        uint32_t channel = 0;
        uint32_t number = 0;
        bool mode = false;
        bool stepRewind = false;
        bool stepBack = false;
        bool stepSub = false;
    };
    static void DmxProc(void* context);
    static void MidiProc(void* context, const uint8_t message[3]);
    static void SignalPerformed(void* context);
    // The result of a message, or false when a filter rejects it.
    bool Decide(const Config& c, const uint8_t message[3], int32_t& result) const;
    int32_t PollDmx(uint32_t n);
    uint8_t Value(uint32_t slot) const;

    CRecordRef fScns;
    CCtlInHub* fHub;
    std::unique_ptr<CRunLoopSignal> fSignal;
    std::mutex fMutex;
    Config fConfig;  // written on the main thread under the mutex; the MIDI listener reads it there
    int32_t fPending = kNothing;  // under the mutex
    uint8_t fSnapshot[kSlots] = {};
};
