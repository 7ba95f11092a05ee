#include "Orbilume/CSources/Midi/CMidiInPort.h"

#include "Orbilume/CSources/Midi/CMidiClient.h"
#include "Orbilume/CSources/Midi/MidiSourceName.h"

std::unique_ptr<CMidiInPort> CMidiInPort::Create(const std::string& name) {
    return std::unique_ptr<CMidiInPort>(new CMidiInPort(CMidiClient::Get(), name));
}

CMidiInPort::CMidiInPort(CMidiClient* client, const std::string& name) : fClient(client) {
    if (fClient && fClient->System() && fClient->ClientRef())
        fPort = fClient->System()->CreateInputPort(fClient->ClientRef(), name, ReadProc, this);
}

CMidiInPort::~CMidiInPort() {
    if (fPort) fClient->System()->DisposePort(fPort);
}

bool CMidiInPort::IsOnline() {
    if (!fPort || !fSource) return false;
    int32_t offline = 1;
    return fClient->System()->GetOffline(fSource, offline) && offline == 0;
}

int CMidiInPort::Connect(const std::string& name, void* context, MidiInProc function) {
    Disconnect();
    if (!fPort) return kNoPort;
    plat::MidiSystem* system = fClient->System();
    const plat::MidiObjectId source = FindMidiSource(*system, name);
    if (!source) return kNoSource;
    if (!system->ConnectSource(fPort, source)) return kNoPort;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        fContext = context;
        fFunction = function;
    }
    fSource = source;
    return kConnected;
}

void CMidiInPort::Disconnect() {
    if (fPort && fSource) fClient->System()->DisconnectSource(fPort, fSource);
    fSource = 0;
}

void CMidiInPort::ReadProc(const uint8_t* list, size_t byteSize, void* context) {
    auto* self = static_cast<CMidiInPort*>(context);
    void* callbackContext;
    MidiInProc function;
    {
        std::lock_guard<std::mutex> lock(self->fMutex);
        callbackContext = self->fContext;
        function = self->fFunction;
    }
    ReadMidiPacketList(list, byteSize, callbackContext, function);
}
