#include "Lib3/LSources/Mac/UListScrap.h"

#include <algorithm>
#include <set>

#include "Common/Container/CArray.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordUndo.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/Mac/CDragger.h"
#include "Lib3/LSources/Mac/CListDragDropHelper.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Lib3/LSources/Mac/LScrapData.h"
#include "Lib3/LSources/Mac/UPasteboard.h"

namespace {

constexpr const char* kCut = "LStdCmd_Cut";
constexpr const char* kCopy = "LStdCmd_Copy";
constexpr const char* kPaste = "LStdCmd_Paste";
constexpr const char* kDelete = "LStdCmd_Delete";

uint32_t ElementCount(CRecordRef record, uint32_t field) {
    return record ? record->ArrayCount(field) : 0;
}

// Inserts the records the next function gives; foreign types are dropped for a typed field.
template <typename Next>
uint32_t InsertRecords(LHandler* undo, CRecordRef record, uint32_t field, uint32_t* index, Next next) {
    const SFieldDesc& desc = record->Field(field);
    uint32_t at = std::min(*index, ElementCount(record, field));
    *index = at;
    uint32_t count = 0;
    while (CRecord* r = next()) {
        if (!desc.AllowsAnyType() && !r->IsOfType(desc.SubDomain(), desc.SubType())) {
            CRecord::Delete(r);
            continue;
        }
        if (!record.InsertRecord(undo, field, at, r)) continue;  // deleted by the tree
        ++at;
        ++count;
    }
    return count;
}

}  // namespace

std::unique_ptr<LScrapData> CListScrap::MakeScrapData(const LScrapType& type) {
    fWriter.Close();
    auto data = std::make_unique<LScrapData>();
    if (!data->AddFlavor(type.name, type.code, fBuffer.Data(), fBuffer.Count(), 0)) return nullptr;
    return data;
}

CListDropScrap::CListDropScrap(LDrop* drop, const LScrapType& type) : CDragScrap(drop) {
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
    if (GetData(type, 0, &bytes, &size) && size) fReader = std::make_unique<CScrapReader>(bytes, size);
}

CRecord* CListDropScrap::NextRecord() {
    while (fReader && !fReader->AtEnd()) {
        if (CRecord* r = fReader->ReadRecord()) return r;
    }
    return nullptr;
}

uint32_t LIndexRemap::Remap(uint32_t i) {
    uint32_t k = i - removedBefore;
    if (k >= count) {
        pending = 0;
        ++count;
        return k;
    }
    if (pending) {
        ++removedBefore;
        --k;
    }
    pending = 1;
    return k;
}

std::vector<uint32_t> UListScrap::Indices(const CRgn& selection, uint32_t axis) {
    std::set<uint32_t> out;
    CArray<CLRect> rects;
    selection.GetRects(rects);
    for (const CLRect& r : rects) {
        const int32_t lo = axis == 1 ? r.top : r.left, hi = axis == 1 ? r.bottom : r.right;
        for (int32_t i = std::max(lo, 0); i < hi; ++i) out.insert(uint32_t(i));
    }
    return {out.begin(), out.end()};
}

std::unique_ptr<LScrapData> UListScrap::CopyRows(const LScrapType& type, CRecordRef record, uint32_t field,
                                                 const CRgn& selection, uint32_t axis) {
    CListScrap scrap;
    const uint32_t count = ElementCount(record, field);
    for (uint32_t i : Indices(selection, axis))
        if (i < count) (void)scrap.PutRecord(record->GetElement(field, i));
    return scrap.MakeScrapData(type);
}

void UListScrap::DeleteRows(LHandler* undo, const LString& groupName, CRecordRef record, uint32_t field,
                            const CRgn& selection, uint32_t axis) {
    if (!record) return;
    void* group = CRecordUndo::BeginGroup(undo, groupName);
    const std::vector<uint32_t> rows = Indices(selection, axis);
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        if (*it < ElementCount(record, field)) record.DeleteElement(undo, field, *it);
    CRecordUndo::EndGroup(group);
}

uint32_t UListScrap::PasteRows(LHandler* undo, CRecordRef record, uint32_t field, const LScrapType& type,
                               const LPasteboardReader& reader, uint32_t* index, DoneCallback done,
                               void* context) {
    std::vector<uint8_t> bytes;
    if (!record || !index || !reader.Read(type, bytes) || bytes.empty()) return 0;
    *index = std::min(*index, ElementCount(record, field));
    CScrapReader scrap(bytes.data(), bytes.size());
    void* group = CRecordUndo::BeginGroup(undo, LString());
    // Each read consumes a chunk; the bytes bound the number of reads.
    size_t budget = bytes.size();
    const uint32_t count = InsertRecords(undo, record, field, index, [&]() -> CRecord* {
        while (budget-- > 0 && !scrap.AtEnd())
            if (CRecord* r = scrap.ReadRecord()) return r;
        return nullptr;
    });
    if (done) done(context);
    CRecordUndo::EndGroup(group);
    return count;
}

