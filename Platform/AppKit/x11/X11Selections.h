#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Platform/AppKit/Pasteboard.h"

typedef struct _XDisplay Display;
union _XEvent;

namespace plat::x11 {

// The general pasteboard as CLIPBOARD and the selection pasteboard as PRIMARY, both ways. Ours: a
// change of the pasteboard takes the selection (at the last event's time) and requests are answered
// from it (TARGETS, TIMESTAMP, MULTIPLE; text as UTF8_STRING, "text/plain;charset=utf-8" and STRING;
// file URLs as "text/uri-list"; other types under an atom of their name; INCR for large data).
// Another program's: XFixes tells of the new owner, its TARGETS are fetched without waiting and
// mirrored as promised types, and data is read when the application asks for it (INCR, at most
// 256 MiB, 2 s per chunk). At exit a clipboard manager gets our clipboard. Main thread only.
class X11Selections : public PasteboardOwner {
public:
    static constexpr size_t kMaxTransfer = size_t(256) << 20;
    static constexpr double kChunkTimeout = 2.0;

    explicit X11Selections(::Display* display);
    ~X11Selections() override;
    X11Selections(const X11Selections&) = delete;
    X11Selections& operator=(const X11Selections&) = delete;

    void Start();
    void Stop();
    // Called after waiting on the connection (events for others may wait in Xlib's queue).
    void SetAfterWait(void (*function)(void*), void* context) {
        fAfterWait = function;
        fAfterWaitContext = context;
    }
    // The time of the event that may take a selection (key and button events).
    void NoteTime(unsigned long time) {
        if (time) fTime = time;
    }
    void NoteMiddleClick(unsigned long time) { NoteTime(time); }
    // The server time of the last user event.
    unsigned long Time() const { return fTime; }
    // Selection requests, clears, owner changes and INCR steps; false for other events.
    bool HandleEvent(_XEvent* event);
    // Gives the clipboard to a running clipboard manager (waits at most a second).
    void HandOverAtExit();

    // The target atoms names another program's selection offered last (the cached list).
    const std::vector<std::string>& ForeignTargets(bool clipboard) const {
        return clipboard ? fClipboard.foreignTargets : fPrimary.foreignTargets;
    }
    bool Owns(bool clipboard) const { return clipboard ? fClipboard.owned : fPrimary.owned; }
    unsigned long OwnerWindow() const { return fWindow; }

    // Reads a target of any selection another program owns (XDND's), at the event time given.
    bool ReadSelection(unsigned long selection, unsigned long target, unsigned long time, std::vector<uint8_t>* out);

    // PasteboardOwner: promised data of another program's selection.
    void ProvideData(Pasteboard* pasteboard, const std::string& type) override;

    struct Side {
        unsigned long atom = 0;
        Pasteboard* pasteboard = nullptr;
        bool owned = false;
        unsigned long ownedSince = 0;
        std::vector<std::string> foreignTargets;
        bool targetsPending = false;
    };
    struct Outgoing;

private:
    static void Changed(Pasteboard* pasteboard, void* self);
    Side* SideOf(unsigned long atom);
    Side* SideOf(Pasteboard* pasteboard);
    void Take(Side* side);
    void Serve(_XEvent* request);
    bool Answer(Side* side, unsigned long requestor, unsigned long target, unsigned long property);
    void Mirror(Side* side, const std::vector<std::string>& targets);
    // Reads a target of a selection another program owns into bytes; false on failure.
    bool Read(Side* side, unsigned long target, std::vector<uint8_t>* out, std::string* typeName);
    bool WaitFor(int type, unsigned long window, unsigned long atom, double until, _XEvent* out);
    void StepOutgoing(_XEvent* event);
    unsigned long Intern(const char* name);
    std::string AtomName(unsigned long atom);

    ::Display* fDisplay;
    unsigned long fWindow = 0;
    unsigned long fTime = 0;
    int fFixesEvent = -1;
    Side fClipboard;
    Side fPrimary;
    uint32_t fMirroring = 0;
    bool fStarted = false;
    std::vector<Outgoing*> fOutgoing;
    void (*fAfterWait)(void*) = nullptr;
    void* fAfterWaitContext = nullptr;
};

// The URLs of a "text/uri-list" body (comments and blank lines dropped).
std::vector<std::string> ParseUriList(const std::string& text);
// UTF-8 <-> Latin-1 (STRING); characters outside Latin-1 become '?'.
std::string Utf8ToLatin1(const std::string& utf8);
std::string Latin1ToUtf8(const std::string& latin1);

}  // namespace plat::x11
