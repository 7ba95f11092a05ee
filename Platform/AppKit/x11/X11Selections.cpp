#include "Platform/AppKit/x11/X11Selections.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <poll.h>

#include <algorithm>
#include <cstring>

#include "Platform/AppKit/x11/X11ErrorTrap.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/TextEncoding.h"

namespace plat::x11 {

// One INCR transfer to another program: chunks go out as it deletes the property.
struct X11Selections::Outgoing {
    ::Window requestor;
    ::Atom property;
    ::Atom type;
    int format;
    std::vector<uint8_t> data;
    size_t sent = 0;
    double deadline = 0;
};

namespace {

constexpr const char* kTextTargets[] = {"UTF8_STRING", "text/plain;charset=utf-8", "STRING", "TEXT"};

bool IsTextTarget(const std::string& name) {
    for (const char* t : kTextTargets)
        if (name == t) return true;
    return name == "text/plain";
}

// Targets that describe the selection rather than hold a type of its data.
bool IsMetaTarget(const std::string& name) {
    return name == "TARGETS" || name == "TIMESTAMP" || name == "MULTIPLE" || name == "SAVE_TARGETS" ||
           name == "DELETE" || name == "INSERT_SELECTION" || name == "INSERT_PROPERTY" ||
           name == "COMPOUND_TEXT" || name.empty();
}

}  // namespace

std::vector<std::string> ParseUriList(const std::string& text) {
    std::vector<std::string> urls;
    size_t pos = 0;
    while (pos < text.size() && urls.size() < 100000) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        urls.push_back(line);
    }
    return urls;
}

std::string Utf8ToLatin1(const std::string& utf8) {
    std::string out;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(utf8.data());
    const uint8_t* end = p + utf8.size();
    while (p < end) {
        uint32_t c = 0;
        const uint8_t b = *p;
        size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
        if (size_t(end - p) < n) n = 1;
        if (n == 1)
            c = b < 0x80 ? b : '?';
        else {
            c = b & (0x7f >> n);
            for (size_t i = 1; i < n; ++i) c = (c << 6) | (p[i] & 0x3f);
        }
        out.push_back(c <= 0xff ? char(c) : '?');
        p += n;
    }
    return out;
}

std::string Latin1ToUtf8(const std::string& latin1) {
    std::string out;
    for (unsigned char c : latin1) {
        if (c < 0x80) {
            out.push_back(char(c));
        } else {
            out.push_back(char(0xc0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3f)));
        }
    }
    return out;
}

X11Selections::X11Selections(::Display* display) : fDisplay(display) {
    XSetWindowAttributes attrs = {};
    attrs.event_mask = PropertyChangeMask;
    fWindow = XCreateWindow(fDisplay, DefaultRootWindow(fDisplay), -10, -10, 1, 1, 0, 0, InputOnly,
                            CopyFromParent, CWEventMask, &attrs);
    fClipboard.atom = Intern("CLIPBOARD");
    fClipboard.pasteboard = Pasteboard::General();
    fPrimary.atom = XA_PRIMARY;
    fPrimary.pasteboard = Pasteboard::Selection();
    int error = 0;
    if (!XFixesQueryExtension(fDisplay, &fFixesEvent, &error)) {
        fFixesEvent = -1;
        std::fprintf(stderr,
                     "orbilume: the X server has no XFixes; other programs' clipboard is read on paste\n");
    }
}

X11Selections::~X11Selections() {
    Stop();
    for (Outgoing* o : fOutgoing) delete o;
    XDestroyWindow(fDisplay, fWindow);
}

unsigned long X11Selections::Intern(const char* name) {
    return XInternAtom(fDisplay, name, False);
}

std::string X11Selections::AtomName(unsigned long atom) {
    if (!atom) return {};
    X11ErrorTrap trap(fDisplay);
    char* name = XGetAtomName(fDisplay, atom);
    std::string s = name ? name : "";
    if (name) XFree(name);
    return s;
}

