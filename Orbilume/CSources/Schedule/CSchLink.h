#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LCallbackList.h"
#include "Lib3/LSources/CoreString/LString.h"

class CDragScrap;
class LHandler;
struct SchDateTime;

// One request of a schedule editor to the runner; the runner fills in the answer.
struct SSchRequest {
    uint32_t operation = 0;                 // CSchLink::Operation
    int32_t index = -1;                     // the entry, and the answer of 1, 3, 4 and 6
    LString text;                           // the answer of 2
    LHandler* editor = nullptr;             // the editing handler of 4 and 5 (undo)
    CDragScrap* drag = nullptr;             // the drop of 3 and 4; none for 4 deletes the command
    const SchDateTime* dateTime = nullptr;  // the date-time of 6
};

// What the schedule editors ask of the runner, and the notices they hear from it. Main thread only.
class CSchLink {
public:
    enum Operation : uint32_t {
        kFire = 0,         // fire entry index now
        kLastMatch = 1,    // index := the entry matched at the last tick, or -1
        kCommandName = 2,  // text := name of the sequence entry index's command names ("?" when gone)
        kCanDrop = 3,      // index := 1 when the drop holds a copied sequence ('SEQC'), else 0
        kDrop = 4,         // entry index's command := the dropped sequence; index := 1 taken, 0 refused
        kAddEntry = 5,     // a new entry at index
        kMatchAt = 6,      // index := the entry that matches *dateTime, or -1
    };
    enum Notice : uint32_t {
        kMatchChanged = 0,      // the matching entry changed
        kSequencesChanged = 1,  // sequences were added, removed or renamed
    };
    using RequestFunction = void(void* context, SSchRequest& request);
    using ListenerFunction = void(void* context, uint32_t notice);

    CSchLink(void* context, RequestFunction* function, CRecordRef schedule, CRecord* settings);
    CSchLink(const CSchLink&) = delete;
    CSchLink& operator=(const CSchLink&) = delete;

    void Request(SSchRequest& request) { fFunction(fContext, request); }
    bool AddListener(void* context, ListenerFunction* function) { return fListeners.Add(context, function); }
    bool RemoveListener(void* context, ListenerFunction* function) {
        return fListeners.Remove(context, function);
    }
    // Calls every listener; they may add or remove listeners meanwhile.
    void Notify(uint32_t notice);

    // The SCHD record.
    CRecordRef Schedule() const { return fSchedule; }
    // The editors' settings set ("sched": window places).
    CRecordRef Settings() { return CRecordRef(&fSettings); }
    // The title of the command column.
    const LString& HeaderText() const { return fHeaderText; }
    void SetHeaderText(const LString& text) { fHeaderText = text; }

private:
    void* fContext;
    RequestFunction* fFunction;
    LCallbackList fListeners;
    CRecordRef fSchedule;
    CRecord* fSettings;
    LString fHeaderText;
};
