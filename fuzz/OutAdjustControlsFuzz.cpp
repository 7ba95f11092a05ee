// The output adjustment's controls description: any text loads into a bounded list of controls,
// each with finite ranges and a default text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "Orbilume/CSources/Engine/COutAdjustControls.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > COutAdjustControls::kMaxFileBytes) return 0;
    COutAdjustControls controls;
    const bool ok = controls.LoadText(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size));
    if (!ok && !controls.Controls().empty()) std::abort();
    if (controls.Controls().size() > COutAdjustControls::kMaxControls) std::abort();
    for (const auto& c : controls.Controls()) {
        if (!std::isfinite(c.min) || !std::isfinite(c.max)) std::abort();
        (void)c.defaultText.Length();
        (void)controls.Find(c.id);
    }
    return 0;
}
