#include "Lib3/LSources/CoreUI/CMenuKeyRegistry.h"

#include <vector>

#include "Common/Container/CBytes.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CScrapReader.h"
#include "Lib3/LSources/CoreData/CScrapWriter.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMenuTracer.h"
#include "Platform/Foundation/Check.h"

namespace {

const LString kCmd("cmd");
const LString kText("text");
const LString kKey("key");

// A deep copy made through the scrap form, or null.
CRecord* ScrapCopy(const CRecord* record) {
    if (!record) return nullptr;
    CBytes data;
    {
        CScrapWriter writer(1, 1, data);
        if (!writer.WriteRecord(record)) return nullptr;
    }
    CScrapReader reader(data.Data(), data.Count());
    return reader.ReadRecord();
}

bool IsTable(const CRecord* r) {
    return r && r->IsOfType(CParamSet::kDomain, CParamSet::kTable);
}

struct Entry {
    LMenuItem* item;
    bool exact;
    LString key;
    uint32_t row;
};

}  // namespace

CMenuKeyRegistry::CMenuKeyRegistry(LHandler* owner, CMenuKeyUI* ui) : fOwner(owner), fUI(ui) {
    fTable = CRecord::New(&CParamSet::TableType());
}

CMenuKeyRegistry::~CMenuKeyRegistry() {
    if (fArmed && LMenuBar::CommandTarget() == fOwner) LMenuBar::SetCommandTarget(nullptr);
    CRecord::Delete(fTable);
}

uint32_t CMenuKeyRegistry::RowCount() const {
    uint32_t cols = 0, rows = 0;
    if (fTable) CParamTable::GetSize(CRecordRef(const_cast<CRecord**>(&fTable)), cols, rows);
    return cols ? rows : 0;
}

LString CMenuKeyRegistry::Cell(uint32_t row, const char* key) const {
    LString value;
    if (!fTable ||
        !CParamTable::GetCell(CRecordRef(const_cast<CRecord**>(&fTable)), 0, row, LString(key), value))
        return LString();
    return value;
}

void CMenuKeyRegistry::Arm() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fTable) return;
    fArmed = true;
    fMenuSeen = false;
    LMenuBar::SetCommandTarget(fOwner);
}

bool CMenuKeyRegistry::HandleMenuMessage(const LMessage& msg) {
    if (msg.Is(LMenuBar_Added) && msg.sender) {
        ApplyTo(static_cast<LMenuBar*>(msg.sender));
        return false;
    }
    if (msg.Is(LMenuBar_Ready) && msg.sender) {
        if (fMenuSeen) {
            // The menu closed without a choice.
            if (LMenuBar::CommandTarget() == fOwner) LMenuBar::SetCommandTarget(nullptr);
            fArmed = false;
            fMenuSeen = false;
        } else if (fArmed) {
            static_cast<LMenuBar*>(msg.sender)
                ->ForEachItem(
                    [](void*, LMenuItem* item) {
                        item->SetText(item->BaseText());
                        item->SetEnabled(true);
                    },
                    nullptr);
            fMenuSeen = true;
        }
        return false;
    }
    if (msg.Is(LMenuItem_Selected) && fArmed && msg.sender) {
        if (LMenuBar::CommandTarget() == fOwner) LMenuBar::SetCommandTarget(nullptr);
        fArmed = false;
        fMenuSeen = false;
        RegisterItem(static_cast<LMenuItem*>(msg.sender));
        return true;
    }
    return false;
}

void CMenuKeyRegistry::RegisterItem(LMenuItem* item) {
    if (!item || !fTable) return;
    if (item->HasBuiltInKey()) {
        if (fUI) fUI->ShowMessage(0);
        return;
    }
    LMenuBar* bar = nullptr;
    LMenuTracer::TraceMenu(item, LString(), &bar);
    LMenuBar* main = LMenuBar::Main();
    if (main && item->Menu() && main->FindMenuPosition(item->Menu(), nullptr, nullptr)) bar = main;
    if (!bar || !fUI) return;
    LString spec;
    for (;;) {
        if (!fUI->AskKey(fOwner, &spec)) return;
        if (spec.IsEmpty()) break;
        bool taken = false;
        struct Probe {
            const LString* spec;
            bool* taken;
        } probe{&spec, &taken};
        bar->ForEachItem(
            [](void* c, LMenuItem* i) {
                auto* p = static_cast<Probe*>(c);
                if (i->HasBuiltInKey() && i->KeySpec() == *p->spec) *p->taken = true;
            },
            &probe);
        if (!taken) break;
        fUI->ShowMessage(1);
    }
    AppendRow(item->GetFirstCommand(), item->Text(), spec);
    Normalize();
    ApplyTo(bar);
}

