#include "Platform/AppKit/x11/X11Dnd.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstring>

#include "Platform/AppKit/x11/X11Selections.h"

namespace plat::x11 {

namespace {

constexpr size_t kMaxTypes = 64;

bool IsText(const std::string& t) {
    return t == "UTF8_STRING" || t == "text/plain;charset=utf-8" || t == "text/plain" || t == "STRING" ||
           t == "TEXT";
}

}  // namespace

X11Dnd::X11Dnd(::Display* display, X11Selections* selections) : fDisplay(display), fSelections(selections) {}

X11Dnd::~X11Dnd() {
    End();
}

unsigned long X11Dnd::Intern(const char* name) {
    return XInternAtom(fDisplay, name, False);
}

std::string X11Dnd::AtomName(unsigned long atom) {
    if (atom == None) return {};
    char* name = XGetAtomName(fDisplay, atom);
    if (!name) return {};
    std::string out(name);
    XFree(name);
    return out;
}

void X11Dnd::MarkAware(unsigned long xwindow) {
    const long version = kVersion;
    XChangeProperty(fDisplay, xwindow, Intern("XdndAware"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&version), 1);
}

std::vector<std::string> X11Dnd::TypesFor(const std::vector<std::string>& targets) {
    std::vector<std::string> types;
    auto add = [&types](const std::string& t) {
        if (std::find(types.begin(), types.end(), t) == types.end()) types.push_back(t);
    };
    for (const std::string& t : targets) {
        if (t.empty() || t.size() > 256) continue;
        if (t == "text/uri-list")
            add(Pasteboard::kTypeFileURL);
        else if (IsText(t))
            add(Pasteboard::kTypeString);
        else
            add(t);
    }
    return types;
}

uint32_t X11Dnd::MaskForAction(const std::string& action) {
    if (action == "XdndActionMove") return kDragOperationMove | kDragOperationCopy | kDragOperationGeneric;
    if (action == "XdndActionLink") return kDragOperationLink;
    return kDragOperationCopy | kDragOperationGeneric;
}

std::string X11Dnd::ActionFor(uint32_t operation, const std::string& sourceAction) {
    if (operation & kDragOperationMove) return "XdndActionMove";
    if (operation & kDragOperationCopy) return "XdndActionCopy";
    if (operation & kDragOperationLink) return "XdndActionLink";
    if (operation & kDragOperationGeneric) return sourceAction.empty() ? "XdndActionCopy" : sourceAction;
    return {};
}

void X11Dnd::Send(unsigned long to, const char* type, long l1, long l2, long l3, long l4) {
    XEvent e;
    std::memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.display = fDisplay;
    e.xclient.window = to;
    e.xclient.message_type = Intern(type);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(fTarget);
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    e.xclient.data.l[3] = l3;
    e.xclient.data.l[4] = l4;
    XSendEvent(fDisplay, to, False, NoEventMask, &e);
    XFlush(fDisplay);
}

bool X11Dnd::HandleClientMessage(XEvent* event, double scale) {
    if (event->type != ClientMessage || event->xclient.format != 32) return false;
    const ::Atom type = event->xclient.message_type;
    if (type == Intern("XdndEnter")) {
        Enter(*event);
    } else if (type == Intern("XdndPosition")) {
        Position(*event, scale);
    } else if (type == Intern("XdndLeave")) {
        if (fSource && ::Window(event->xclient.data.l[0]) == fSource) {
            if (fSession) fSession->Leave();
            End();
        }
    } else if (type == Intern("XdndDrop")) {
        Drop(*event);
    } else {
        return false;
    }
    return true;
}

void X11Dnd::Enter(const XEvent& e) {
    End();
    const long version = (e.xclient.data.l[1] >> 24) & 0xFF;
    if (version < 3) return;  // too old to speak with
    fSource = ::Window(e.xclient.data.l[0]);
    fTarget = e.xclient.window;
    fVersion = std::min(version, kVersion);
    fTargets.clear();
    if (e.xclient.data.l[1] & 1) {
        // More than three types: the source's XdndTypeList.
        ::Atom actual = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(fDisplay, fSource, Intern("XdndTypeList"), 0, long(kMaxTypes), False, XA_ATOM,
                               &actual, &format, &count, &after, &data) == Success &&
            data && actual == XA_ATOM && format == 32) {
            const auto* atoms = reinterpret_cast<const long*>(data);
            for (unsigned long i = 0; i < count; ++i) fTargets.push_back(AtomName(::Atom(atoms[i])));
        }
        if (data) XFree(data);
    } else {
        for (int i = 2; i <= 4; ++i)
            if (e.xclient.data.l[i]) fTargets.push_back(AtomName(::Atom(e.xclient.data.l[i])));
    }
    fPasteboard = Pasteboard::CreateUnique();
    fPasteboard->DeclareTypes(TypesFor(fTargets), this);
}

