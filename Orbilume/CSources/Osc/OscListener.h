#pragma once

#include <cstdint>

class OscPattern;
struct OscArg;

// Receives every OSC message but "/ping", synchronously on the main thread: the address compiled as a
// pattern (ask it IsMatch with the listener's own address) and the arguments, which point into the
// datagram and are valid only during the call. The control-input hub implements it.
class OscListener {
public:
    virtual ~OscListener() = default;
    virtual void NotifyOsc(OscPattern& pattern, const OscArg* args, uint32_t count) = 0;
};