void X11Selections::Start() {
    if (fStarted) return;
    fStarted = true;
    for (Side* s : {&fClipboard, &fPrimary}) {
        s->pasteboard->SetChangeHook(&Changed, this);
        if (fFixesEvent >= 0)
            XFixesSelectSelectionInput(fDisplay, fWindow, s->atom,
                                       XFixesSetSelectionOwnerNotifyMask |
                                           XFixesSelectionWindowDestroyNotifyMask |
                                           XFixesSelectionClientCloseNotifyMask);
    }
    XFlush(fDisplay);
}

void X11Selections::Stop() {
    if (!fStarted) return;
    fStarted = false;
    for (Side* s : {&fClipboard, &fPrimary}) {
        s->pasteboard->SetChangeHook(nullptr, nullptr);
        s->pasteboard->ForgetOwner(this);
    }
}

X11Selections::Side* X11Selections::SideOf(unsigned long atom) {
    if (atom == fClipboard.atom) return &fClipboard;
    if (atom == fPrimary.atom) return &fPrimary;
    return nullptr;
}

X11Selections::Side* X11Selections::SideOf(Pasteboard* pasteboard) {
    if (pasteboard == fClipboard.pasteboard) return &fClipboard;
    if (pasteboard == fPrimary.pasteboard) return &fPrimary;
    return nullptr;
}

void X11Selections::Changed(Pasteboard* pasteboard, void* self) {
    auto* me = static_cast<X11Selections*>(self);
    if (me->fMirroring) return;
    if (Side* side = me->SideOf(pasteboard)) me->Take(side);
}

// The application wrote the pasteboard: the selection is ours from the triggering event's time.
void X11Selections::Take(Side* side) {
    if (side->pasteboard->Types().empty()) {
        if (side->owned) XSetSelectionOwner(fDisplay, side->atom, None, fTime ? fTime : CurrentTime);
        side->owned = false;
        XFlush(fDisplay);
        return;
    }
    if (side->owned) return;
    const unsigned long when = fTime ? fTime : CurrentTime;
    XSetSelectionOwner(fDisplay, side->atom, fWindow, when);
    side->owned = XGetSelectionOwner(fDisplay, side->atom) == fWindow;
    side->ownedSince = when;
    side->foreignTargets.clear();
}

bool X11Selections::HandleEvent(XEvent* e) {
    switch (e->type) {
        case SelectionRequest:
            if (e->xselectionrequest.owner != fWindow) return false;
            Serve(e);
            return true;
        case SelectionClear:
            if (e->xselectionclear.window != fWindow) return false;
            if (Side* s = SideOf(e->xselectionclear.selection)) s->owned = false;
            return true;
        case PropertyNotify:
            if (e->xproperty.window == fWindow) return true;
            for (Outgoing* o : fOutgoing)
                if (o->requestor == e->xproperty.window) {
                    StepOutgoing(e);
                    return true;
                }
            return false;
        case SelectionNotify:
            if (e->xselection.requestor != fWindow) return false;
            // The TARGETS of a new owner, fetched without waiting.
            if (Side* s = SideOf(e->xselection.selection);
                s && s->targetsPending && e->xselection.target == Intern("TARGETS")) {
                s->targetsPending = false;
                std::vector<std::string> names;
                if (e->xselection.property != None) {
                    ::Atom type = None;
                    int format = 0;
                    unsigned long count = 0, after = 0;
                    unsigned char* data = nullptr;
                    if (XGetWindowProperty(fDisplay, fWindow, e->xselection.property, 0, 4096, True, XA_ATOM,
                                           &type, &format, &count, &after, &data) == Success &&
                        data && format == 32 && type == XA_ATOM) {
                        const long* atoms = reinterpret_cast<const long*>(data);
                        for (unsigned long i = 0; i < count; ++i) names.push_back(AtomName(atoms[i]));
                    }
                    if (data) XFree(data);
                }
                if (!s->owned) Mirror(s, names);
            }
            return true;
        default:
            break;
    }
    if (fFixesEvent >= 0 && e->type == fFixesEvent + XFixesSelectionNotify) {
        auto* n = reinterpret_cast<XFixesSelectionNotifyEvent*>(e);
        Side* s = SideOf(n->selection);
        if (!s) return true;
        if (n->owner == fWindow) return true;
        s->owned = false;
        s->foreignTargets.clear();
        if (n->owner == None) {
            ++fMirroring;
            s->pasteboard->ClearContents();
            --fMirroring;
            return true;
        }
        s->targetsPending = true;
        XConvertSelection(fDisplay, s->atom, Intern("TARGETS"), Intern("ORBILUME_TARGETS"), fWindow,
                          n->selection_timestamp);
        XFlush(fDisplay);
        return true;
    }
    return false;
}

