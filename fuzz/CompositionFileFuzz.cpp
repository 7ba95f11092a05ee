// Composition files from outside: property-list reading (XML and binary), the round trip through
// the writer, and the composition and graph checks on whatever list comes out.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "Platform/Composer/Composition.h"
#include "Platform/Foundation/PropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    plat::Value root;
    if (!plat::ReadPropertyList(data, size, root)) return 0;

    for (plat::PropertyListFormat format :
         {plat::PropertyListFormat::Xml, plat::PropertyListFormat::Binary}) {
        plat::ByteArray bytes;
        if (!plat::WritePropertyList(root, format, bytes)) continue;
        plat::Value back;
        // What we wrote must read back the same.
        if (!plat::ReadPropertyList(bytes.data(), bytes.size(), back) || !(back == root)) std::abort();
    }

    if (plat::Ref<plat::Composition> c = plat::Composition::CreateFromPropertyList(root)) {
        for (const std::string& key : c->InputKeys())
            if (!c->PortAttributes(key)) std::abort();
    }
    return 0;
}
