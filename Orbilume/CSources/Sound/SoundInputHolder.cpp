#include "Orbilume/CSources/Sound/SoundInputHolder.h"

SoundInputHolder::SoundInputHolder(LAsyncLoop* loop, plat::AudioSystem* system)
    : fLoop(loop), fSystem(system) {}

SoundInputHolder::~SoundInputHolder() {
    Close();
}

int SoundInputHolder::Open(const SoundInputSpec& spec, const SoundFormat& format) {
    if (fInput) return 0;
    auto input = std::make_unique<SoundInput>(fLoop, fSystem);
    int err = input->Open(spec, format);
    if (err != 0) return err;
    fInput = std::move(input);
    return 0;
}

void SoundInputHolder::Close() {
    if (!fInput) return;
    fInput->Stop();
    fInput->Close();
    fInput.reset();
}

void SoundInputHolder::Start() {
    if (fInput) fInput->Start();
}

void SoundInputHolder::Stop() {
    if (fInput) fInput->Stop();
}

void SoundInputHolder::SetConsumer(void* context, SoundInput::Consumer consumer) {
    if (fInput) fInput->SetConsumer(context, consumer);
}

void SoundInputHolder::SetVolume(uint32_t percent) {
    if (fInput) fInput->SetVolume(percent);
}

uint32_t SoundInputHolder::GetVolume() {
    return fInput ? fInput->GetVolume() : 0;
}

void SoundInputHolder::SetThru(bool on) {
    if (fInput) fInput->SetThru(on);
}
