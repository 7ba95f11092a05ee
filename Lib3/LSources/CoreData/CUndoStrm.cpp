#include "Lib3/LSources/CoreData/CUndoStrm.h"

#include <cstring>
#include <string>

#include "Common/Stream/CStream.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CUndoBuffer.h"

namespace {

constexpr uint32_t kPathMark = 0xFFFFFFFF;
constexpr uint8_t kPathEnd = 255;
constexpr uint32_t kMaxPathDepth = 64;
constexpr uint32_t kMaxText = 1u << 24;
constexpr uint32_t kMinEntry = CUndoBuffer::kHeaderSize + 2 + CUndoBuffer::kTrailerSize;

struct Header {
    uint32_t length;
    uint32_t unused;
    uint64_t context;
    uint64_t callback;
    uint8_t noMerge;
    uint8_t pad[7];
};
static_assert(sizeof(Header) == CUndoBuffer::kHeaderSize);

bool ReadHeader(const CUndoBuffer* buffer, uint64_t start, Header& h) {
    return buffer->ReadAt(start, &h, sizeof h);
}

// A text (0, characters, 0) starting at p and ending before limit.
bool ReadTextAt(const CUndoBuffer* buffer, uint64_t p, uint64_t limit, LString& text, uint64_t& after) {
    uint8_t lead = 1;
    if (p >= limit || !buffer->ReadAt(p, &lead, 1) || lead != 0) return false;
    ++p;
    std::string bytes;
    char chunk[256];
    while (p < limit) {
        const uint64_t n = limit - p < sizeof chunk ? limit - p : sizeof chunk;
        if (!buffer->ReadAt(p, chunk, n)) return false;
        const void* zero = std::memchr(chunk, 0, n);
        const uint64_t take = zero ? uint64_t(static_cast<const char*>(zero) - chunk) : n;
        if (bytes.size() + take > kMaxText) return false;
        bytes.append(chunk, take);
        p += take;
        if (zero) {
            after = p + 1;
            text = LString(bytes.data(), uint32_t(bytes.size()));
            return true;
        }
    }
    return false;
}

}  // namespace

CUndoStrm::~CUndoStrm() {
    Close();
}

void CUndoStrm::Lend(CUndoBuffer* buffer) {
    mLent = 1;
    if (!buffer) return;
    mBuffer = buffer;
    mNested = buffer->mBusy;
    buffer->mBusy = 1;
}

bool CUndoStrm::Find(LHandler* editor) {
    Close();
    if (!editor) return false;
    mLent = 0;
    SetUpper(editor);
    Dispatch(LMessage(CUndoStrm_Find, this, editor));
    // Nothing is sent to the editor's chain when this stream goes.
    SetUpper(nullptr);
    return mBuffer != nullptr;
}

void CUndoStrm::Release() {
    if (mBuffer && (mWriting || mReopened)) mBuffer->mBusy = mNested;
    mBuffer = nullptr;
    mWriting = 0;
    mReopened = 0;
    mNested = 0;
}

bool CUndoStrm::BeginEntry(LHandler* editor, void* context, UndoCallback callback, const LString& name,
                           int mode, int merge) {
    if (!Find(editor)) return false;
    mWriting = 1;
    CUndoBuffer& b = *mBuffer;
    if (mode == kModeUnchanged && !mNested) {
        Release();
        return false;
    }
    mContext = context;
    mCallback = callback;
    mName = mNested ? LString() : name;
    if (merge == kMergeContinue && !mNested && b.mCurrent != b.mOldest && !b.mNoMerge) {
        uint64_t start = 0;
        uint32_t length = 0;
        Header h{};
        LString oldName;
        uint64_t body = 0;
        if (b.EntryBefore(b.mCurrent, start, length) && ReadHeader(&b, start, h) &&
            h.context == reinterpret_cast<uintptr_t>(context) &&
            h.callback == reinterpret_cast<uintptr_t>(callback) && h.noMerge == 0 &&
            ReadTextAt(&b, start + CUndoBuffer::kHeaderSize, start + length, oldName, body)) {
            mEntryStart = start;
            mName = oldName;
            mReopened = 1;
            mWriting = 0;
            mReadPos = body;
            mReadEnd = start + length - CUndoBuffer::kTrailerSize;
            return true;
        }
    }
    if (merge == kMergeNever) b.mNoMerge = 1;
    OpenNew();
    return true;
}

