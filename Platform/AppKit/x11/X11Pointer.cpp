#include "Platform/AppKit/x11/X11Pointer.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace plat::x11 {

X11Pointer::X11Pointer(::Display* display) : fDisplay(display) {
    int opcode = 0, event = 0, error = 0;
    int major = 2, minor = 2;
    if (!XQueryExtension(fDisplay, "XInputExtension", &opcode, &event, &error) ||
        XIQueryVersion(fDisplay, &major, &minor) != Success || major < 2 || (major == 2 && minor < 2)) {
        std::fprintf(stderr,
                     "orbilume: the X server has no XInput 2.2; core pointer events, line wheel steps\n");
        return;
    }
    fOpcode = opcode;
    LoadDevices();
}

void X11Pointer::Classes(int device, void* classes, int count) {
    auto** list = static_cast<XIAnyClassInfo**>(classes);
    std::vector<X11ScrollValuators::Axis> axes;
    for (int i = 0; i < count; ++i) {
        if (list[i]->type != XIScrollClass) continue;
        const auto* s = reinterpret_cast<const XIScrollClassInfo*>(list[i]);
        axes.push_back({s->number, s->scroll_type == XIScrollTypeHorizontal, s->increment});
    }
    fValuators.SetAxes(device, axes);
}

void X11Pointer::LoadDevices() {
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(fDisplay, XIAllMasterDevices, &count);
    for (int i = 0; devices && i < count; ++i)
        if (devices[i].use == XIMasterPointer)
            Classes(devices[i].deviceid, devices[i].classes, devices[i].num_classes);
    if (devices) XIFreeDeviceInfo(devices);
}

void X11Pointer::Select(unsigned long xwindow) {
    if (!Available()) return;
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_ButtonPress);
    XISetMask(bits, XI_ButtonRelease);
    XISetMask(bits, XI_Motion);
    XISetMask(bits, XI_Enter);
    XISetMask(bits, XI_Leave);
    XISetMask(bits, XI_DeviceChanged);
    XIEventMask mask{XIAllMasterDevices, int(sizeof(bits)), bits};
    XISelectEvents(fDisplay, xwindow, &mask, 1);
}

namespace {

unsigned CoreState(const XIModifierState& mods, const XIButtonState& buttons) {
    unsigned state = unsigned(mods.effective) & 0xFF;
    for (int b = 1; b <= 5; ++b)
        if (b < buttons.mask_len * 8 && XIMaskIsSet(buttons.mask, b)) state |= Button1Mask << (b - 1);
    return state;
}

// The pointer fields an XI event and the core event it becomes share.
template <class XiEvent, class CoreEvent>
void CopyPointer(const XiEvent& e, Display* display, CoreEvent& x) {
    x.display = display;
    x.window = e.event;
    x.root = e.root;
    x.time = e.time;
    x.x = int(e.event_x);
    x.y = int(e.event_y);
    x.x_root = int(e.root_x);
    x.y_root = int(e.root_y);
    x.state = CoreState(e.mods, e.buttons);
}

}  // namespace

X11Pointer::Result X11Pointer::Convert(XEvent* event, XEvent* core, Scroll* scroll) {
    if (!Available() || event->type != GenericEvent || event->xcookie.extension != fOpcode)
        return Result::kNotOurs;
    XGenericEventCookie* cookie = &event->xcookie;
    if (!XGetEventData(fDisplay, cookie)) return Result::kNone;
    Result result = Result::kNone;
    std::memset(core, 0, sizeof(*core));
    switch (cookie->evtype) {
        case XI_DeviceChanged: {
            const auto* d = static_cast<const XIDeviceChangedEvent*>(cookie->data);
            Classes(d->deviceid, d->classes, d->num_classes);
            break;
        }
        case XI_Enter:
        case XI_Leave: {
            const auto* c = static_cast<const XIEnterEvent*>(cookie->data);
            // Valuators moved while the pointer was elsewhere: the next values only record.
            fValuators.Reset(c->deviceid);
            XCrossingEvent& x = core->xcrossing;
            x.type = cookie->evtype == XI_Enter ? EnterNotify : LeaveNotify;
            CopyPointer(*c, fDisplay, x);
            result = Result::kCore;
            break;
        }
        case XI_ButtonPress:
        case XI_ButtonRelease: {
            const auto* d = static_cast<const XIDeviceEvent*>(cookie->data);
            // Wheel buttons the server made from a scroll valuator: the valuator already told.
            if ((d->flags & XIPointerEmulated) && d->detail >= 4 && d->detail <= 7) break;
            XButtonEvent& x = core->xbutton;
            x.type = cookie->evtype == XI_ButtonPress ? ButtonPress : ButtonRelease;
            CopyPointer(*d, fDisplay, x);
            x.button = unsigned(d->detail);
            x.same_screen = True;
            result = Result::kCore;
            break;
        }
        case XI_Motion: {
            const auto* d = static_cast<const XIDeviceEvent*>(cookie->data);
            std::vector<std::pair<int, double>> values;
            const double* v = d->valuators.values;
            for (int i = 0; i < d->valuators.mask_len * 8 && i < 256; ++i)
                if (XIMaskIsSet(d->valuators.mask, i)) values.emplace_back(i, *v++);
            double lx = 0, ly = 0;
            if (fValuators.Scroll(d->deviceid, values, &lx, &ly)) {
                scroll->window = d->event;
                scroll->x = d->event_x;
                scroll->y = d->event_y;
                scroll->rootX = d->root_x;
                scroll->rootY = d->root_y;
                scroll->state = CoreState(d->mods, d->buttons);
                scroll->time = d->time;
                scroll->linesX = lx;
                scroll->linesY = ly;
                result = Result::kScroll;
                break;
            }
            // A scroll-only event moves nothing.
            bool onlyScroll = !values.empty();
            for (const auto& [number, value] : values)
                onlyScroll = onlyScroll && fValuators.IsAxis(d->deviceid, number);
            if (onlyScroll) break;
            XMotionEvent& x = core->xmotion;
            x.type = MotionNotify;
            CopyPointer(*d, fDisplay, x);
            x.same_screen = True;
            result = Result::kCore;
            break;
        }
        default:
            break;
    }
    XFreeEventData(fDisplay, cookie);
    return result;
}

}  // namespace plat::x11
