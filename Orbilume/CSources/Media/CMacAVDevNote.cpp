#include "Orbilume/CSources/Media/CMacAVDevNote.h"

#include <cstring>

#include "Platform/AppKit/NotificationCenter.h"
#include "Platform/Media/CaptureRegistry.h"

CMacAVDevNote::CMacAVDevNote(LHandler* upper) : LHandler(upper) {
    plat::NotificationCenter& center = plat::NotificationCenter::Default();
    center.AddObserver(this, &Notified, plat::kCaptureDeviceConnected, nullptr);
    center.AddObserver(this, &Notified, plat::kCaptureDeviceDisconnected, nullptr);
}

CMacAVDevNote::~CMacAVDevNote() {
    plat::NotificationCenter::Default().RemoveObserver(this);
}

void CMacAVDevNote::Notified(const char* name, const void*, void* self) {
    auto* note = static_cast<CMacAVDevNote*>(self);
    if (std::strcmp(name, plat::kCaptureDeviceConnected) == 0)
        Dispatch(LMessage(CMacAVDevNote_Add, note, note->Upper()));
    else if (std::strcmp(name, plat::kCaptureDeviceDisconnected) == 0)
        Dispatch(LMessage(CMacAVDevNote_Rmv, note, note->Upper()));
}