// Another program's types become promised types of the pasteboard.
void X11Selections::Mirror(Side* side, const std::vector<std::string>& targets) {
    side->foreignTargets = targets;
    std::vector<std::string> types;
    auto add = [&types](const std::string& t) {
        if (std::find(types.begin(), types.end(), t) == types.end()) types.push_back(t);
    };
    for (const std::string& t : targets) {
        if (IsMetaTarget(t)) continue;
        if (IsTextTarget(t))
            add(Pasteboard::kTypeString);
        else if (t == "text/uri-list")
            add(Pasteboard::kTypeFileURL);
        else if (t.size() <= 256)
            add(t);
    }
    ++fMirroring;
    side->pasteboard->DeclareTypes(types, this);
    --fMirroring;
}

void X11Selections::ProvideData(Pasteboard* pasteboard, const std::string& type) {
    Side* side = SideOf(pasteboard);
    if (!side || side->owned) return;
    std::vector<uint8_t> bytes;
    std::string got;
    ++fMirroring;
    if (type == Pasteboard::kTypeString) {
        for (const char* target : {"UTF8_STRING", "text/plain;charset=utf-8", "STRING"}) {
            if (!side->foreignTargets.empty() &&
                std::find(side->foreignTargets.begin(), side->foreignTargets.end(), target) ==
                    side->foreignTargets.end())
                continue;
            if (!Read(side, Intern(target), &bytes, &got)) continue;
            if (std::strcmp(target, "STRING") == 0) {
                pasteboard->SetString(type, Latin1ToUtf8(std::string(
                                                reinterpret_cast<const char*>(bytes.data()), bytes.size())));
            } else {
                pasteboard->SetData(type, std::move(bytes));  // UTF-8 as it came
            }
            break;
        }
    } else if (type == Pasteboard::kTypeFileURL) {
        if (Read(side, Intern("text/uri-list"), &bytes, &got)) {
            std::vector<PasteboardElement> elements;
            for (const std::string& url : ParseUriList(std::string(bytes.begin(), bytes.end())))
                elements.push_back(
                    {PasteboardElement::Kind::kString, std::vector<uint8_t>(url.begin(), url.end())});
            pasteboard->SetArray(type, std::move(elements));
        }
    } else if (Read(side, Intern(type.c_str()), &bytes, &got)) {
        pasteboard->SetData(type, std::move(bytes));
    }
    --fMirroring;
    if (fAfterWait) fAfterWait(fAfterWaitContext);
}

// Waits for an event of the type about the window (and the atom: property or selection).
bool X11Selections::WaitFor(int type, unsigned long window, unsigned long atom, double until, XEvent* out) {
    struct Match {
        int type;
        unsigned long window, atom;
    } match{type, window, atom};
    auto predicate = [](::Display*, XEvent* e, XPointer arg) -> Bool {
        auto* m = reinterpret_cast<Match*>(arg);
        if (e->type != m->type) return False;
        if (e->type == SelectionNotify) return e->xselection.requestor == m->window;
        if (e->type == PropertyNotify)
            return e->xproperty.window == m->window && e->xproperty.atom == m->atom &&
                   e->xproperty.state == PropertyNewValue;
        return False;
    };
    for (;;) {
        if (type == PropertyNotify) {
            // Our own deletions notify too: taken off the queue here, or it grows by one a chunk.
            while (XCheckTypedWindowEvent(fDisplay, window, PropertyNotify, out))
                if (predicate(fDisplay, out, reinterpret_cast<XPointer>(&match))) return true;
        } else if (XCheckIfEvent(fDisplay, out, predicate, reinterpret_cast<XPointer>(&match))) {
            return true;
        }
        const double left = until - ClockNow();
        if (left <= 0) return false;
        pollfd p{ConnectionNumber(fDisplay), POLLIN, 0};
        poll(&p, 1, int(std::min(left, 0.02) * 1000) + 1);
        if (p.revents & (POLLHUP | POLLERR)) return false;
        if (XEventsQueued(fDisplay, QueuedAfterReading) < 0) return false;
    }
}

