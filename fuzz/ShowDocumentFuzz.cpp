// Reads arbitrary bytes as a show document: the type hooks, the edited-sequence rule and the
// unit-id allocation all run over whatever the file holds, and what was read writes and reads again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Common/Container/CBytes.h"
#include "Common/Stream/CMemStream.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "Orbilume/CSources/Document/UDocUnits.h"

namespace {

std::string Written(const CDocModelHolder& h) {
    CBytes bytes;
    {
        CMemStream out(bytes);
        h.WriteXml(out);
    }
    return std::string(reinterpret_cast<const char*>(bytes.Data()), bytes.Count());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 18) return 0;
    std::string input(reinterpret_cast<const char*>(data), size);
    CDocModelHolder h;
    CMemStream in(input.data(), static_cast<uint32_t>(input.size()));
    if (!h.ReadXml(in)) return 0;
    const uint32_t id = UDocUnits::NewUnitId(h.Mix());
    if (id > CDocModelTypes::kMaxUnitId) std::abort();
    CRecordRef scns = h.Scenes();
    UDocScenes::SetSequenceEditing(scns, true);
    if (scns->ArrayCount(CDocModelTypes::kScnsSequences))
        scns.DeleteElement(nullptr, CDocModelTypes::kScnsSequences, 0);

    std::string first = Written(h);
    CDocModelHolder again;
    CMemStream in2(first.data(), static_cast<uint32_t>(first.size()));
    if (!again.ReadXml(in2) || Written(again) != first) std::abort();
    return 0;
}