void CUndoStrm::OpenNew() {
    CUndoBuffer& b = *mBuffer;
    if (!mNested) {
        b.mNoMerge = 0;
        b.PrepareTopLevel();
    }
    Header h{};
    h.context = reinterpret_cast<uintptr_t>(mContext);
    h.callback = reinterpret_cast<uintptr_t>(mCallback);
    mEntryStart = b.mCurrent;
    b.WriteAt(b.mCurrent, &h, sizeof h);
    b.mCurrent += sizeof h;
    mWriting = 1;
    PutText(mName);
}

void CUndoStrm::Rewrite() {
    if (!mBuffer || !mReopened) return;
    mReopened = 0;
    mBuffer->mCurrent = mEntryStart;
    // Rewritten in place: the entry stays the newest one, so no wrap and no merge flag change.
    Header h{};
    h.context = reinterpret_cast<uintptr_t>(mContext);
    h.callback = reinterpret_cast<uintptr_t>(mCallback);
    mBuffer->WriteAt(mEntryStart, &h, sizeof h);
    mBuffer->mCurrent += sizeof h;
    mWriting = 1;
    PutText(mName);
}

void CUndoStrm::AppendNew() {
    if (!mBuffer || !mReopened) return;
    mReopened = 0;
    mName = LString();
    OpenNew();
}

bool CUndoStrm::BeginGroup(LHandler* editor, const LString& name) {
    return BeginEntry(editor, nullptr, ReplayGroup, name, kModePlain, kMergeNew);
}

void CUndoStrm::Close() {
    if (!mBuffer) return;
    if (mWriting) {
        CUndoBuffer& b = *mBuffer;
        const uint64_t end = b.mCurrent + CUndoBuffer::kTrailerSize;
        const auto length = uint32_t(end - mEntryStart);
        b.WriteAt(b.mCurrent, &length, sizeof length);
        b.WriteAt(mEntryStart, &length, sizeof length);
        b.WriteAt(mEntryStart + CUndoBuffer::kNoMergeOffset, &b.mNoMerge, 1);
        b.mCurrent = b.mEnd = end;
        if (b.mStream->HasError()) {
            // A log that could not be written is useless: start afresh rather than replay garbage.
            const uint8_t nested = mNested;
            b.Clear();
            b.mBusy = nested;
        }
    }
    Release();
}

void CUndoStrm::ClearHistory(LHandler* editor) {
    CUndoStrm s;
    if (!s.Find(editor)) return;
    s.mBuffer->Clear();
    s.mBuffer = nullptr;
}

void CUndoStrm::Put(const void* bytes, uint32_t n) {
    if (!mBuffer || !mWriting) return;
    mBuffer->WriteAt(mBuffer->mCurrent, bytes, n);
    mBuffer->mCurrent += n;
}

void CUndoStrm::PutText(const LString& text) {
    PutU8(0);
    Put(text.Text(), text.Length());
    PutU8(0);
}

void CUndoStrm::PutPath(CRecordRef ref, uint32_t field) {
    std::string path;
    AppendPath(path, ref, field);
    Put(path.data(), uint32_t(path.size()));
}

void CUndoStrm::PutPart(const void* bytes, uint32_t n) {
    PutU32(n);
    Put(bytes, n);
}

void CUndoStrm::BeginRead(CUndoBuffer* buffer, uint64_t start, uint64_t end) {
    Close();
    mBuffer = buffer;
    mWriting = 0;
    mReadPos = start;
    mReadEnd = end;
}

bool CUndoStrm::Get(void* bytes, uint32_t n) {
    if (!mBuffer || mWriting || n > mReadEnd - mReadPos || mReadPos > mReadEnd) return false;
    if (!mBuffer->ReadAt(mReadPos, bytes, n)) return false;
    mReadPos += n;
    return true;
}

bool CUndoStrm::GetText(LString& text) {
    if (!mBuffer || mWriting) return false;
    uint64_t after = 0;
    if (!ReadTextAt(mBuffer, mReadPos, mReadEnd, text, after)) return false;
    mReadPos = after;
    return true;
}