bool X11Selections::ReadSelection(unsigned long selection, unsigned long target, unsigned long time,
                                  std::vector<uint8_t>* out) {
    Side side;
    side.atom = selection;
    const unsigned long saved = fTime;
    if (time) fTime = time;
    std::string got;
    const bool ok = Read(&side, target, out, &got);
    fTime = saved;
    if (fAfterWait) fAfterWait(fAfterWaitContext);
    return ok;
}

bool X11Selections::Read(Side* side, unsigned long target, std::vector<uint8_t>* out, std::string* typeName) {
    out->clear();
    const ::Atom property = Intern("ORBILUME_SELECTION");
    XDeleteProperty(fDisplay, fWindow, property);
    XConvertSelection(fDisplay, side->atom, target, property, fWindow, fTime ? fTime : CurrentTime);
    XFlush(fDisplay);
    XEvent e;
    if (!WaitFor(SelectionNotify, fWindow, 0, ClockNow() + kChunkTimeout, &e)) return false;
    if (e.xselection.property == None) return false;
    // Changes of the property before the answer (the owner writing it) are no chunks.
    XEvent stale;
    while (XCheckTypedWindowEvent(fDisplay, fWindow, PropertyNotify, &stale)) {
    }
    ::Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(fDisplay, fWindow, property, 0, long(kMaxTransfer / 4), True, AnyPropertyType,
                           &type, &format, &count, &after, &data) != Success)
        return false;
    auto bytesOf = [](int fmt, unsigned long n) { return fmt == 8 ? n : fmt == 16 ? n * 2 : n * 4; };
    if (type == Intern("INCR")) {
        // Its value is a lower bound of the size (often left out).
        size_t bound = 0;
        if (data && format == 32 && count == 1)
            bound = std::min(size_t(*reinterpret_cast<unsigned long*>(data)), kMaxTransfer);
        if (data) XFree(data);
        // Chunks arrive as new values of the property; an empty one ends the transfer. With a size
        // given they go straight into the bytes, each freed at once (its memory serves the next);
        // without, they are kept as Xlib gave them and joined once at the end.
        struct Chunk {
            unsigned char* data;
            size_t size;
        };
        std::vector<Chunk> chunks;
        size_t total = 0;
        auto release = [&chunks] {
            for (const Chunk& c : chunks) XFree(c.data);
            chunks.clear();
        };
        if (bound) out->reserve(bound);
        for (;;) {
            if (!WaitFor(PropertyNotify, fWindow, property, ClockNow() + kChunkTimeout, &e)) {
                release();
                out->clear();
                return false;
            }
            data = nullptr;
            if (XGetWindowProperty(fDisplay, fWindow, property, 0, long(kMaxTransfer / 4), True,
                                   AnyPropertyType, &type, &format, &count, &after, &data) != Success) {
                release();
                out->clear();
                return false;
            }
            if (type == None) {  // not written yet
                if (data) XFree(data);
                continue;
            }
            if (format != 8 && format != 16 && format != 32) count = 0;
            if (!data || count == 0) {
                if (data) XFree(data);
                break;
            }
            // Format-32 items are longs in Xlib's copy.
            const size_t n = format == 32 ? count * sizeof(long) : bytesOf(format, count);
            if (total + n > kMaxTransfer) {
                XFree(data);
                release();
                out->clear();
                return false;
            }
            if (bound) {
                out->insert(out->end(), data, data + n);
                XFree(data);
            } else {
                chunks.push_back({data, n});
            }
            total += n;
        }
        if (!bound) {
            out->reserve(total);
            for (const Chunk& c : chunks) out->insert(out->end(), c.data, c.data + c.size);
            release();
        }
    } else {
        if (!data || (format != 8 && format != 16 && format != 32) || after > 0) {
            if (data) XFree(data);
            return false;
        }
        const size_t n = format == 32 ? count * sizeof(long) : bytesOf(format, count);
        out->assign(data, data + n);
        XFree(data);
    }
    if (typeName) *typeName = AtomName(type);
    return true;
}

