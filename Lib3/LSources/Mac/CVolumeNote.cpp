#include "Lib3/LSources/Mac/CVolumeNote.h"

#include <vector>

#include "Common/Internet/CURLU.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Foundation/Volumes.h"

namespace {

LFsSpec VolumeSpec(const std::string& name) {
    LVariStr<64> text;
    text.Append("file:///");
    text.Append(CURLU::Encode(reinterpret_cast<const unsigned char*>(name.c_str())));
    return LFsSpec(LString(text));
}

}  // namespace

CVolumeNote::CVolumeNote(LHandler* upper) : LHandler(upper), fWatcher(new plat::MountWatcher()) {
    // Without a readable mount table there is nothing to watch; the note still answers Poll.
    if (upper && plat::RunLoop::IsMainThread()) (void)Attach(plat::RunLoop::Main());
}

CVolumeNote::~CVolumeNote() {
    if (fSource) fSource->Invalidate();
}

bool CVolumeNote::Attach(plat::RunLoop* loop) {
    if (fSource || !loop || FileDescriptor() < 0) return false;
    fSource = plat::FdSource::Create(
        FileDescriptor(), plat::FdSource::kReadable,
        [](plat::FdSource*, int, uint32_t, void* info) { static_cast<CVolumeNote*>(info)->Poll(); }, this);
    return loop->AddFdSource(fSource.get(), plat::kRunLoopCommonModes);
}

LMessage CVolumeNote::Handle(const LMessage& msg) {
    if (msg.target == this && (msg.Is(CVolumeNote_Mount) || msg.Is(CVolumeNote_Unmount))) {
        fCallbacks.Call(&fNotice);
        if (Upper()) Dispatch(LMessage(msg.id, this, Upper()));
        return LMessage();
    }
    return LHandler::Handle(msg);
}

int CVolumeNote::FileDescriptor() const {
    return fWatcher->FileDescriptor();
}

void CVolumeNote::Poll() {
    std::vector<plat::Volume> mounted, unmounted;
    fWatcher->Poll(mounted, unmounted);
    for (const plat::Volume& v : unmounted) {
        fNotice = Notice{false, LString(v.name.c_str()), VolumeSpec(v.name)};
        Dispatch(LMessage(CVolumeNote_Unmount, this, this));
    }
    for (const plat::Volume& v : mounted) {
        fNotice = Notice{true, LString(v.name.c_str()), VolumeSpec(v.name)};
        Dispatch(LMessage(CVolumeNote_Mount, this, this));
    }
}
