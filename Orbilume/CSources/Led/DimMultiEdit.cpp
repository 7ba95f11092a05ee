#include "Orbilume/CSources/Led/DimMultiEdit.h"

#include <cstring>
#include <string>

#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CUndoStrm.h"

// Entry body: u32 count, then per field: part (record path and field), u64 old cell, u64 new cell.

namespace dimedit {

namespace {

using Bytes = std::string;

struct Stored {
    Bytes key;
    uint64_t oldCell = 0;
    uint64_t newCell = 0;
};

bool IsFloat(const CRecord* r, uint32_t field) {
    return r->Field(field).kind == kFieldFloat;
}

bool Usable(const CRecord* r, uint32_t field) {
    if (!r || field >= r->FieldCount()) return false;
    const uint8_t k = r->Field(field).kind;
    return k == kFieldFloat || k <= 2;
}

uint64_t Current(const CRecord* r, uint32_t field) {
    if (IsFloat(r, field)) {
        uint32_t bits = 0;
        const float f = r->GetFloat(field);
        std::memcpy(&bits, &f, 4);
        return bits;
    }
    return r->Slot(field).cell;
}

void Store(CRecordRef ref, uint32_t field, uint64_t cell) {
    const CRecord* r = ref.Get();
    if (!Usable(r, field)) return;
    if (IsFloat(r, field)) {
        float f = 0;
        const uint32_t bits = uint32_t(cell);
        std::memcpy(&f, &bits, 4);
        ref.SetFloat(nullptr, field, f);
    } else {
        ref.SetScalar(nullptr, field, cell);
    }
}

bool ReadAll(CUndoStrm& s, std::vector<Stored>& out) {
    uint32_t n = 0;
    if (!s.GetU32(n) || n > (1u << 20)) return false;
    out.resize(n);
    for (Stored& e : out)
        if (!s.GetPart(e.key) || !s.GetU64(e.oldCell) || !s.GetU64(e.newCell)) return false;
    return true;
}

void Replay(void* context, CUndoStrm& s, int direction) {
    std::vector<Stored> entries;
    if (!ReadAll(s, entries)) return;
    auto* holder = static_cast<CRecordHolder*>(context);
    for (const Stored& e : entries) {
        CRecordRef ref;
        uint32_t field = 0;
        size_t pos = 0;
        const auto* bytes = reinterpret_cast<const uint8_t*>(e.key.data());
        if (!CUndoStrm::ResolvePath(holder, bytes, e.key.size(), pos, ref, field) || pos != e.key.size()) continue;
        Store(ref, field, direction ? e.newCell : e.oldCell);
    }
}

}  // namespace

Item Float(CRecordRef ref, uint32_t field, float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    return Item{ref, field, bits};
}

Item Scalar(CRecordRef ref, uint32_t field, uint64_t cell) {
    return Item{ref, field, cell};
}

void Apply(LHandler* editor, CRecordHolder* holder, const std::vector<Item>& items, int merge) {
    std::vector<Stored> entries;
    std::vector<const Item*> usable;
    for (const Item& it : items) {
        const CRecord* r = it.ref.Get();
        if (!Usable(r, it.field)) continue;
        usable.push_back(&it);
    }
    if (usable.empty()) return;
    if (editor && holder) {
        CUndoStrm s;
        if (s.BeginEntry(editor, holder, Replay, LString(), CUndoStrm::kModePlain,
                         merge == kContinue ? CUndoStrm::kMergeContinue : CUndoStrm::kMergeNew)) {
            if (s.IsReopened()) {
                if (ReadAll(s, entries))
                    s.Rewrite();
                else {
                    entries.clear();
                    s.AppendNew();
                }
            }
            for (const Item* it : usable) {
                Bytes key;
                CUndoStrm::AppendPath(key, it->ref, it->field);
                Stored* found = nullptr;
                for (Stored& e : entries)
                    if (e.key == key) found = &e;
                if (found) {
                    found->newCell = it->cell;
                } else {
                    entries.push_back({key, Current(it->ref.Get(), it->field), it->cell});
                }
            }
            s.PutU32(uint32_t(entries.size()));
            for (const Stored& e : entries) {
                s.PutPart(e.key.data(), uint32_t(e.key.size()));
                s.PutU64(e.oldCell);
                s.PutU64(e.newCell);
            }
        }
    }
    for (const Item* it : usable) Store(it->ref, it->field, it->cell);
}

}  // namespace dimedit
