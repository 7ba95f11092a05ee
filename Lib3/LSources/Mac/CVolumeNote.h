#pragma once

#include <memory>

#include "Lib3/LSources/CoreData/LCallbackList.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Platform/Foundation/Object.h"

namespace plat {
class FdSource;
class MountWatcher;
class RunLoop;
}  // namespace plat

L_MESSAGE_ID(CVolumeNote_Mount);
L_MESSAGE_ID(CVolumeNote_Unmount);

// Tells registered callbacks about volumes being mounted and unmounted. The mount observer (Poll,
// run by the run loop the note is attached to when the mount table changes) sends
// "CVolumeNote_Mount" or "CVolumeNote_Unmount" to this handler for each change; the handler calls
// every callback as function(context, 1, const Notice*), then passes the message on from the note
// to its upper handler (CurrentNotice() says which volume while it is handled). Made with an upper
// handler on the main thread, the note attaches itself to the main run loop.
class CVolumeNote : public LHandler {
public:
    struct Notice {
        bool mounted;
        LString name;
        LFsSpec volume;  // the volume's root spec
    };

    explicit CVolumeNote(LHandler* upper = nullptr);
    ~CVolumeNote() override;

    LCallbackList& Callbacks() { return fCallbacks; }
    // The change being reported.
    const Notice& CurrentNotice() const { return fNotice; }

    LMessage Handle(const LMessage& msg) override;

    // Watches the mount table from a run loop (in its common modes); false when it cannot or already
    // watches one. The watch starts when the loop next runs; a change before that is reported with
    // the next one.
    [[nodiscard]] bool Attach(plat::RunLoop* loop);
    // Readable when the mount table changed.
    int FileDescriptor() const;
    // Re-reads the mount table and sends one message per volume that appeared or went.
    void Poll();

private:
    LCallbackList fCallbacks;
    std::unique_ptr<plat::MountWatcher> fWatcher;
    plat::Ref<plat::FdSource> fSource;
    Notice fNotice{false, LString(), LFsSpec()};
};
