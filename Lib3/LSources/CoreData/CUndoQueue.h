#pragma once

#include <cstdint>
#include <memory>

#include "Lib3/LSources/CoreData/CUndoBuffer.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreString/LString.h"

class CUndoLogFile;

L_MESSAGE_ID(LStdCmd_Undo);
L_MESSAGE_ID(LStdCmd_Redo);

// The Undo and Redo of one document or editor window, over a private log file. The owning
// handler passes every message to HandleMessage and consumes those it answers true for; editing
// code below the owner finds the queue with "CUndoStrm_Find". Menu texts come from the string
// list "CUNDOQ": 0 undo, 1 redo, 2 and 3 the same with the entry name for "%0".
class CUndoQueue {
public:
    // limit: the log size at which writing wraps to the start.
    explicit CUndoQueue(uint64_t limit);
    ~CUndoQueue();
    CUndoQueue(const CUndoQueue&) = delete;
    CUndoQueue& operator=(const CUndoQueue&) = delete;

    // Answers "CUndoStrm_Find" (lending the buffer unless a step is running); true when handled.
    bool HandleMessage(const LMessage& msg);
    // "LStdCmd_Undo" or "LStdCmd_Redo": performs the step; true when one was performed.
    bool HandleCommand(LMsgId command);
    // One step: 0 undo, 1 redo. False when there is nothing to do.
    bool Perform(int direction);

    bool CanUndo() const { return mBuffer.CanUndo(); }
    bool CanRedo() const { return mBuffer.CanRedo(); }
    // The menu texts of the current entries (made when stale); empty when disabled.
    const LString& UndoText();
    const LString& RedoText();
    // Empties the history (after a document was loaded).
    void Clear();

    CUndoBuffer& Buffer() { return mBuffer; }

private:
    void UpdateTexts();
    LString MenuText(bool redo, const LString& name);

    LStrListRsrcH mTexts;
    std::unique_ptr<CUndoLogFile> mFile;
    CUndoBuffer mBuffer;
    LString mUndoText;
    LString mRedoText;
    uint8_t mTextsValid = 0;
    uint8_t mDisabled = 0;
};
