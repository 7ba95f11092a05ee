#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Lib3/LSources/Fs/LFsSpecList.h"

namespace plat {
class Object;
}

// Sent to the application with a CExtCmd as sender: open the record's files (none: untitled).
L_MESSAGE_ID(CExtCmd_Open);
// An Apple event for the application; sender a CExtCmdAE.
L_MESSAGE_ID(CExtCmd_AE);

// An external command: what the system asks the application to do, with the files it names. The
// sender builds one on the stack, dispatches and destroys it: receivers copy what they keep.
class CExtCmd : public LHandler {
public:
    CExtCmd() : LHandler(nullptr) {}

    void AddFile(const LFsSpec& spec) { (void)mFiles.Append(spec); }
    // A POSIX path, made absolute against the current folder.
    void AddFilePath(const char* path);
    uint32_t FileCount() const { return mFiles.Count(); }
    // Copies file index into out; false (out unchanged) past the end.
    bool GetFile(uint32_t index, LFsSpec* out) const;

    LString mCommand;

private:
    LFsSpecList mFiles;
};

// An Apple event and its reply, with the answered flag: cleared when the message comes back to the
// record unconsumed.
class CExtCmdAE : public CExtCmd {
public:
    CExtCmdAE(const plat::Object* event, plat::Object* reply) : mEvent(event), mReply(reply) {}

    LMessage Handle(const LMessage& msg) override;

    const plat::Object* Event() const { return mEvent; }
    plat::Object* Reply() const { return mReply; }
    bool Handled() const { return mHandled; }
    void SetHandled(bool handled) { mHandled = handled; }

private:
    const plat::Object* mEvent;
    plat::Object* mReply;
    bool mHandled = true;
};
