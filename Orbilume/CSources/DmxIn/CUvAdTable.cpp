#include "Orbilume/CSources/DmxIn/CUvAdTable.h"

#include "Common/Internet/CURLU.h"
#include "Orbilume/CSources/Net/NetIfIterator.h"
#include "Orbilume/CSources/Net/NetInterfaceWatcher.h"

CUvAdTable::CUvAdTable(bool watchInterfaces) : fRanges(std::make_unique<CRangeList>()) {
    if (watchInterfaces) {
        fWatcher = std::make_unique<NetInterfaceWatcher>();
        (void)fWatcher->AddListener(this, &InterfacesChanged);
        RefreshDefault();
    }
}

CUvAdTable::~CUvAdTable() {
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