bool CUndoStrm::GetPath(CRecordHolder* holder, CRecordRef& ref, uint32_t& field) {
    // A path is at most 6 + 5 * depth bytes; read what can be and resolve from memory.
    uint8_t bytes[6 + 5 * kMaxPathDepth];
    uint32_t n = 0;
    while (n < sizeof bytes) {
        if (!GetU8(bytes[n])) return false;
        ++n;
        if (n >= 6 && (n - 6) % 5 == 0 && bytes[n - 1] == kPathEnd) break;
    }
    size_t pos = 0;
    return ResolvePath(holder, bytes, n, pos, ref, field) && pos == n;
}

bool CUndoStrm::ResolvePath(CRecordHolder* holder, const uint8_t* bytes, size_t size, size_t& pos,
                            CRecordRef& ref, uint32_t& field) {
    auto get = [&](void* out, size_t n) {
        if (size - pos < n || pos > size) return false;
        std::memcpy(out, bytes + pos, n);
        pos += n;
        return true;
    };
    uint8_t f = 0;
    uint32_t mark = 0;
    if (!holder || !get(&f, 1) || !get(&mark, 4) || mark != kPathMark) return false;
    struct Step {
        uint8_t field;
        uint32_t index;
    } steps[kMaxPathDepth];
    uint32_t depth = 0;
    for (;;) {
        uint8_t parentField = 0;
        if (!get(&parentField, 1)) return false;
        if (parentField == kPathEnd) break;
        if (depth == kMaxPathDepth || !get(&steps[depth].index, 4)) return false;
        steps[depth++].field = parentField;
    }
    CRecord** address = holder->RootRef().Address();
    while (depth-- > 0) {
        CRecord* r = *address;
        const Step& s = steps[depth];
        if (!r || s.field >= r->FieldCount()) return false;
        const uint8_t kind = r->Field(s.field).kind;
        if (kind == kFieldRecord) {
            address = &r->Slot(s.field).record;
        } else if (kind == kFieldRecordArray) {
            CRecordArray* array = r->GetRecordArray(s.field);
            if (!array || s.index >= array->Count()) return false;
            address = &(*array)[s.index];
        } else {
            return false;
        }
    }
    if (!*address || f >= (*address)->FieldCount()) return false;
    ref = CRecordRef(address);
    field = f;
    return true;
}

bool CUndoStrm::ReadName(CUndoBuffer* buffer, uint64_t start, LString& name) {
    uint32_t length = 0;
    uint64_t after = 0;
    return buffer->ReadU32(start, length) && length >= kMinEntry &&
           ReadTextAt(buffer, start + CUndoBuffer::kHeaderSize, start + length, name, after);
}

bool CUndoStrm::ReplayEntry(CUndoBuffer* buffer, uint64_t start, uint32_t length, int direction,
                            LString* name) {
    Header h{};
    LString entryName;
    uint64_t body = 0;
    const uint64_t end = start + length - CUndoBuffer::kTrailerSize;
    if (length < kMinEntry || !ReadHeader(buffer, start, h) ||
        !ReadTextAt(buffer, start + CUndoBuffer::kHeaderSize, end, entryName, body))
        return false;
    if (name) *name = entryName;
    auto callback = reinterpret_cast<UndoCallback>(static_cast<uintptr_t>(h.callback));
    if (!callback) return false;
    CUndoStrm reader;
    reader.mName = entryName;
    reader.BeginRead(buffer, body, end);
    callback(reinterpret_cast<void*>(static_cast<uintptr_t>(h.context)), reader, direction);
    reader.mBuffer = nullptr;
    return true;
}

void CUndoStrm::ReplayGroup(void*, CUndoStrm& stream, int direction) {
    CUndoBuffer* buffer = stream.mBuffer;
    const uint64_t begin = stream.mReadPos;
    const uint64_t end = stream.mReadEnd;
    if (!buffer) return;
    if (direction != 0) {
        uint64_t pos = begin;
        uint32_t length = 0;
        while (pos + CUndoBuffer::kTrailerSize < end && buffer->ReadU32(pos, length) && length >= kMinEntry &&
               length <= end - pos) {
            ReplayEntry(buffer, pos, length, direction);
            pos += length;
        }
        return;
    }
    uint64_t pos = end;
    uint32_t length = 0;
    while (pos > begin && buffer->ReadU32(pos - CUndoBuffer::kTrailerSize, length) && length >= kMinEntry &&
           length <= pos - begin) {
        pos -= length;
        ReplayEntry(buffer, pos, length, direction);
    }
}
