#include "Orbilume/CSources/UsbDmx/CDmxIoNote.h"

#include "Orbilume/CSources/UsbDmx/CDmxIo.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/RunLoop.h"

CDmxIoNote::CDmxIoNote(LHandler* upper, plat::RunLoop* loop, plat::UsbHost* host)
    : LHandler(upper),
      fLoop(loop ? loop : plat::RunLoop::Current()),
      fHost(host ? host : &plat::UsbHost::Current()) {}

CDmxIoNote::~CDmxIoNote() {
    fWatch.reset();
}

plat::UsbMatch CDmxIoNote::Match() {
    // Every device of the vendor: a change of any of them may change what the interfaces are.
    plat::UsbMatch match;
    match.vendor = CDmxIo::kVendor;
    return match;
}

bool CDmxIoNote::Start() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fWatch) fWatch = fHost->Watch(Match(), fLoop, &CDmxIoNote::Plugged, this);
    return fWatch != nullptr;
}

void CDmxIoNote::Plugged(void* self, plat::UsbWatch::Event, const plat::UsbDeviceInfo&) {
    auto* note = static_cast<CDmxIoNote*>(self);
    if (note->Upper()) LHandler::Dispatch(LMessage(CDmxIoNote_Change, note, note->Upper()));
}
