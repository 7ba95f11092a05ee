// Reads arbitrary bytes as an LED dimmer document, then checks that writing is a fixpoint: what
// was read, written and read again writes the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Common/Container/CBytes.h"
#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/XmlDocument.h"
#include "Orbilume/CSources/Led/CDimTypes.h"

namespace {

void ReadWrite(const void* data, size_t size, CBytes& out) {
    CRecord* root = CRecord::New(CDimTypes::Dims());
    {
        CMemStream in(const_cast<void*>(data), static_cast<uint32_t>(size));
        (void)ReadXmlDocument(in, CRecordRef(&root));
    }
    {
        CMemStream stream(out);
        WriteXmlDocument(stream, root);
    }
    CRecord::Delete(root);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    CBytes first, second;
    ReadWrite(size ? data : reinterpret_cast<const uint8_t*>(""), size, first);
    ReadWrite(first.Data(), first.Count(), second);
    if (first.Count() != second.Count() || std::memcmp(first.Data(), second.Data(), first.Count()) != 0)
        std::abort();
    return 0;
}
