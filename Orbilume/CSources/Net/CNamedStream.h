#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "Orbilume/CSources/Net/CFramedStream.h"

// A Unix-domain stream socket named in a folder the user alone can write (the multiplexer's
// folder). Only peers of the same user are accepted, on both ends (SO_PEERCRED). Non-blocking;
// readiness comes from CFdWatcher as callback(context, 0 readable / 1 writable), one-shot.
class CNamedStream : public CStreamIO {
public:
    using Callback = void (*)(void* context, int event);
    enum : int { kIdle = 0, kConnecting = 1, kConnected = 2 };
    enum : int { kOk = 0, kFailed = 1, kInProgress = 2 };

    CNamedStream(void* context, Callback callback);
    ~CNamedStream() override;
    CNamedStream(const CNamedStream&) = delete;
    CNamedStream& operator=(const CNamedStream&) = delete;

    int State() const { return fState; }
    bool IsOpen() const { return fFd >= 0; }
    // Binds and listens on folder/name, replacing a stale socket file. kOk or kFailed.
    [[nodiscard]] int Listen(const std::string& folder, const char* name);
    // A pending connection of the same user as a new connected stream (its readiness to the given
    // callback); null when none waits. Peers of other users are closed and counted.
    CNamedStream* Accept(void* context, Callback callback);
    // kOk, kInProgress (writability completes it) or kFailed. A server of another user fails.
    [[nodiscard]] int Connect(const std::string& folder, const char* name);
    void Close();

    int32_t Send(const void* data, uint32_t count) override;
    int32_t Recv(void* buffer, uint32_t size) override;

    uint32_t RefusedPeers() const { return fRefused; }
    int Fd() const { return fFd; }

    // The folder of the multiplexer's socket: $XDG_RUNTIME_DIR, else a folder of the user's own
    // under /tmp made with mode 0700. Empty when none is safe.
    static std::string DefaultFolder();
    // True when the peer of a connected socket runs as this process's user.
    static bool PeerIsSameUser(int fd);

private:
    static void Ready(void* self, int kind);
    void Adopt(int fd);

    void* fContext;
    Callback fCallback;
    int fFd = -1;
    int fState = kIdle;
    bool fListening = false;
    std::string fPath;  // unlinked at Close when this stream made it
    uint32_t fRefused = 0;
};
