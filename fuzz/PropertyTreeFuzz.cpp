// Property-tree text: parse, copy and query whatever comes in.
#include <cstddef>
#include <cstdint>

#include "Common/String/PropertyTree.h"
#include "Lib3/LSources/CoreString/LCharIn.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    LCStrCharIn in(data, static_cast<uint32_t>(size));
    PropertyTreeObject root;
    (void)PropertyTreeReader::Parse(in, root);
    PropertyTreeObject copy(root);
    if (PropertyTreeMember* m = copy.FindMember("a")) {
        m->ObjectAt(0);
        (void)m->Value().Length();
    }
    return 0;
}
