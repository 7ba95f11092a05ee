// Reads arbitrary bytes as a record document, then checks that writing is a fixpoint: what was
// read, written and read again writes the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Common/Container/CBytes.h"
#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/CRecordType.h"
#include "Lib3/LSources/CoreData/XmlDocument.h"

namespace {

const SFieldDesc kItemFields[] = {
    SFieldDesc::Int(Fcc("ival"), 5),
    SFieldDesc::UInt(Fcc("uval")),
    SFieldDesc::Byte(Fcc("bval"), 1),
    SFieldDesc::Float(Fcc("fval"), 0.5f, 4),
    SFieldDesc::String(Fcc("name"), "dflt"),
    SFieldDesc::Array(Fcc("ints"), kElemInt),
    SFieldDesc::Array(Fcc("uins"), kElemUInt),
    SFieldDesc::Array(Fcc("byts"), kElemByte),
    SFieldDesc::Array(Fcc("flts"), kElemFloat, 3),
    SFieldDesc::Array(Fcc("strs"), kElemString),
    SFieldDesc::Record(Fcc("next"), Fcc("FUZZ"), Fcc("ITEM"), kFieldOptional),
};
const SFieldDesc kRootFields[] = {
    SFieldDesc::String(Fcc("i   ")),
    SFieldDesc::String(Fcc("v   ")),
    SFieldDesc::Record(Fcc("subr"), Fcc("FUZZ"), Fcc("ITEM")),
    SFieldDesc::RecordArray(Fcc("list"), Fcc("FUZZ"), Fcc("ITEM")),
    SFieldDesc::RecordArray(Fcc("anys"), Fcc("FUZZ"), Fcc("ITEM"), kFieldAnyType | kFieldOptional),
    SFieldDesc::Int(Fcc("late")),
};
CRecordType gItem(Fcc("FUZZ"), Fcc("ITEM"), kItemFields);
CRecordType gRoot(Fcc("FUZZ"), Fcc("ROOT"), kRootFields);

// Reads the bytes into a fresh root and writes it again.
void ReadWrite(const void* data, size_t size, CBytes& out) {
    CRecord* root = CRecord::New(&gRoot);
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
