#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "Common/Container/CRangeList.h"
#include "Common/Posix/CPsxMutex.h"

class CRecord;
class CRecordHolder;
class CRunLoopTimer;
class CRunLoopThread;
class NetInterfaceWatcher;
struct SRecordEvent;

// One universe/address record: universes univ .. univ + flws go to the dotted IPv4 text ipad.
struct UvAdRecord {
    int32_t univ = 0;
    int32_t flws = 0;
    const char* ipad = "";
};

// The network destination of each DMX universe: a listed address, else the E1.31 group of the
// universe when multicast is on, else the default broadcast address. The default follows the
// network interfaces. Created and rebuilt on the main thread; Lookup from any thread.
class CUvAdTable {
public:
    // watchInterfaces false leaves the default to RefreshDefault (tests). Record rebuilds run on
    // loop (the main run loop when null).
    explicit CUvAdTable(bool watchInterfaces = true, CRunLoopThread* loop = nullptr);
    virtual ~CUvAdTable();
    CUvAdTable(const CUvAdTable&) = delete;
    CUvAdTable& operator=(const CUvAdTable&) = delete;

    // IPv4 destination (host order) of a universe. True when it is a broadcast or multicast
    // address (or a listed address equal to one), false for a listed unicast address.
    virtual bool Lookup(uint32_t universe, uint32_t& address);
    virtual void SetMulticast(bool on) { fMulticast.store(on); }

    // Replaces the ranges from records in order; earlier records win on overlap; texts that do not
    // parse or give 0.0.0.0 are skipped. False when memory ran out (the old ranges then stay).
    bool Rebuild(const UvAdRecord* records, uint32_t count);
    // Follows a UVAS record (CUvAdTypes) of holder: rebuilds from its 'uvas' list on the loop at
    // 0 ms, coalesced, now and after every change of the list or of one of its UVAD records. The
    // table stops following (and empties) when the record leaves the tree; null stops following.
    void Follow(CRecordHolder* holder, CRecord* uvas);
    // Rebuilds from the followed record at once.
    bool RebuildFromRecord();

    // Recomputes the default from the current interfaces.
    void RefreshDefault();
    uint32_t DefaultAddress() const { return fDefault.load(); }

    // The broadcast address of the first running Ethernet interface (not loopback, not
    // point-to-point) with one; 255.255.255.255 when there is none.
    static uint32_t ComputeDefaultAddress();

private:
    static int InterfacesChanged(void* self, int selector, void* argument);
    static void RecordChanged(void* self, const SRecordEvent* event);
    static void RebuildTimer(void* self);

    CPsxMutex fMutex;
    std::unique_ptr<CRangeList> fRanges;  // swapped whole on rebuild
    std::atomic<bool> fMulticast{false};
    std::atomic<uint32_t> fDefault{0xFFFFFFFF};
    std::unique_ptr<NetInterfaceWatcher> fWatcher;
    std::unique_ptr<CRunLoopTimer> fTimer;
    CRecordHolder* fHolder = nullptr;
    CRecord* fUvas = nullptr;
};