void UListScrap::EnableEditCommands(LMenuBar* bar, const CRgn& selection, const LScrapType& type,
                                    const CPasteboardU& pasteboard) {
    if (!bar) return;
    if (!selection.IsEmpty()) {
        bar->EnableCommand(kCut);
        bar->EnableCommand(kCopy);
        bar->EnableCommand(kDelete);
    }
    if (pasteboard.HasScrapType(type)) bar->EnableCommand(kPaste);
}

int32_t UListScrap::DoEditCommand(LHandler* undo, CRecordRef record, uint32_t field, const CRgn& selection,
                                  uint32_t axis, const LScrapType& type, LMsgId message, uint32_t* index,
                                  CPasteboardU& pasteboard, DoneCallback done, void* context) {
    if (message == LMsgId(kCut) || message == LMsgId(kCopy)) {
        if (selection.IsEmpty()) return 0;
        if (std::unique_ptr<LScrapData> data = CopyRows(type, record, field, selection, axis))
            pasteboard.PutScrap(*data);
        if (message == LMsgId(kCut)) DeleteRows(undo, LString(), record, field, selection, axis);
        return -1;
    }
    if (message == LMsgId(kDelete)) {
        if (selection.IsEmpty()) return 0;
        DeleteRows(undo, LString(), record, field, selection, axis);
        return -1;
    }
    if (message == LMsgId(kPaste)) {
        if (!index || !pasteboard.HasScrapType(type)) return 0;
        *index = std::min(*index, ElementCount(record, field));
        return int32_t(PasteRows(undo, record, field, type, pasteboard.Reader(), index, done, context));
    }
    return 0;
}

uint32_t UListScrap::MoveSelectedRows(LHandler* undo, CRecordRef record, uint32_t field, uint32_t axis,
                                      const CRgn& selection, uint32_t* index) {
    if (!record || !index) return 0;
    const uint32_t count = ElementCount(record, field);
    LIndexRemap remap;
    remap.count = std::min(*index, count);
    uint32_t moved = 0;
    for (uint32_t i : Indices(selection, axis)) {
        if (i >= count) break;
        const uint32_t to = remap.count;
        const uint32_t from = remap.Remap(i);
        record.MoveRecord(undo, field, from, to);
        ++moved;
    }
    *index = remap.count - moved;
    return moved;
}

int32_t UListScrap::HandleDragDrop(LHandler* undo, CRecordRef record, uint32_t field, const CRgn& selection,
                                   uint32_t axis, const LScrapType& type, CListDragDropHelper& helper,
                                   const LMessage& message, uint32_t* index, uint32_t flags,
                                   DoneCallback done, void* context) {
    const int32_t code = helper.Dispatch(message);
    switch (code) {
        case CListDragDropHelper::kConsumed:
            return 0;
        case CListDragDropHelper::kDragStarting:
            helper.SetDragData(CopyRows(type, record, field, selection, axis),
                               !LListPane::IsSingleCell(selection));
            return -2;
        case CListDragDropHelper::kDragEntered:
            if (index && UDragPboard::HasScrapType(helper.Drop(), type)) {
                if (!(flags & 1))
                    helper.SetDropFeedback(LDrop::kDefault);
                else if (helper.IsSource())
                    helper.SetDropFeedback(LDrop::kMove);  // others' drags are not taken
            }
            return -1;
        case CListDragDropHelper::kDropped: {
            LDrop* drop = helper.Drop();
            if (!index || !UDragPboard::HasScrapType(drop, type)) return -1;
            const CLPoint cell = helper.InsertionCell();
            uint32_t target = uint32_t(std::max(axis == 1 ? cell.y : cell.x, 0));
            const bool ownMove = helper.OperationAtDrop() == LDrop::kMove && helper.Dragger();
            if (!ownMove && !(flags & 1)) {
                const uint32_t n =
                    PasteRows(undo, record, field, type, drop->Reader(), &target, done, context);
                helper.SetFeedback(LDrop::kCopy);
                *index = target;
                return int32_t(n);
            }
            void* group = CRecordUndo::BeginGroup(undo, LString());
            const uint32_t n = MoveSelectedRows(undo, record, field, axis, selection, &target);
            CRecordUndo::EndGroup(group);
            helper.SetFeedback(LDrop::kMove);
            *index = target;
            return int32_t(n);
        }
        case CListDragDropHelper::kDraggerMade:
        case CListDragDropHelper::kNoDrag:
        default:
            return -1;
    }
}
