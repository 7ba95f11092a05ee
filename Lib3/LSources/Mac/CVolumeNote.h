#pragma once

#include <memory>

#include "Lib3/LSources/CoreData/LCallbackList.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/Fs/LFsSpec.h"

namespace plat {
class MountWatcher;
}

L_MESSAGE_ID(CVolumeNote_Mount);
L_MESSAGE_ID(CVolumeNote_Unmount);

// Tells registered callbacks about volumes being mounted and unmounted. The mount observer (Poll,
// driven by whoever watches FileDescriptor) sends "CVolumeNote_Mount" or "CVolumeNote_Unmount"
// to this handler for each change; the handler calls every callback as
// function(context, 1, const Notice*).
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

    LMessage Handle(const LMessage& msg) override;

    // The mount table's descriptor: it signals a change with POLLPRI (not plain readability,
    // which it always has).
    int FileDescriptor() const;
    // Re-reads the mount table and sends one message per volume that appeared or went.
    void Poll();

private:
    LCallbackList fCallbacks;
    std::unique_ptr<plat::MountWatcher> fWatcher;
    Notice fNotice{false, LString(), LFsSpec()};
};
