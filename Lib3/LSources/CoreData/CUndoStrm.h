#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreString/LString.h"

class CRecordHolder;
class CUndoBuffer;
class CUndoStrm;

// Sent up the editing handler's chain by a stream looking for an undo queue (sender: the stream).
L_MESSAGE_ID(CUndoStrm_Find);

// Replays one entry: direction 0 undoes, 1 redoes. The stream is positioned at the entry's body.
using UndoCallback = void (*)(void* context, CUndoStrm& stream, int direction);

// A short-lived writer (or, during a step, reader) of one undo entry. Writing: BeginEntry finds
// the queue above the editing handler; with none, every write is a no-op. Closing (the destructor
// or Close) commits the entry.
class CUndoStrm : public LHandler {
public:
    enum : int { kModePlain = 0, kModeUnchanged = 1 };
    enum : int { kMergeNever = 0, kMergeNew = 1, kMergeContinue = 2 };

    CUndoStrm() = default;
    ~CUndoStrm() override;

    // Opens an entry; false when no queue lent its buffer or nothing is to be written (an
    // unchanged value outside a group). With merge kMergeContinue and a previous top-level entry
    // of the same context and callback that may be continued, the stream is "reopened" instead:
    // the caller reads that entry's body (Get, GetPart) and then calls either Rewrite, to write
    // the entry again in its place, or AppendNew, to open a new entry after it.
    bool BeginEntry(LHandler* editor, void* context, UndoCallback callback, const LString& name, int mode,
                    int merge);
    bool IsReopened() const { return mReopened != 0; }
    void Rewrite();
    void AppendNew();
    // Opens a group: every entry opened for the same queue until it closes is written into it.
    bool BeginGroup(LHandler* editor, const LString& name);
    void Close();
    // Empties the history of the queue above the editor.
    static void ClearHistory(LHandler* editor);

    bool IsOpen() const { return mBuffer != nullptr && mWriting; }

    void Put(const void* bytes, uint32_t n);
    void PutU8(uint8_t v) { Put(&v, 1); }
    void PutU32(uint32_t v) { Put(&v, 4); }
    void PutU64(uint64_t v) { Put(&v, 8); }
    void PutText(const LString& text);
    // A length-prefixed byte string (u32 length, bytes).
    void PutPart(const void* bytes, uint32_t n);
    // The record path of a field: u8 field, u32 0xFFFFFFFF, (u8 field in parent, u32 index in
    // parent) for the record and each ancestor below the root, u8 255.
    void PutPath(CRecordRef ref, uint32_t field);
    template <class String>
    static void AppendPath(String& out, CRecordRef ref, uint32_t field);

    bool Get(void* bytes, uint32_t n);
    bool GetU8(uint8_t& v) { return Get(&v, 1); }
    bool GetU32(uint32_t& v) { return Get(&v, 4); }
    bool GetU64(uint64_t& v) { return Get(&v, 8); }
    bool GetText(LString& text);
    // Reads a part into out (at most 16 MiB).
    template <class String>
    bool GetPart(String& out) {
        uint32_t n = 0;
        if (!GetU32(n) || n > kMaxPart || n > mReadEnd - mReadPos) return false;
        out.resize(n);
        return n == 0 || Get(out.data(), n);
    }
    static constexpr uint32_t kMaxPart = 1u << 24;
    // Resolves a path read from the stream against the holder's tree; false when it no longer does.
    [[nodiscard]] bool GetPath(CRecordHolder* holder, CRecordRef& ref, uint32_t& field);
    // The same over path bytes held in memory; pos advances past the path.
    static bool ResolvePath(CRecordHolder* holder, const uint8_t* bytes, size_t size, size_t& pos,
                            CRecordRef& ref, uint32_t& field);

    // The callback of group entries.
    static void ReplayGroup(void* context, CUndoStrm& stream, int direction);

    // Reading an entry (used by the queue): body from `start` to `end`.
    void BeginRead(CUndoBuffer* buffer, uint64_t start, uint64_t end);
    const LString& Name() const { return mName; }
    // Found by the queue: lends the buffer.
    void Lend(CUndoBuffer* buffer);

    // Reads the header and name of the entry at start (length from the header) and replays it.
    static bool ReplayEntry(CUndoBuffer* buffer, uint64_t start, uint32_t length, int direction,
                            LString* name = nullptr);
    // The name of the entry at start.
    [[nodiscard]] static bool ReadName(CUndoBuffer* buffer, uint64_t start, LString& name);

private:
    bool Find(LHandler* editor);
    void Release();
    void OpenNew();

    LString mName;
    CUndoBuffer* mBuffer = nullptr;
    uint64_t mEntryStart = 0;
    uint64_t mReadPos = 0;
    uint64_t mReadEnd = 0;
    void* mContext = nullptr;
    UndoCallback mCallback = nullptr;
    uint8_t mReopened = 0;
    uint8_t mWriting = 0;
    uint8_t mNested = 0;
    uint8_t mLent = 0;
};

template <class String>
void CUndoStrm::AppendPath(String& out, CRecordRef ref, uint32_t field) {
    auto put = [&out](const void* p, size_t n) {
        const auto* b = static_cast<const char*>(p);
        out.insert(out.end(), b, b + n);
    };
    const uint8_t f = uint8_t(field);
    const uint32_t mark = 0xFFFFFFFF;
    put(&f, 1);
    put(&mark, 4);
    for (CRecord* r = ref.Get(); r && r->Parent(); r = r->Parent()) {
        CRecord* var = r;
        const uint8_t inParent = r->FieldInParent();
        const uint32_t index = CRecordRef(&var).IndexInParent();
        put(&inParent, 1);
        put(&index, 4);
    }
    const uint8_t end = 255;
    put(&end, 1);
}
