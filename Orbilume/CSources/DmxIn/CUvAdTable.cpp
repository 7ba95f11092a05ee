#include "Orbilume/CSources/DmxIn/CUvAdTable.h"

#include <vector>

#include "Common/Internet/CURLU.h"
#include "Common/Mac/CRunLoopThread.h"
#include "Common/Mac/CRunLoopTimer.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/DmxIn/CUvAdTypes.h"
#include "Orbilume/CSources/Net/NetIfIterator.h"
#include "Orbilume/CSources/Net/NetInterfaceWatcher.h"

CUvAdTable::CUvAdTable(bool watchInterfaces, CRunLoopThread* loop)
    : fRanges(std::make_unique<CRangeList>()),
      fTimer(std::make_unique<CRunLoopTimer>(loop ? loop : CMainRunLoopSource::Get(), this, &RebuildTimer)) {
    if (watchInterfaces) {
        fWatcher = std::make_unique<NetInterfaceWatcher>();
        (void)fWatcher->AddListener(this, &InterfacesChanged);
        RefreshDefault();
    }
}

CUvAdTable::~CUvAdTable() {
    Follow(nullptr, nullptr);
    if (fWatcher) (void)fWatcher->RemoveListener(this, &InterfacesChanged);
}

bool CUvAdTable::Lookup(uint32_t universe, uint32_t& address) {
    uint32_t listed;
    {
        CPsxMutex::Locker lock(fMutex);
        listed = fRanges->Lookup(universe);
    }
    uint32_t def = fDefault.load();
    if (listed) {
        address = listed;
        return listed == 0xFFFFFFFF || listed == def;
    }
    if (fMulticast.load()) {
        address = 0xEFFF0000u | ((universe + 1) & 0xFFFF);
        return true;
    }
    address = def;
    return true;
}

bool CUvAdTable::Rebuild(const UvAdRecord* records, uint32_t count) {
    auto list = std::make_unique<CRangeList>();
    for (uint32_t i = 0; i < count; ++i) {
        const UvAdRecord& r = records[i];
        uint32_t address = CURLU::StrToAddr(reinterpret_cast<const unsigned char*>(r.ipad ? r.ipad : ""));
        if (address == 0) continue;
        // univ + flws + 1 in 64 bits, kept inside the 32-bit universe space.
        int64_t start = r.univ;
        int64_t end = start + int64_t(r.flws) + 1;
        if (start < 0) start = 0;
        if (end > int64_t(0xFFFFFFFF)) end = 0xFFFFFFFF;
        if (end <= start) continue;
        if (!list->Add(uint32_t(start), uint32_t(end), address)) return false;
    }
    CPsxMutex::Locker lock(fMutex);
    fRanges.swap(list);
    return true;
}

uint32_t CUvAdTable::ComputeDefaultAddress() {
    NetIfIterator it;
    while (it.Next()) {
        if (!it.IsRunning() || it.IsLoopback() || it.IsPointToPoint() || !it.IsEthernet()) continue;
        uint32_t broadcast;
        if (it.GetBroadcast(broadcast)) return broadcast;
    }
    return 0xFFFFFFFF;
}

void CUvAdTable::RefreshDefault() {
    fDefault.store(ComputeDefaultAddress());
}

int CUvAdTable::InterfacesChanged(void* self, int, void*) {
    static_cast<CUvAdTable*>(self)->RefreshDefault();
    return 0;
}

void CUvAdTable::Follow(CRecordHolder* holder, CRecord* uvas) {
    if (fHolder) (void)fHolder->RemoveObserver(this, &RecordChanged);
    fHolder = holder;
    fUvas = holder && uvas && uvas->IsOfType(CUvAdTypes::kDomain, CUvAdTypes::kUVAS) ? uvas : nullptr;
    if (fHolder) (void)fHolder->AddObserver(this, &RecordChanged);
    fTimer->FireAfter(0);
}

void CUvAdTable::RecordChanged(void* self, const SRecordEvent* event) {
    auto* t = static_cast<CUvAdTable*>(self);
    CRecord* r = event->record.Get();
    if (!t->fUvas || !r) return;
    if (event->kind == SRecordEvent::kDeleting) {
        // The followed record, or a tree holding it, is going (perhaps with the holder): stop
        // following.
        for (const CRecord* p = t->fUvas; p; p = p->Parent()) {
            if (p == r) {
                (void)t->fHolder->RemoveObserver(t, &RecordChanged);
                t->fHolder = nullptr;
                t->fUvas = nullptr;
                t->fTimer->FireAfter(0);
                return;
            }
        }
    }
    // Changes of the list itself, or of a value of one of its records.
    if (r == t->fUvas || r->Parent() == t->fUvas) t->fTimer->FireAfter(0);
}

void CUvAdTable::RebuildTimer(void* self) {
    (void)static_cast<CUvAdTable*>(self)->RebuildFromRecord();
}

bool CUvAdTable::RebuildFromRecord() {
    std::vector<UvAdRecord> records;
    if (fUvas) {
        uint32_t count = fUvas->ArrayCount(CUvAdTypes::kUvasList);
        records.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            const CRecord* r = fUvas->GetElement(CUvAdTypes::kUvasList, i);
            if (!r || !r->IsOfType(CUvAdTypes::kDomain, CUvAdTypes::kUVAD)) continue;
            records.push_back({r->GetInt(CUvAdTypes::kUvadUniverse), r->GetInt(CUvAdTypes::kUvadFollowing),
                               r->GetString(CUvAdTypes::kUvadAddress).CStr()});
        }
    }
    return Rebuild(records.data(), uint32_t(records.size()));
}
