#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "Platform/Foundation/Object.h"

namespace plat {

class FdSource;

// Reports changes of the network interfaces (links going up or down, addresses added or removed)
// on the run loop of the thread that created it: a burst of kernel messages read at once gives one
// call. Owned by its creator (std::unique_ptr) and destroyed on that thread.
class InterfaceMonitor {
public:
    using Callback = void (*)(void* info);

    // Null when the kernel refuses the rtnetlink socket.
    static std::unique_ptr<InterfaceMonitor> Create(Callback callback, void* info);
    ~InterfaceMonitor();
    InterfaceMonitor(const InterfaceMonitor&) = delete;
    InterfaceMonitor& operator=(const InterfaceMonitor&) = delete;

    // Where a burst's messages come from: fills buffer, returns its length, 0 when nothing more is
    // waiting, negative on error. The default reads the socket without blocking.
    using Reader = ptrdiff_t (*)(void* context, uint8_t* buffer, size_t size);
    // Test seam: reads one burst through reader instead of the socket; true when the callback ran.
    bool ReadBurstFrom(Reader reader, void* context);

private:
    InterfaceMonitor(int fd, Callback callback, void* info);
    static void Readable(FdSource* source, int fd, uint32_t ready, void* self);
    static ptrdiff_t ReadSocket(void* self, uint8_t* buffer, size_t size);

    int fFd;
    Callback fCallback;
    void* fInfo;
    Ref<FdSource> fSource;  // on the creating thread's run loop
};

}  // namespace plat
