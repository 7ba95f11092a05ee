#include "Lib3/LSources/CoreData/CScrapWriter.h"

#include "Common/Container/CBytes.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CScrapChunk.h"
#include "Lib3/LSources/CoreData/CStrArray.h"
#include "Lib3/LSources/String/UWord.h"
#include "Platform/Foundation/Bytes.h"

namespace {

void PutBE32(CStream& s, uint32_t v) {
    uint8_t b[4];
    plat::StoreBE32(b, v);
    s.Put(b, 4);
}

// Characters with CR and CR LF written as LF, then a 0 byte.
void PutText(CStream& s, const unsigned char* text, uint32_t length) {
    uint32_t run = 0;
    for (uint32_t i = 0; i < length; ++i) {
        if (text[i] != '\r') continue;
        s.Put(text + run, i - run);
        s.PutU8('\n');
        if (i + 1 < length && text[i + 1] == '\n') ++i;
        run = i + 1;
    }
    s.Put(text + run, length - run);
    s.PutU8(0);
}

void PutText(CStream& s, const LString& text) {
    PutText(s, text.Text(), text.Length());
}

// Always with a full stop, whatever the process locale.
void PutFloat(CStream& s, float value, uint8_t decimals) {
    PutText(s, UWord::Float(double(value), decimals > scrap::kMaxDecimals ? scrap::kMaxDecimals : decimals));
}

class Chunk {
public:
    Chunk(CStream& s, uint32_t id) : mStream(s), mStart(s.Position()) {
        PutBE32(s, id);
        PutBE32(s, 0);
    }
    ~Chunk() {
        const uint64_t end = mStream.Position();
        const uint64_t length = end - mStart - 8;
        mStream.Seek(mStart + 4);
        PutBE32(mStream, uint32_t(length));
        mStream.Seek(end);
        if (length & 1) mStream.PutU8(0);
    }

private:
    CStream& mStream;
    uint64_t mStart;
};

// A chunk opened only when something is written into it.
class LazyChunk {
public:
    LazyChunk(CStream& s, uint32_t id) : mStream(s), mId(id) {}
    CStream& Open() {
        if (!mChunk) mChunk = new Chunk(mStream, mId);
        return mStream;
    }
    ~LazyChunk() { delete mChunk; }

private:
    CStream& mStream;
    uint32_t mId;
    Chunk* mChunk = nullptr;
};

void PutArray(CStream& s, const CRecord* r, uint32_t n) {
    const SFieldDesc& f = r->Field(n);
    const uint32_t count = r->ArrayCount(n);
    const void* data = r->ArrayData(n);
    switch (f.elementKind) {
        case kElemInt:
        case kElemUInt:
            for (uint32_t i = 0; i < count; ++i) PutBE32(s, static_cast<const uint32_t*>(data)[i]);
            break;
        case kElemByte:
            s.Put(data, count);
            break;
        case kElemFloat:
            for (uint32_t i = 0; i < count; ++i) PutFloat(s, static_cast<const float*>(data)[i], f.decimals);
            break;
        case kElemString:
            for (uint32_t i = 0; i < count; ++i) PutText(s, static_cast<const LString*>(data)[i]);
            break;
        default:
            break;
    }
}

bool PutRecord(CStream& s, const CRecord* r, uint32_t depth) {
    if (depth > scrap::kMaxDepth) return false;
    if (!r || !r->Type()) {
        Chunk empty(s, scrap::kNullDomain);
        PutBE32(s, scrap::kNullType);
        return true;
    }
    Chunk chunk(s, r->Type()->Domain());
    PutBE32(s, r->Type()->Type());
    const uint32_t count = r->FieldCount();
    uint32_t n = 0;
    {
        LazyChunk scalars(s, scrap::kScalars);
        for (; n < count; ++n) {
            const SFieldDesc& f = r->Field(n);
            if (f.tag == 0) continue;
            if (f.kind > kFieldString) break;
            CStream& out = scalars.Open();
            switch (f.kind) {
                case kFieldInt:
                case kFieldUInt:
                    PutBE32(out, r->GetUInt(n));
                    break;
                case kFieldByte:
                    out.PutU8(r->GetByte(n));
                    break;
                case kFieldFloat:
                    PutFloat(out, r->GetFloat(n), f.decimals);
                    break;
                default:
                    PutText(out, r->GetString(n));
                    break;
            }
        }
    }
    for (; n < count; ++n) {
        const SFieldDesc& f = r->Field(n);
        if (f.tag == 0) continue;
        if (f.kind == kFieldArray && r->ArrayCount(n) > 0) {
            Chunk array(s, scrap::kArray);
            PutBE32(s, f.tag);
            PutArray(s, r, n);
        } else if (f.kind == kFieldRecord && r->GetSubRecord(n)) {
            Chunk sub(s, scrap::kSubRecord);
            PutBE32(s, f.tag);
            if (!PutRecord(s, r->GetSubRecord(n), depth + 1)) return false;
        } else if (f.kind == kFieldRecordArray && r->ArrayCount(n) > 0) {
            Chunk array(s, scrap::kRecordArray);
            PutBE32(s, f.tag);
            for (uint32_t i = 0; i < r->ArrayCount(n); ++i)
                if (!PutRecord(s, r->GetElement(n, i), depth + 1)) return false;
        }
    }
    return true;
}

}  // namespace

CScrapWriter::CScrapWriter(uint32_t formType, uint32_t version, CBytes& data) : mStream(data) {
    mOuterStart = mStream.Position();
    PutBE32(mStream, formType);
    PutBE32(mStream, 0);
    PutBE32(mStream, version);
    mOpen = true;
}

CScrapWriter::~CScrapWriter() {
    Close();
}

bool CScrapWriter::WriteRecord(const CRecord* record) {
    if (!mOpen || mStream.HasError()) return false;
    const uint64_t start = mStream.Position();
    if (PutRecord(mStream, record, 0) && !mStream.HasError()) return true;
    if (!mStream.HasError()) {
        mStream.Seek(start);
        mStream.SetEnd();
    }
    return false;
}

void CScrapWriter::Close() {
    if (!mOpen) return;
    mOpen = false;
    const uint64_t end = mStream.Position();
    const uint64_t length = end - mOuterStart - 8;
    mStream.Seek(mOuterStart + 4);
    PutBE32(mStream, uint32_t(length));
    mStream.Seek(end);
    if (length & 1) mStream.PutU8(0);
}
