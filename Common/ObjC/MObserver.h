#pragma once

#include "Platform/Foundation/Object.h"

// A trampoline from notifications of the default notification centre to a plain function: each one
// it observes reaches callback(ref, name, object). It stops observing when it goes. Main thread only.
class MObserver final : public plat::Object {
public:
    using Callback = void (*)(void* ref, const char* name, const void* object);

    static plat::Ref<MObserver> Create(void* ref, Callback callback);

    // Observes the named notification (null: every name) from the object (null: any object).
    void Observe(const char* name, const void* object);
    // Removes every registration.
    void StopObserving();
    // Calls the callback with the notification.
    void Notify(const char* name, const void* object);

private:
    MObserver(void* ref, Callback callback) : fRef(ref), fCallback(callback) {}
    ~MObserver() override;
    static void Trampoline(const char* name, const void* object, void* self);

    void* fRef;
    Callback fCallback;
};
