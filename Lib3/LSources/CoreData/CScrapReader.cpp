#include "Lib3/LSources/CoreData/CScrapReader.h"

#include <cstring>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CScrapChunk.h"
#include "Lib3/LSources/CoreData/CStrArray.h"
#include "Lib3/LSources/String/UNum.h"
#include "Platform/Foundation/Bytes.h"

namespace {

// A cursor over the body of one chunk.
struct Cursor {
    const uint8_t* bytes;
    size_t pos;
    size_t end;

    bool GetU32(uint32_t& v) {
        if (pos > end || end - pos < 4) {
            pos = end;
            return false;
        }
        v = plat::LoadBE32(bytes + pos);
        pos += 4;
        return true;
    }
    bool GetU8(uint8_t& v) {
        if (pos >= end) return false;
        v = bytes[pos++];
        return true;
    }
    // A text up to its 0 byte, line ends made LF.
    bool GetText(LString& text) {
        if (pos >= end) return false;
        const void* zero = std::memchr(bytes + pos, 0, end - pos);
        if (!zero) {
            pos = end;
            return false;
        }
        const size_t stop = size_t(static_cast<const uint8_t*>(zero) - bytes);
        std::string s;
        s.reserve(stop - pos);
        for (size_t i = pos; i < stop; ++i) {
            if (bytes[i] == '\r') {
                s.push_back('\n');
                if (i + 1 < stop && bytes[i + 1] == '\n') ++i;
            } else {
                s.push_back(char(bytes[i]));
            }
        }
        text = LString(s.data(), uint32_t(s.size()));
        pos = stop + 1;
        return true;
    }
    bool GetFloat(float& value) {
        LString text;
        if (!GetText(text)) return false;
        value = float(UNum::ToFloat(text.Text()));  // C locale
        return true;
    }
};

// A chunk inside [pos, limit): id 0 when fewer than 8 bytes remain.
struct Chunk {
    uint32_t id = 0;
    size_t body = 0;
    size_t end = 0;
    size_t next = 0;

    static Chunk At(const uint8_t* bytes, size_t pos, size_t limit) {
        Chunk c;
        if (pos > limit || limit - pos < 8) {
            c.body = c.end = c.next = limit;
            return c;
        }
        c.id = plat::LoadBE32(bytes + pos);
        const uint32_t length = plat::LoadBE32(bytes + pos + 4);
        c.body = pos + 8;
        c.end = limit - c.body < length ? limit : c.body + length;
        c.next = c.end + ((length & 1) && c.end < limit ? 1 : 0);
        return c;
    }
    Cursor Body(const uint8_t* bytes) const { return Cursor{bytes, body, end}; }
};

class Reader {
public:
    Reader(const uint8_t* bytes, CRecordHolder* resolver) : mBytes(bytes), mResolver(resolver) {}

    // A new record from a record chunk; null with ok true for an unknown type or an empty element.
    CRecord* Read(const Chunk& c, const CRecord* parent, uint32_t field, uint32_t depth, bool& ok) {
        ok = true;
        Cursor in = c.Body(mBytes);
        uint32_t type = 0;
        if (c.id == 0 || !in.GetU32(type)) return nullptr;
        if (c.id == scrap::kNullDomain && type == scrap::kNullType) return nullptr;
        const CRecordType* t = Resolve(c.id, type, parent, field);
        if (!t) return nullptr;
        CRecord* r = CRecord::New(t);
        CRecord* var = r;
        if (!r || !Fill(CRecordRef(&var), in, depth)) {
            CRecord::Delete(r);
            ok = false;
            return nullptr;
        }
        return r;
    }

    // Makes the record equal to the chunk's fields (the cursor is past the type code).
    bool Fill(CRecordRef ref, Cursor in, uint32_t depth) {
        if (depth > scrap::kMaxDepth) return false;
        CRecord* r = ref.Get();
        bool read[CRecordType::kMaxFields] = {};
        for (size_t pos = in.pos;;) {
            const Chunk c = Chunk::At(mBytes, pos, in.end);
            if (c.id == 0) break;
            pos = c.next;
            Cursor body = c.Body(mBytes);
            switch (c.id) {
                case scrap::kScalars:
                    ReadScalars(ref, body, read);
                    break;
                case scrap::kArray:
                    ReadArray(ref, body, read);
                    break;
                case scrap::kSubRecord:
                    if (!ReadSubRecord(ref, body, read, depth)) return false;
                    break;
                case scrap::kRecordArray:
                    if (!ReadRecordArray(ref, body, read, depth)) return false;
                    break;
                default:
                    break;
            }
        }
        for (uint32_t n = r->FieldCount(); n-- > 0;) {
            if (r->Field(n).tag != 0 && !read[n]) ref.ResetField(n);
        }
        return true;
    }

private:
    const CRecordType* Resolve(uint32_t domain, uint32_t type, const CRecord* parent, uint32_t field) {
        if (mResolver) return mResolver->ResolveType(domain, type, parent, field);
        return CRecordType::Find(domain, type);
    }

