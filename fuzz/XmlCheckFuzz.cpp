// Checks arbitrary bytes for well-formedness; a text that passes must name its root.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "Common/Stream/CXmlCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const SXmlCheck check = CheckXmlWellFormed(data, size);
    if (check.ok && check.rootName.empty()) std::abort();
    if (!check.ok && check.line == 0) std::abort();
    return 0;
}
