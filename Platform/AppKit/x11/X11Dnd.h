#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Platform/AppKit/Dragging.h"
#include "Platform/AppKit/Pasteboard.h"

typedef struct _XDisplay Display;
union _XEvent;

namespace plat::x11 {

class X11Selections;

// Drops from other programs over XDND (version 5, from 3 on): our top-level windows are XdndAware;
// a source's Enter, Position, Leave and Drop drive a DragSession over a pasteboard of its types
// ("text/uri-list" as file URLs, UTF8_STRING and plain text as the string type), whose data is
// read from XdndSelection when the application asks. Status answers each position, Finished the
// drop. Main thread only.
class X11Dnd : public PasteboardOwner {
public:
    static constexpr long kVersion = 5;

    X11Dnd(::Display* display, X11Selections* selections);
    ~X11Dnd() override;
    X11Dnd(const X11Dnd&) = delete;
    X11Dnd& operator=(const X11Dnd&) = delete;

    void MarkAware(unsigned long xwindow);
    // An XDND client message to one of our windows: handled (true), with scale pixels per point.
    bool HandleClientMessage(_XEvent* event, double scale);
    // The source window of the drag in progress, 0 when none.
    unsigned long Source() const { return fSource; }

    void ProvideData(Pasteboard* pasteboard, const std::string& type) override;

    // The pasteboard types for the source's targets.
    static std::vector<std::string> TypesFor(const std::vector<std::string>& targets);
    // Operations the framework may choose for a source action, and the action for an operation done.
    static uint32_t MaskForAction(const std::string& action);
    static std::string ActionFor(uint32_t operation, const std::string& sourceAction);

private:
    void Enter(const _XEvent& e);
    void Position(const _XEvent& e, double scale);
    void Drop(const _XEvent& e);
    void End();
    void Send(unsigned long to, const char* type, long l1, long l2, long l3, long l4);
    unsigned long Intern(const char* name);
    std::string AtomName(unsigned long atom);

    ::Display* fDisplay;
    X11Selections* fSelections;
    unsigned long fSource = 0;
    unsigned long fTarget = 0;
    long fVersion = 0;
    std::vector<std::string> fTargets;
    std::string fAction;
    unsigned long fTime = 0;
    Ref<Pasteboard> fPasteboard;
    std::unique_ptr<DragSession> fSession;
};

}  // namespace plat::x11
