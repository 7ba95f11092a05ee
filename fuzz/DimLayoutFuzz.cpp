// The dimmer document's strict layout reader. The first byte d wraps the rest in d extra nested
// elements inside a layout root (0: the rest as it is), so inputs reach both sides of the depth
// limit: a text nesting deeper than the limit is never read, a tree that is read writes a layout
// the reader takes again and writes the same way.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Common/Container/CBytes.h"
#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/XmlDocument.h"
#include "Orbilume/CSources/Led/CDimInstruments.h"

namespace {

std::string Written(CRecord* root) {
    CBytes bytes;
    {
        CMemStream out(bytes);
        WriteXmlDocument(out, root);
    }
    return std::string(reinterpret_cast<const char*>(bytes.Data()), bytes.Count());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 1 << 18) return 0;
    const uint32_t extra = data[0];
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string text;
    if (extra == 0) {
        text = rest;
    } else {
        text = "<YOBM_DIMS>";
        for (uint32_t i = 0; i < extra; ++i) text += "<YOBM_DIMS_devs>";
        text += rest;
        for (uint32_t i = 0; i < extra; ++i) text += "</YOBM_DIMS_devs>";
        text += "</YOBM_DIMS>";
    }

    CRecord* tree = reinterpret_cast<CRecord*>(uintptr_t(1));
    uint32_t line = 0;
    const char* reason = CDimInstruments::ReadLayout(text, tree, line);
    if (reason) {
        if (tree) std::abort();  // a refused text leaves no tree
        return 0;
    }
    if (!tree) std::abort();
    // The root and the wrapping elements already nest extra + 1 deep.
    if (extra + 1 > CDimInstruments::kMaxElementDepth) std::abort();

    const std::string first = Written(tree);
    CRecord::Delete(tree);
    CRecord* again = nullptr;
    if (CDimInstruments::ReadLayout(first, again, line) || !again) std::abort();
    const std::string second = Written(again);
    CRecord::Delete(again);
    if (first != second) std::abort();
    return 0;
}
