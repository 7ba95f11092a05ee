#include "Orbilume/CSources/Midi/CMidiInManager.h"

#include <algorithm>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Orbilume/CSources/Midi/CMidiClient.h"
#include "Orbilume/CSources/Midi/MidiSourceName.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Check.h"

namespace {

std::string ApplicationLeafName() {
    const std::string path = plat::MainExecutablePath();
    const size_t slash = path.rfind('/');
    std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
    return leaf.empty() ? std::string("orbilume") : leaf;
}

}  // namespace

CMidiInManager::CMidiInManager(CMidiClient* client, CRecordRef table, CRecordRef enabledInputs, void* context,
                               MidiInProc function)
    : fClient(client),
      fTable(table),
      fEnabled(enabledInputs),
      fTableHolder(table.GetHolder()),
      fEnabledHolder(enabledInputs.GetHolder()),
      fContext(context),
      fFunction(function),
      fPortName(ApplicationLeafName()) {
    PLAT_DCHECK_MAIN_THREAD();
    fTable.Clear();
    if (fTableHolder) fTableHolder->AddObserver(this, Observe);
    if (fEnabledHolder && fEnabledHolder != fTableHolder) fEnabledHolder->AddObserver(this, Observe);
    RefreshSources();
    if (fClient) fClient->AddListener(this, OnMidiNotify);
}

CMidiInManager::~CMidiInManager() {
    PLAT_DCHECK_MAIN_THREAD();
    if (fClient) fClient->RemoveListener(this, OnMidiNotify);
    {
        std::lock_guard<std::mutex> lock(fMutex);
        while (!fPorts.empty()) fPorts.pop_back();
    }
    if (fEnabledHolder && fEnabledHolder != fTableHolder) fEnabledHolder->RemoveObserver(this, Observe);
    if (fTableHolder) fTableHolder->RemoveObserver(this, Observe);
}

CMidiInPort* CMidiInManager::PortAt(uint32_t row) {
    std::lock_guard<std::mutex> lock(fMutex);
    return row < fPorts.size() ? fPorts[row].port.get() : nullptr;
}

void CMidiInManager::OnMidiNotify(int32_t notification, void* context) {
    if (notification == plat::kMidiNotifySetupChanged)
        static_cast<CMidiInManager*>(context)->RefreshSources();
}

void CMidiInManager::RefreshSources() {
    PLAT_DCHECK_MAIN_THREAD();
    std::vector<std::string> known;
    for (uint32_t row = fTable.RowCount(); row-- > 0;) {
        const LString name = fTable.GetName(row);
        if (name.IsEmpty())
            fTable.DeleteRow(row);
        else
            known.emplace_back(name.CStr());
    }
    if (fClient && fClient->System()) {
        for (const MidiSourceEntry& source : ListMidiSources(*fClient->System())) {
            auto it = std::find(known.begin(), known.end(), source.name);
            if (it != known.end())
                known.erase(it);
            else
                fTable.AppendRow(LString(source.name.c_str()));
        }
    }
    for (const std::string& gone : known) {
        for (uint32_t row = fTable.RowCount(); row-- > 0;) {
            if (fTable.GetName(row) == gone.c_str()) {
                fTable.DeleteRow(row);
                break;
            }
        }
    }
    UpdateUseFlags();
}

void CMidiInManager::UpdateUseFlags() {
    for (uint32_t row = 0; row < fTable.RowCount(); ++row) {
        const LString name = fTable.GetName(row);
        const bool enabled = !name.IsEmpty() && CParamSet::Find(fEnabled, name) >= 0;
        if (fTable.GetUse(row) != enabled) fTable.SetUse(row, enabled);
    }
}

void CMidiInManager::InsertPort(uint32_t row) {
    Row entry;
    entry.port = CMidiInPort::Create(fPortName);
    std::lock_guard<std::mutex> lock(fMutex);
    if (row > fPorts.size()) row = uint32_t(fPorts.size());
    fPorts.insert(fPorts.begin() + row, std::move(entry));
}

void CMidiInManager::RemovePort(uint32_t row) {
    std::unique_ptr<CMidiInPort> port;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        if (row >= fPorts.size()) return;
        port = std::move(fPorts[row].port);
        fPorts.erase(fPorts.begin() + row);
    }
}

// Acts on a row whose "use" differs from what was last done for it.
void CMidiInManager::SyncRow(uint32_t row) {
    CMidiInPort* port = nullptr;
    bool on = false;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        if (row >= fPorts.size() || !fPorts[row].port) return;
        port = fPorts[row].port.get();
        on = fPorts[row].on;
    }
    const bool use = fTable.GetUse(row);
    if (use == on) return;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        fPorts[row].on = use;
    }
    const LString name = fTable.GetName(row);
    if (use) {
        const int result = port->Connect(name.CStr(), fContext, fFunction);
        fTable.SetStat(
            row, result == CMidiInPort::kConnected ? MidiInTable::kStatConnected : MidiInTable::kStatFailed);
        if (!name.IsEmpty()) CParamSet::SetString(fEnabled, nullptr, name, LString("1"));
    } else {
        port->Disconnect();
        fTable.SetStat(row, MidiInTable::kStatOff);
        if (!name.IsEmpty()) CParamSet::SetString(fEnabled, nullptr, name, LString());
    }
}

void CMidiInManager::Observe(void* context, const SRecordEvent* event) {
    static_cast<CMidiInManager*>(context)->OnRecordChange(*event);
}

void CMidiInManager::OnRecordChange(const SRecordEvent& event) {
    CRecord* record = event.record.Get();
    CRecord* table = fTable.Ref().Get();
    CRecord* enabled = fEnabled.Get();
    if (!record) return;
    if (record == table) {
        uint32_t index = 0;
        switch (CParamTable::ParseChange(event, index)) {
            case CParamTable::kRowInserted:
                InsertPort(index);
                SyncRow(index);
                break;
            case CParamTable::kRowRemoved:
                RemovePort(index);
                break;
            default:
                break;
        }
        return;
    }
    // An entry removed from a set: the event comes on the set once the entry is gone.
    if (event.kind == SRecordEvent::kRemoved && event.field == CParamSet::kSetEntries) {
        if (record == enabled) {
            UpdateUseFlags();
        } else if (table && record->Parent() == table && record->ArrayIndex() >= 0) {
            SyncRow(uint32_t(record->ArrayIndex()));  // one column: cell index = row
        }
        return;
    }
    if (event.kind == SRecordEvent::kDeleting) return;  // the entry is still there
    CParamSet::Change change;
    if (!CParamSet::ParseChange(event, change)) return;
    if (change.set == enabled) {
        UpdateUseFlags();
    } else if (change.table == table && change.column == 0 && change.key == "use") {
        SyncRow(change.row);
    }
}