    static int FieldWithTag(const CRecord* r, uint32_t tag, uint8_t kind) {
        if (tag == 0) return -1;
        for (uint32_t n = 0; n < r->FieldCount(); ++n) {
            if (r->Field(n).tag == tag) return r->Field(n).kind == kind ? int(n) : -1;
        }
        return -1;
    }

    static void ReadScalars(CRecordRef ref, Cursor& in, bool* read) {
        CRecord* r = ref.Get();
        for (uint32_t n = 0; n < r->FieldCount(); ++n) {
            const SFieldDesc& f = r->Field(n);
            if (f.tag == 0) continue;
            if (f.kind > kFieldString) return;
            bool ok = false;
            switch (f.kind) {
                case kFieldInt:
                case kFieldUInt: {
                    uint32_t v = 0;
                    ok = in.GetU32(v) && ref.SetScalar(nullptr, n, v);
                    break;
                }
                case kFieldByte: {
                    uint8_t v = 0;
                    ok = in.GetU8(v) && ref.SetScalar(nullptr, n, v);
                    break;
                }
                case kFieldFloat: {
                    float v = 0;
                    ok = in.GetFloat(v) && ref.SetFloat(nullptr, n, v);
                    break;
                }
                default: {
                    LString v;
                    ok = in.GetText(v) && ref.SetString(nullptr, n, v);
                    break;
                }
            }
            if (!ok) return;
            read[n] = true;
        }
    }

    template <class T, class Get>
    static bool Collect(Cursor& in, std::vector<T>& values, Get get) {
        T v{};
        while (in.pos < in.end && get(in, v)) values.push_back(v);
        return true;
    }

    template <class T>
    static void StoreArray(CRecordRef ref, uint32_t n, const std::vector<T>& values) {
        CRecord* r = ref.Get();
        const uint32_t count = uint32_t(values.size());
        bool same = r->ArrayCount(n) == count;
        const T* current = static_cast<const T*>(r->ArrayData(n));
        for (uint32_t i = 0; same && i < count; ++i) {
            if constexpr (std::is_same_v<T, float>) {
                same = std::memcmp(&current[i], &values[i], sizeof(float)) == 0;
            } else {
                same = current[i] == values[i];
            }
        }
        if (same || !r->SetArrayRaw(n, values.data(), count)) return;
        ref.NotifyValueChanged(nullptr, ref.GetHolder(), n, -1);
    }

    static void ReadArray(CRecordRef ref, Cursor& in, bool* read) {
        uint32_t tag = 0;
        if (!in.GetU32(tag)) return;
        const int field = FieldWithTag(ref.Get(), tag, kFieldArray);
        if (field < 0) return;
        const auto n = uint32_t(field);
        switch (ref.Get()->Field(n).elementKind) {
            case kElemInt:
            case kElemUInt: {
                std::vector<uint32_t> v;
                Collect(in, v, [](Cursor& c, uint32_t& x) { return c.GetU32(x); });
                StoreArray(ref, n, v);
                break;
            }
            case kElemByte: {
                std::vector<uint8_t> v(in.bytes + in.pos, in.bytes + in.end);
                StoreArray(ref, n, v);
                break;
            }
            case kElemFloat: {
                std::vector<float> v;
                Collect(in, v, [](Cursor& c, float& x) { return c.GetFloat(x); });
                StoreArray(ref, n, v);
                break;
            }
            case kElemString: {
                std::vector<LString> v;
                Collect(in, v, [](Cursor& c, LString& x) { return c.GetText(x); });
                StoreArray(ref, n, v);
                break;
            }
            default:
                return;
        }
        read[n] = true;
    }