void CMenuKeyRegistry::AppendRow(const LString& cmd, const LString& text, const LString& key) {
    CRecordRef table(&fTable);
    uint32_t cols = 0, rows = 0;
    CParamTable::GetSize(table, cols, rows);
    if (cols == 0) CParamTable::AppendColumn(table, nullptr);
    CParamTable::AppendRow(table, nullptr);
    const uint32_t row = RowCount() - 1;
    CParamTable::SetCell(table, nullptr, 0, row, kCmd, cmd);
    CParamTable::SetCell(table, nullptr, 0, row, kText, text);
    CParamTable::SetCell(table, nullptr, 0, row, kKey, key);
}

// Last row first: rows without command go; an earlier row with the same command and text goes (the
// newer wins); a row without key goes unless a same-command row with another text exists.
void CMenuKeyRegistry::Normalize() {
    if (!fTable) return;
    CRecordRef table(&fTable);
    uint32_t r = RowCount();
    while (r-- > 0) {
        const LString cmd = Cell(r, "cmd");
        if (cmd.IsEmpty()) {
            CParamTable::DeleteRow(table, nullptr, r);
            continue;
        }
        const LString text = Cell(r, "text");
        bool sibling = false;
        for (uint32_t e = r; e-- > 0;) {
            if (!(Cell(e, "cmd") == cmd)) continue;
            if (Cell(e, "text") == text) {
                CParamTable::DeleteRow(table, nullptr, e);
                --r;
            } else {
                sibling = true;
            }
        }
        if (Cell(r, "key").IsEmpty() && !sibling) CParamTable::DeleteRow(table, nullptr, r);
    }
}

void CMenuKeyRegistry::ApplyTo(LMenuBar* bar) {
    if (!bar || !fTable) return;
    struct Rows {
        LString cmd, text, key;
    };
    std::vector<Rows> rows;
    for (uint32_t r = 0, n = RowCount(); r < n; ++r)
        rows.push_back({Cell(r, "cmd"), Cell(r, "text"), Cell(r, "key")});
    struct Context {
        std::vector<Rows>* rows;
        std::vector<Entry>* entries;
    };
    std::vector<Entry> entries;
    Context ctx{&rows, &entries};
    bar->ForEachItem(
        [](void* c, LMenuItem* item) {
            auto* ctx = static_cast<Context*>(c);
            if (item->HasBuiltInKey() || item->Submenu()) return;
            const LString cmd = item->GetFirstCommand();
            Entry e{item, false, LString(), 0};
            bool found = false;
            for (uint32_t r = 0; r < ctx->rows->size(); ++r) {
                const Rows& row = (*ctx->rows)[r];
                if (!(row.cmd == cmd)) continue;
                found = true;
                e.key = row.key;
                e.row = r;
                if (row.text == item->Text()) {
                    e.exact = true;
                    break;
                }
            }
            if (found)
                ctx->entries->push_back(e);
            else
                item->SetUserKeySpec(LString());
        },
        &ctx);
    CRecordRef table(&fTable);
    for (size_t i = 0; i < entries.size(); ++i) {
        Entry& a = entries[i];
        for (size_t j = i + 1; j < entries.size() && !a.key.IsEmpty(); ++j) {
            Entry& b = entries[j];
            if (b.key.IsEmpty() || !(b.key == a.key)) continue;
            if (b.row < a.row) {
                b.key = LString();
                CParamTable::SetCell(table, nullptr, 0, b.row, kKey, LString());
            } else if (a.row < b.row) {
                a.key = LString();
                CParamTable::SetCell(table, nullptr, 0, a.row, kKey, LString());
            } else {
                if (!a.exact) a.key = LString();
                if (!b.exact) b.key = LString();
            }
        }
        a.item->SetUserKeySpec(a.key);
    }
    bar->SyncToNative();
}

void CMenuKeyRegistry::Load(CRecordRef ref, uint32_t field) {
    CRecord* holder = ref.Get();
    if (!holder || field >= holder->FieldCount()) return;
    CRecord* copy = ScrapCopy(holder->GetSubRecord(field));
    if (!IsTable(copy)) {
        CRecord::Delete(copy);
        return;
    }
    CRecord::Delete(fTable);
    fTable = copy;
    Normalize();
    ApplyTo(LMenuBar::Main());
}

void CMenuKeyRegistry::Save(CRecordRef ref, uint32_t field) const {
    CRecord* holder = ref.Get();
    if (!holder || field >= holder->FieldCount()) return;
    CRecord* copy = ScrapCopy(fTable);
    if (!copy) return;
    CRecord::Delete(holder->SetSubRecord(field, copy));
}
