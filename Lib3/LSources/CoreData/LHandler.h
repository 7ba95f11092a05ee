#pragma once

#include <cstring>

// Message ids are texts made of a class name, an underscore and an event name ("LWindow_Close").
// An LMsgId wraps a pointer to such a text and compares by text, never by address; a null id
// equals the empty text. Declare an id once, at namespace scope in the owning class's header:
//     L_MESSAGE_ID(LTimer_Expire);   // defines LTimer_Expire, whose text is "LTimer_Expire"
class LMsgId {
public:
    constexpr LMsgId() = default;
    constexpr LMsgId(const char* text) : fText(text) {}  // NOLINT: literals are ids

    // The id text; never null.
    const char* Text() const { return fText ? fText : ""; }

    friend bool operator==(LMsgId a, LMsgId b) {
        const char* x = a.Text();
        const char* y = b.Text();
        return x == y || std::strcmp(x, y) == 0;
    }

private:
    const char* fText = nullptr;
};

// clang-format off
#define L_MESSAGE_ID(name) inline constexpr LMsgId name{#name}
// clang-format on

class LHandler;

// Three words passed up a handler chain. The sender also carries the payload: the receiver knows
// from the id what the sender is. A record whose words are all zero is empty (consumed).
struct LMessage {
    LMsgId id;
    LHandler* sender = nullptr;
    LHandler* target = nullptr;

    constexpr LMessage() = default;
    constexpr LMessage(LMsgId i, LHandler* s, LHandler* t) : id(i), sender(s), target(t) {}

    bool Is(LMsgId other) const { return id == other; }
    bool IsEmpty() const { return !sender && !target && !id.Text()[0]; }
    LMessage Retarget(LHandler* newTarget) const { return LMessage(id, sender, newTarget); }
    void Clear() { *this = LMessage(); }
};

// Sent by every handler as it is destroyed (sender the dying handler, target its upper handler):
// handlers that keep pointers to other handlers drop the sender.
L_MESSAGE_ID(LHandler_Destructing);

// Base of every object that takes part in message routing. Each handler has one upper handler;
// a message climbs the chain of upper handlers and, unconsumed, comes back to its sender.
class LHandler {
public:
    explicit LHandler(LHandler* upper = nullptr) : fUpper(upper) {}
    virtual ~LHandler();
    LHandler(const LHandler&) = delete;
    LHandler& operator=(const LHandler&) = delete;

    LHandler* Upper() const { return fUpper; }
    void SetUpper(LHandler* upper) { fUpper = upper; }

    // Answers a message with the next one to deliver: the same message retargeted (forwarded), an
    // empty message (consumed), or a new message {id, this, target} that starts a walk of its own.
    // The default forwards to the upper handler, or back to the sender at the top of the chain.
    // Overrides handle the ids they know and call the base for the rest.
    virtual LMessage Handle(const LMessage& msg);

    // Delivers a message synchronously along its chain; a message without a sender goes nowhere.
    static void Dispatch(const LMessage& msg);

    // Sends a message from this handler to its upper handler.
    void Send(LMsgId id) { Dispatch(LMessage(id, this, fUpper)); }

    // Deletes the handler once the outermost Dispatch running on this thread has returned, so that a
    // message still on its way to or from it finds it alive; at once outside any Dispatch.
    static void DeleteAfterDispatch(LHandler* handler);
    // A Dispatch runs on this thread.
    static bool InDispatch();

    // True when the candidate is the top itself or is met walking upper links from start
    // (inclusive) before reaching the top or the end of the chain.
    static bool IsBetween(const LHandler* top, const LHandler* start, const LHandler* candidate);

private:
    LHandler* fUpper;
};

// Tells whether a handler was destroyed while the watch lived (a nested loop may run timers that
// delete it). Watches belong to the thread that made them and see handlers destroyed on it.
class LHandlerWatch {
public:
    explicit LHandlerWatch(LHandler* handler);
    ~LHandlerWatch();
    LHandlerWatch(const LHandlerWatch&) = delete;
    LHandlerWatch& operator=(const LHandlerWatch&) = delete;

    // The handler, null once it is gone.
    LHandler* Get() const { return fHandler; }
    bool IsGone() const { return fHandler == nullptr; }

private:
    friend class LHandler;
    static void Forget(const LHandler* handler);

    LHandler* fHandler;
    LHandlerWatch* fNext = nullptr;
};
