#include "Lib3/LSources/CoreData/CUndoQueue.h"

#include "Lib3/LSources/CoreData/CUndoLogFile.h"
#include "Lib3/LSources/CoreData/CUndoStrm.h"
#include "Lib3/LSources/String/UWord.h"

CUndoQueue::CUndoQueue(uint64_t limit)
    : mTexts("CUNDOQ"), mFile(std::make_unique<CUndoLogFile>()), mBuffer(mFile.get(), limit) {}

CUndoQueue::~CUndoQueue() = default;

bool CUndoQueue::HandleMessage(const LMessage& msg) {
    if (!msg.Is(CUndoStrm_Find) || !msg.sender) return false;
    auto* stream = static_cast<CUndoStrm*>(msg.sender);
    stream->Lend(mDisabled || !mFile->IsOpen() ? nullptr : &mBuffer);
    if (!mDisabled) mTextsValid = 0;
    return true;
}

bool CUndoQueue::HandleCommand(LMsgId command) {
    if (command == LStdCmd_Undo) return Perform(0);
    if (command == LStdCmd_Redo) return Perform(1);
    return false;
}

bool CUndoQueue::Perform(int direction) {
    if (mDisabled || mBuffer.mBusy) return false;
    uint64_t start = 0;
    uint32_t length = 0;
    if (direction == 0) {
        if (!mBuffer.CanUndo() || !mBuffer.EntryBefore(mBuffer.mCurrent, start, length)) return false;
    } else {
        if (!mBuffer.CanRedo() || !mBuffer.EntryAt(mBuffer.mCurrent, start, length)) return false;
    }
    mDisabled = 1;
    CUndoStrm::ReplayEntry(&mBuffer, start, length, direction);
    mBuffer.mCurrent = direction == 0 ? start : start + length;
    mDisabled = 0;
    mTextsValid = 0;
    mBuffer.mNoMerge = 1;
    return true;
}

void CUndoQueue::Clear() {
    mBuffer.Clear();
    mTextsValid = 0;
}

LString CUndoQueue::MenuText(bool redo, const LString& name) {
    if (name.IsEmpty()) return mTexts.GetString(redo ? 1 : 0);
    const unsigned char* texts[] = {name.Text()};
    return UWord::Substitute(mTexts.GetString(redo ? 3 : 2).Text(), texts, 1);
}

void CUndoQueue::UpdateTexts() {
    if (mTextsValid) return;
    mUndoText = LString();
    mRedoText = LString();
    uint64_t start = 0;
    uint32_t length = 0;
    LString name;
    if (mBuffer.CanUndo() && mBuffer.EntryBefore(mBuffer.mCurrent, start, length) &&
        CUndoStrm::ReadName(&mBuffer, start, name))
        mUndoText = MenuText(false, name);
    if (mBuffer.CanRedo() && mBuffer.EntryAt(mBuffer.mCurrent, start, length) &&
        CUndoStrm::ReadName(&mBuffer, start, name))
        mRedoText = MenuText(true, name);
    mTextsValid = 1;
}

const LString& CUndoQueue::UndoText() {
    UpdateTexts();
    return mUndoText;
}

const LString& CUndoQueue::RedoText() {
    UpdateTexts();
    return mRedoText;
}
