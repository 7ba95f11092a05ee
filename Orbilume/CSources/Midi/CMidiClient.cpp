#include "Orbilume/CSources/Midi/CMidiClient.h"

#include "Platform/Foundation/Check.h"

namespace {

CMidiClient* gClient = nullptr;

}  // namespace

CMidiClient::CMidiClient(const std::string& name)
    : CMidiClient(name, plat::MakeMidiSystemFromEnvironment(name)) {}

CMidiClient::CMidiClient(const std::string& name, std::unique_ptr<plat::MidiSystem> system)
    : fSystem(std::move(system)) {
    if (fSystem) fClient = fSystem->CreateClient(name, NotifyProc, this);
    if (!gClient) gClient = this;
}

CMidiClient::~CMidiClient() {
    if (fSystem && fClient) fSystem->DisposeClient(fClient);
    fSystem.reset();
    if (gClient == this) gClient = nullptr;
}

CMidiClient* CMidiClient::Get() {
    return gClient;
}

void CMidiClient::NotifyProc(int32_t notification, void* context) {
    auto* self = static_cast<CMidiClient*>(context);
    LCallbackList::Iterator it(self->fListeners);
    LCallbackList::Entry entry;
    while (it.Next(entry)) entry.As<void(int32_t, void*)>()(notification, entry.context);
}