void X11Selections::Serve(XEvent* request) {
    const XSelectionRequestEvent& r = request->xselectionrequest;
    // Transfers whose requestor stopped taking chunks (or vanished) are abandoned.
    const double now = ClockNow();
    for (auto it = fOutgoing.begin(); it != fOutgoing.end();) {
        if ((*it)->deadline >= now) {
            ++it;
            continue;
        }
        X11ErrorTrap trap(fDisplay);
        XSelectInput(fDisplay, (*it)->requestor, NoEventMask);
        (void)trap.Failed();
        delete *it;
        it = fOutgoing.erase(it);
    }
    XEvent reply = {};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = r.requestor;
    reply.xselection.selection = r.selection;
    reply.xselection.target = r.target;
    reply.xselection.time = r.time;
    reply.xselection.property = None;
    Side* side = SideOf(r.selection);
    // Old clients name no property: the target's name is the property.
    const ::Atom property = r.property != None ? r.property : r.target;
    if (side && side->owned) {
        X11ErrorTrap trap(fDisplay);
        if (r.target == Intern("MULTIPLE")) {
            ::Atom type = None;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(fDisplay, r.requestor, property, 0, 1024, False, AnyPropertyType, &type,
                                   &format, &count, &after, &data) == Success &&
                data && format == 32) {
                long* pairs = reinterpret_cast<long*>(data);
                for (unsigned long i = 0; i + 1 < count; i += 2)
                    if (!Answer(side, r.requestor, pairs[i], pairs[i + 1])) pairs[i + 1] = None;
                XChangeProperty(fDisplay, r.requestor, property, type, 32, PropModeReplace, data, int(count));
                reply.xselection.property = property;
            }
            if (data) XFree(data);
        } else if (Answer(side, r.requestor, r.target, property)) {
            reply.xselection.property = property;
        }
        if (trap.Failed()) reply.xselection.property = None;  // the requestor went away
    }
    X11ErrorTrap trap(fDisplay);
    XSendEvent(fDisplay, r.requestor, False, 0, &reply);
    (void)trap.Failed();
}

