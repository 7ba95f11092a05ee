#include "Platform/AppKit/x11/X11Screens.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>

namespace plat::x11 {

std::vector<Screen> ScreensFromMonitors(const std::vector<MonitorInfo>& monitors, const Rect& workArea) {
    std::vector<const MonitorInfo*> order;
    for (const MonitorInfo& m : monitors)
        if (!m.frame.IsEmpty()) order.push_back(&m);
    std::stable_partition(order.begin(), order.end(), [](const MonitorInfo* m) { return m->primary; });
    std::vector<Screen> screens;
    for (const MonitorInfo* m : order) {
        Screen s;
        s.displayId = uint32_t(screens.size() + 1);
        s.frame = m->frame;
        const Rect inside = workArea.Intersection(m->frame);
        s.visibleFrame = inside.IsEmpty() ? m->frame : inside;
        s.refreshRate = m->refreshRate > 0 && m->refreshRate < 1000 ? m->refreshRate : 60;
        screens.push_back(s);
    }
    return screens;
}

namespace {

// The rate of the mode a monitor's first output shows.
double RefreshOf(::Display* d, XRRScreenResources* res, RROutput output) {
    if (!res) return 0;
    double rate = 0;
    XRROutputInfo* out = XRRGetOutputInfo(d, res, output);
    if (out && out->crtc) {
        if (XRRCrtcInfo* crtc = XRRGetCrtcInfo(d, res, out->crtc)) {
            for (int i = 0; i < res->nmode; ++i) {
                const XRRModeInfo& mode = res->modes[i];
                if (mode.id == crtc->mode && mode.hTotal && mode.vTotal)
                    rate = double(mode.dotClock) / (double(mode.hTotal) * double(mode.vTotal));
            }
            XRRFreeCrtcInfo(crtc);
        }
    }
    if (out) XRRFreeOutputInfo(out);
    return rate;
}

}  // namespace

std::vector<MonitorInfo> QueryMonitors(::Display* d) {
    std::vector<MonitorInfo> list;
    const ::Window root = DefaultRootWindow(d);
    int opcode = 0, event = 0, error = 0, major = 0, minor = 0;
    // Asked through Xlib first: libXrandr keeps a record of a display without RandR.
    if (XQueryExtension(d, "RANDR", &opcode, &event, &error) && XRRQueryExtension(d, &event, &error) &&
        XRRQueryVersion(d, &major, &minor) && (major > 1 || (major == 1 && minor >= 5))) {
        int n = 0;
        XRRMonitorInfo* monitors = XRRGetMonitors(d, root, True, &n);
        XRRScreenResources* res = n > 0 ? XRRGetScreenResourcesCurrent(d, root) : nullptr;
        for (int i = 0; i < n; ++i) {
            MonitorInfo m;
            m.frame = {double(monitors[i].x), double(monitors[i].y), double(monitors[i].width),
                       double(monitors[i].height)};
            m.primary = monitors[i].primary;
            if (monitors[i].noutput > 0) m.refreshRate = RefreshOf(d, res, monitors[i].outputs[0]);
            list.push_back(m);
        }
        if (res) XRRFreeScreenResources(res);
        if (monitors) XRRFreeMonitors(monitors);
        if (!list.empty()) return list;
    }
    if (XineramaQueryExtension(d, &event, &error) && XineramaIsActive(d)) {
        int n = 0;
        XineramaScreenInfo* heads = XineramaQueryScreens(d, &n);
        for (int i = 0; i < n; ++i)
            list.push_back({{double(heads[i].x_org), double(heads[i].y_org), double(heads[i].width),
                             double(heads[i].height)},
                            i == 0,
                            0});
        if (heads) XFree(heads);
        if (!list.empty()) return list;
    }
    const int s = DefaultScreen(d);
    list.push_back({{0, 0, double(DisplayWidth(d, s)), double(DisplayHeight(d, s))}, true, 0});
    return list;
}

}  // namespace plat::x11
