#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "Lib3/LSources/CoreData/LCallbackList.h"
#include "Platform/MIDI/MidiSystem.h"

// The application's one MIDI client: created first among the singletons, on the main thread, and
// deleted last. Get() reaches it. System notifications ("setup changed" = 1) reach its listeners on
// the main thread as function(notification, context).
class CMidiClient {
public:
    using Listener = void (*)(int32_t notification, void* context);

    // Over the system the environment chooses (plat::MakeMidiSystemFromEnvironment).
    explicit CMidiClient(const std::string& name);
    // Over a given system (tests hand in the virtual one).
    CMidiClient(const std::string& name, std::unique_ptr<plat::MidiSystem> system);
    ~CMidiClient();
    CMidiClient(const CMidiClient&) = delete;
    CMidiClient& operator=(const CMidiClient&) = delete;

    static CMidiClient* Get();

    plat::MidiSystem* System() const { return fSystem.get(); }
    // 0 when the system refused the client.
    plat::MidiObjectId ClientRef() const { return fClient; }

    // No pair twice; main thread.
    bool AddListener(void* context, Listener function) { return fListeners.Add(context, function); }
    bool RemoveListener(void* context, Listener function) { return fListeners.Remove(context, function); }

private:
    static void NotifyProc(int32_t notification, void* context);

    std::unique_ptr<plat::MidiSystem> fSystem;
    plat::MidiObjectId fClient = 0;
    LCallbackList fListeners;
};