bool X11Selections::Answer(Side* side, unsigned long requestor, unsigned long target,
                           unsigned long property) {
    Pasteboard* pb = side->pasteboard;
    const std::string name = AtomName(target);
    auto put = [&](::Atom type, int format, const void* bytes, size_t size) {
        const size_t chunk = size_t(XExtendedMaxRequestSize(fDisplay) ? XExtendedMaxRequestSize(fDisplay)
                                                                      : XMaxRequestSize(fDisplay)) *
                                 4 / 4 -
                             64;
        if (format == 8 && size > chunk) {
            auto* o = new Outgoing{requestor,
                                   property,
                                   type,
                                   format,
                                   std::vector<uint8_t>(static_cast<const uint8_t*>(bytes),
                                                        static_cast<const uint8_t*>(bytes) + size),
                                   0,
                                   ClockNow() + kChunkTimeout};
            XSelectInput(fDisplay, requestor, PropertyChangeMask);
            const long total = long(size);
            XChangeProperty(fDisplay, requestor, property, Intern("INCR"), 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(&total), 1);
            fOutgoing.push_back(o);
            return true;
        }
        const int n = format == 8 ? int(size) : format == 16 ? int(size / 2) : int(size / sizeof(long));
        XChangeProperty(fDisplay, requestor, property, type, format, PropModeReplace,
                        static_cast<const unsigned char*>(bytes), n);
        return true;
    };
    if (name == "TARGETS") {
        std::vector<long> atoms{long(Intern("TARGETS")), long(Intern("TIMESTAMP")), long(Intern("MULTIPLE"))};
        for (const std::string& t : pb->Types()) {
            if (t == Pasteboard::kTypeString) {
                for (const char* x : {"UTF8_STRING", "text/plain;charset=utf-8", "STRING"})
                    atoms.push_back(long(Intern(x)));
            } else if (t == Pasteboard::kTypeFileURL) {
                atoms.push_back(long(Intern("text/uri-list")));
            } else if (!t.empty() && t.size() <= 256) {
                atoms.push_back(long(Intern(t.c_str())));
            }
        }
        return put(XA_ATOM, 32, atoms.data(), atoms.size() * sizeof(long));
    }
    if (name == "TIMESTAMP") {
        const long when = long(side->ownedSince);
        return put(XA_INTEGER, 32, &when, sizeof when);
    }
    if (IsTextTarget(name)) {
        std::string text;
        if (!pb->StringForType(Pasteboard::kTypeString, &text)) return false;
        if (name == "STRING") {
            text = Utf8ToLatin1(text);
            return put(XA_STRING, 8, text.data(), text.size());
        }
        return put(Intern(name == "TEXT" ? "UTF8_STRING" : name.c_str()), 8, text.data(), text.size());
    }
    if (name == "text/uri-list") {
        std::vector<std::string> urls;
        if (!pb->FileURLs(&urls)) return false;
        std::string body;
        for (const std::string& u : urls) body += u + "\r\n";
        return put(target, 8, body.data(), body.size());
    }
    if (IsMetaTarget(name) || !pb->HasType(name)) return false;
    std::vector<uint8_t> bytes;
    if (!pb->DataForType(name, &bytes)) return false;
    return put(target, 8, bytes.data(), bytes.size());
}

// The requestor deleted the property: the next chunk, an empty one at the end.
void X11Selections::StepOutgoing(XEvent* e) {
    if (e->xproperty.state != PropertyDelete) return;
    for (auto it = fOutgoing.begin(); it != fOutgoing.end(); ++it) {
        Outgoing* o = *it;
        if (o->requestor != e->xproperty.window || o->property != e->xproperty.atom) continue;
        const size_t chunk = std::min<size_t>(o->data.size() - o->sent, 256 * 1024);
        X11ErrorTrap trap(fDisplay);
        XChangeProperty(fDisplay, o->requestor, o->property, o->type, o->format, PropModeReplace,
                        o->data.data() + o->sent, int(chunk));
        o->sent += chunk;
        o->deadline = ClockNow() + kChunkTimeout;
        if (trap.Failed() || chunk == 0) {
            XSelectInput(fDisplay, o->requestor, NoEventMask);
            delete o;
            fOutgoing.erase(it);
        }
        return;
    }
}

void X11Selections::HandOverAtExit() {
    const ::Atom manager = Intern("CLIPBOARD_MANAGER");
    if (!fClipboard.owned || XGetSelectionOwner(fDisplay, manager) == None) return;
    XConvertSelection(fDisplay, manager, Intern("SAVE_TARGETS"), None, fWindow, fTime ? fTime : CurrentTime);
    XFlush(fDisplay);
    // Serve the manager's requests until it answers.
    const double until = ClockNow() + 1;
    while (ClockNow() < until) {
        XEvent e;
        while (XPending(fDisplay) > 0) {
            XNextEvent(fDisplay, &e);
            if (e.type == SelectionNotify && e.xselection.selection == manager) return;
            HandleEvent(&e);
        }
        pollfd p{ConnectionNumber(fDisplay), POLLIN, 0};
        poll(&p, 1, 20);
    }
}

}  // namespace plat::x11
