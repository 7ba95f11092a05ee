// Compositions from outside through the engine's wrapper: every reader over every port key and a
// few keys the file does not have; attributes of any type must read as absent, not crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "Lib3/LSources/CoreData/CStrArray.h"
#include "Orbilume/CSources/QCx/MQcComposition_.h"
#include "Orbilume/CSources/QCx/PickLocalText.h"
#include "Platform/Composer/Composition.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PickLocalText(data, static_cast<uint32_t>(size > 4096 ? 4096 : size));
    plat::Ref<plat::Composition> composition = plat::Composition::CreateFromData(data, size);
    if (!composition) return 0;
    MQcComposition_* c = MQcComposition_::FromComposition(composition.get());
    composition = nullptr;

    CStrArray keys;
    MQcComposition_::InputKeys(c, keys);
    MQcComposition_::OutputKeys(c, keys);
    keys.Append(LString("Nope"));
    keys.Append(LString("_protocolInput_AudioPeak"));
    for (uint32_t i = 0; i < keys.Count(); ++i) {
        CQcPortDesc desc;
        const bool found = MQcComposition_::ReadPortDesc(c, keys[i], desc);
        if (found && desc.kind > 7) std::abort();
        MQcComposition_::MenuItems(c, keys[i]);
    }
    std::vector<CQcImagePort> images;
    MQcComposition_::ImageInputs(c, images);
    MQcComposition_::ImageOutputs(c, images);
    std::vector<uint32_t> protocols;
    MQcComposition_::Protocols(c, protocols);
    for (uint32_t p : protocols)
        if (p >= MQcComposition_::kProtocolCount) std::abort();
    if (MQcComposition_::Category(c) > 3) std::abort();
    MQcComposition_::DisplayName(c);
    MQcComposition_::MakerCategory(c);
    MQcComposition_::Identifier(c);
    MQcComposition_::IsStub(c);
    MQcComposition_::IsPlane(c);
    MQcComposition_::IsClear(c);
    CStrArray group;
    MQcComposition_::StringListAttribute(c, "lumetra.imageparams", group);
    c->Release();
    return 0;
}
