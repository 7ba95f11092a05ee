#include "Lib3/LSources/CoreData/CRecordFlat.h"

#include <cstring>

#include "Common/Container/CArrayBase.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CStrArray.h"

namespace {

void Put(std::string& out, const void* p, size_t n) {
    out.append(static_cast<const char*>(p), n);
}
void PutU32(std::string& out, uint32_t v) {
    Put(out, &v, 4);
}

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t& pos;
    bool Get(void* out, size_t n) {
        if (pos > size || size - pos < n) return false;
        std::memcpy(out, data + pos, n);
        pos += n;
        return true;
    }
    bool GetU32(uint32_t& v) { return Get(&v, 4); }
    bool GetText(LString& text) {
        uint32_t n = 0;
        if (!GetU32(n) || pos > size || size - pos < n) return false;
        text = LString(data + pos, n);
        pos += n;
        return true;
    }
};

bool FlattenAt(std::string& out, const CRecord* r, uint32_t depth) {
    if (depth > CRecordFlat::kMaxDepth) return false;
    if (!r || !r->Type()) {
        PutU32(out, 0);
        PutU32(out, 0);
        return true;
    }
    PutU32(out, r->Type()->Domain());
    PutU32(out, r->Type()->Type());
    for (uint32_t n = 0; n < r->FieldCount(); ++n) {
        const SFieldDesc& f = r->Field(n);
        switch (f.kind) {
            case kFieldInt:
            case kFieldUInt:
            case kFieldByte:
            case kFieldFloat:
                Put(out, &r->Slot(n).cell, 8);
                break;
            case kFieldString: {
                const LString& s = r->GetString(n);
                PutU32(out, s.Length());
                Put(out, s.Text(), s.Length());
                break;
            }
            case kFieldArray:
                CRecordFlat::PutArray(out, f.elementKind, r->ArrayData(n), r->ArrayCount(n));
                break;
            case kFieldRecord:
                if (!FlattenAt(out, r->GetSubRecord(n), depth + 1)) return false;
                break;
            case kFieldRecordArray: {
                const uint32_t count = r->ArrayCount(n);
                PutU32(out, count);
                for (uint32_t i = 0; i < count; ++i)
                    if (!FlattenAt(out, r->GetElement(n, i), depth + 1)) return false;
                break;
            }
            default:
                break;
        }
    }
    return true;
}

bool ReadArray(Reader& in, CRecord* r, uint32_t n) {
    const uint8_t kind = r->Field(n).elementKind;
    uint32_t count = 0;
    if (!in.GetU32(count)) return false;
    if (kind == kElemString) {
        CStrArray* strings = r->GetStrArray(n);
        if (!strings) return false;
        strings->RemoveAll();
        for (uint32_t i = 0; i < count; ++i) {
            LString s;
            if (!in.GetText(s) || !strings->Append(s)) return false;
        }
        return true;
    }
    const size_t size = kind == kElemByte ? 1 : 4;
    if (in.pos > in.size || (in.size - in.pos) / size < count) return false;
    const bool ok = r->SetArrayRaw(n, in.data + in.pos, count);
    in.pos += size * count;
    return ok;
}

bool UnflattenAt(Reader& in, CRecord*& out, uint32_t depth);

bool ReadFields(Reader& in, CRecord* r, uint32_t depth) {
    for (uint32_t n = 0; n < r->FieldCount(); ++n) {
        const SFieldDesc& f = r->Field(n);
        switch (f.kind) {
            case kFieldInt:
            case kFieldUInt:
            case kFieldByte:
            case kFieldFloat:
                if (!in.Get(&r->Slot(n).cell, 8)) return false;
                break;
            case kFieldString:
                if (!in.GetText(r->StringSlot(n))) return false;
                break;
            case kFieldArray:
                if (!ReadArray(in, r, n)) return false;
                break;
            case kFieldRecord: {
                CRecord* child = nullptr;
                if (!UnflattenAt(in, child, depth + 1)) return false;
                CRecord::Delete(r->SetSubRecord(n, child));
                if (child) child->SetLinks(r, n);
                break;
            }
            case kFieldRecordArray: {
                uint32_t count = 0;
                if (!in.GetU32(count)) return false;
                CRecord::DeleteAllElements(r->GetRecordArray(n));
                for (uint32_t i = 0; i < count; ++i) {
                    CRecord* child = nullptr;
                    if (!UnflattenAt(in, child, depth + 1)) return false;
                    if (!r->InsertElementRaw(n, -1, child)) {
                        CRecord::Delete(child);
                        return false;
                    }
                }
                break;
            }
            default:
                break;
        }
    }
    return true;
}

bool UnflattenAt(Reader& in, CRecord*& out, uint32_t depth) {
    out = nullptr;
    uint32_t domain = 0;
    uint32_t type = 0;
    if (depth > CRecordFlat::kMaxDepth || !in.GetU32(domain) || !in.GetU32(type)) return false;
    if (domain == 0 && type == 0) return true;
    CRecord* r = CRecord::New(CRecordType::Find(domain, type));
    if (!r) return false;
    if (!ReadFields(in, r, depth)) {
        CRecord::Delete(r);
        return false;
    }
    out = r;
    return true;
}

}  // namespace

void CRecordFlat::PutElement(std::string& out, uint8_t elementKind, const void* value) {
    if (elementKind == kElemString) {
        const auto* s = static_cast<const LString*>(value);
        PutU32(out, s->Length());
        Put(out, s->Text(), s->Length());
    } else {
        Put(out, value, elementKind == kElemByte ? 1 : 4);
    }
}

void CRecordFlat::PutArray(std::string& out, uint8_t elementKind, const void* values, uint32_t count) {
    PutU32(out, count);
    if (count == 0 || !values) return;
    if (elementKind == kElemString) {
        const auto* s = static_cast<const LString*>(values);
        for (uint32_t i = 0; i < count; ++i) PutElement(out, elementKind, &s[i]);
    } else {
        Put(out, values, size_t{count} * (elementKind == kElemByte ? 1 : 4));
    }
}

bool CRecordFlat::Flatten(std::string& out, const CRecord* record) {
    return FlattenAt(out, record, 0);
}

bool CRecordFlat::Unflatten(const uint8_t* data, size_t size, size_t& pos, CRecord*& record) {
    Reader in{data, size, pos};
    return UnflattenAt(in, record, 0);
}

bool CRecordFlat::Unflatten(const std::string& bytes, CRecord*& record) {
    size_t pos = 0;
    return Unflatten(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), pos, record) &&
           pos == bytes.size();
}