void X11Dnd::Position(const XEvent& e, double scale) {
    if (!fSource || ::Window(e.xclient.data.l[0]) != fSource || !fPasteboard) return;
    const long packed = e.xclient.data.l[2];
    const Point screen{double((packed >> 16) & 0xFFFF) / scale, double(packed & 0xFFFF) / scale};
    if (fVersion >= 1 && e.xclient.data.l[3]) fTime = static_cast<unsigned long>(e.xclient.data.l[3]);
    const std::string action = fVersion >= 2 ? AtomName(::Atom(e.xclient.data.l[4])) : "XdndActionCopy";
    if (!fSession || action != fAction) {
        // A new offer of operations: a session of its own.
        if (fSession) fSession->Leave();
        fAction = action;
        fSession = std::make_unique<DragSession>(fPasteboard.get(), MaskForAction(action), nullptr);
    }
    const uint32_t operation = fSession->MoveTo(screen);
    const std::string answer = ActionFor(operation, fAction);
    // Accepted or not, positions keep coming (no quiet rectangle).
    Send(fSource, "XdndStatus", (operation ? 1 : 0) | 2, 0, 0,
         answer.empty() ? 0 : long(Intern(answer.c_str())));
}

void X11Dnd::Drop(const XEvent& e) {
    if (!fSource || ::Window(e.xclient.data.l[0]) != fSource) return;
    if (e.xclient.data.l[2]) fTime = static_cast<unsigned long>(e.xclient.data.l[2]);
    // Held here: a nested loop of the drop (an alert) may see the next drag begin.
    const unsigned long source = fSource, target = fTarget;
    const long version = fVersion;
    const std::string offered = fAction;
    std::unique_ptr<DragSession> session = std::move(fSession);
    const uint32_t done = session ? session->Drop() : 0;
    session.reset();
    const std::string action = ActionFor(done, offered);
    if (fSource == source) End();
    if (version < 2) return;
    const unsigned long current = fTarget;
    fTarget = target;
    Send(source, "XdndFinished", version >= 5 && done ? 1 : 0,
         done && version >= 5 && !action.empty() ? long(Intern(action.c_str())) : 0, 0, 0);
    fTarget = current;
}

void X11Dnd::End() {
    fSession.reset();
    if (fPasteboard) fPasteboard->ForgetOwner(this);
    fPasteboard = nullptr;
    fSource = 0;
    fTargets.clear();
    fAction.clear();
}

void X11Dnd::ProvideData(Pasteboard* pasteboard, const std::string& type) {
    if (!fSource || pasteboard != fPasteboard.get()) return;
    const ::Atom selection = Intern("XdndSelection");
    auto offered = [this](const char* t) { return std::find(fTargets.begin(), fTargets.end(), t) != fTargets.end(); };
    std::vector<uint8_t> bytes;
    if (type == Pasteboard::kTypeFileURL) {
        if (!offered("text/uri-list") ||
            !fSelections->ReadSelection(selection, Intern("text/uri-list"), fTime, &bytes))
            return;
        std::vector<PasteboardElement> elements;
        for (const std::string& url : ParseUriList(std::string(bytes.begin(), bytes.end())))
            elements.push_back({PasteboardElement::Kind::kString, std::vector<uint8_t>(url.begin(), url.end())});
        pasteboard->SetArray(type, std::move(elements));
    } else if (type == Pasteboard::kTypeString) {
        for (const char* t : {"UTF8_STRING", "text/plain;charset=utf-8", "text/plain", "STRING", "TEXT"}) {
            if (!offered(t) || !fSelections->ReadSelection(selection, Intern(t), fTime, &bytes)) continue;
            pasteboard->SetString(type, std::string(bytes.begin(), bytes.end()));
            return;
        }
    } else if (offered(type.c_str()) && fSelections->ReadSelection(selection, Intern(type.c_str()), fTime, &bytes)) {
        pasteboard->SetData(type, bytes.data(), bytes.size());
    }
}

}  // namespace plat::x11