    bool ReadSubRecord(CRecordRef ref, Cursor& in, bool* read, uint32_t depth) {
        uint32_t tag = 0;
        if (!in.GetU32(tag)) return true;
        CRecord* r = ref.Get();
        const int field = FieldWithTag(r, tag, kFieldRecord);
        if (field < 0) return true;
        const auto n = uint32_t(field);
        const SFieldDesc& f = r->Field(n);
        read[n] = true;
        const Chunk c = Chunk::At(mBytes, in.pos, in.end);
        Cursor body = c.Body(mBytes);
        uint32_t type = 0;
        if (c.id == 0 || !body.GetU32(type) || (c.id == scrap::kNullDomain && type == scrap::kNullType)) {
            if (f.IsOptional()) ref.DeleteSubRecord(nullptr, n);
            return true;
        }
        CRecord* present = r->GetSubRecord(n);
        if (present && present->IsOfType(c.id, type))
            return Fill(CRecordRef(&r->Slot(n).record), body, depth + 1);
        if (!f.AllowsAnyType() && (c.id != f.SubDomain() || type != f.SubType())) return true;
        bool ok = true;
        CRecord* child = Read(c, r, n, depth + 1, ok);
        if (!ok) return false;
        if (!child) {
            if (f.IsOptional()) ref.DeleteSubRecord(nullptr, n);
            return true;
        }
        ref.DeleteSubRecord(nullptr, n, child);
        return true;
    }

    bool ReadRecordArray(CRecordRef ref, Cursor& in, bool* read, uint32_t depth) {
        uint32_t tag = 0;
        if (!in.GetU32(tag)) return true;
        CRecord* r = ref.Get();
        const int field = FieldWithTag(r, tag, kFieldRecordArray);
        if (field < 0) return true;
        const auto n = uint32_t(field);
        const bool optional = r->Field(n).IsOptional();
        read[n] = true;
        uint32_t index = 0;
        for (size_t pos = in.pos;;) {
            const Chunk c = Chunk::At(mBytes, pos, in.end);
            if (c.id == 0) break;
            pos = c.next;
            Cursor body = c.Body(mBytes);
            uint32_t type = 0;
            if (!body.GetU32(type)) continue;
            CRecord* present = r->GetElement(n, index);
            if (present && present->IsOfType(c.id, type)) {
                CRecordArray* array = r->GetRecordArray(n);
                if (!Fill(CRecordRef(&(*array)[index]), body, depth + 1)) return false;
                ++index;
                continue;
            }
            bool ok = true;
            CRecord* child = Read(c, r, n, depth + 1, ok);
            if (!ok) return false;
            if (!child && !optional) continue;
            if (index < r->ArrayCount(n)) ref.DeleteElement(nullptr, n, index);
            if (!ref.InsertRecord(nullptr, n, index, child)) return false;
            ++index;
        }
        for (uint32_t i = r->ArrayCount(n); i-- > index;) ref.DeleteElement(nullptr, n, i);
        return true;
    }

    const uint8_t* mBytes;
    CRecordHolder* mResolver;
};

}  // namespace

CScrapReader::CScrapReader(const void* bytes, size_t length)
    : mBytes(static_cast<const uint8_t*>(bytes)), mSize(length) {
    if (!mBytes) mSize = 0;
    const Chunk outer = Chunk::At(mBytes, 0, mSize);
    if (outer.id == 0) {
        mPos = mEnd = mSize;
        return;
    }
    Cursor body = outer.Body(mBytes);
    mFormType = outer.id;
    body.GetU32(mVersion);
    mPos = body.pos;
    mEnd = outer.end;
}

bool CScrapReader::AtEnd() const {
    return Chunk::At(mBytes, mPos, mEnd).id == 0;
}

CRecord* CScrapReader::ReadRecord(CRecordHolder* resolver) {
    const Chunk c = Chunk::At(mBytes, mPos, mEnd);
    if (c.id == 0) return nullptr;
    mPos = c.next;
    bool ok = true;
    return Reader(mBytes, resolver).Read(c, nullptr, 0, 0, ok);
}

bool CScrapReader::FillRecord(CRecordRef ref, CRecordHolder* resolver) {
    const Chunk c = Chunk::At(mBytes, mPos, mEnd);
    if (c.id == 0 || !ref) return false;
    mPos = c.next;
    Cursor body = c.Body(mBytes);
    uint32_t type = 0;
    if (!body.GetU32(type) || !ref->IsOfType(c.id, type)) return false;
    return Reader(mBytes, resolver).Fill(ref, body, 0);
}
