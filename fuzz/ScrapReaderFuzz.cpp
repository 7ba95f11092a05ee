// Scrap images come from the pasteboard and drags, which other processes write.
#include <cstddef>
#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CScrapReader.h"

namespace {

const SFieldDesc kTinyTable[] = {
    SFieldDesc::Int(Fcc("numb")),
    SFieldDesc::String(Fcc("text")),
    SFieldDesc::Int(0, 3),
    SFieldDesc::Array(Fcc("ints"), kElemInt),
    SFieldDesc::Int(Fcc("late"), 1),
    SFieldDesc::RecordArray(Fcc("kids"), Fcc("SCRP"), Fcc("TINY"), kFieldOptional),
    SFieldDesc::Record(Fcc("optl"), Fcc("SCRP"), Fcc("TINY"), kFieldOptional),
    SFieldDesc::Float(Fcc("flot"), 0.5f, 3),
    SFieldDesc::Byte(Fcc("byte")),
    SFieldDesc::Array(Fcc("flts"), kElemFloat),
    SFieldDesc::Array(Fcc("strs"), kElemString),
    SFieldDesc::Array(Fcc("byts"), kElemByte),
    SFieldDesc::RecordArray(Fcc("anys"), Fcc("SCRP"), Fcc("TINY"), kFieldAnyType),
    SFieldDesc::Record(Fcc("fixd"), Fcc("SCRP"), Fcc("LEAF")),
};
const SFieldDesc kLeafTable[] = {
    SFieldDesc::String(Fcc("text")),
    SFieldDesc::UInt(Fcc("uint")),
};
const CRecordType gTinyType(Fcc("SCRP"), Fcc("TINY"), kTinyTable);
const CRecordType gLeafType(Fcc("SCRP"), Fcc("LEAF"), kLeafTable);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        CScrapReader reader(data, size);
        for (int i = 0; i < 64 && !reader.AtEnd(); ++i) CRecord::Delete(reader.ReadRecord());
    }
    // In place on a held tree, with the holder choosing the types.
    CRecordHolder holder(CRecord::New(&gTinyType));
    CScrapReader reader(data, size);
    for (int i = 0; i < 8 && !reader.AtEnd(); ++i) reader.FillRecord(holder.RootRef(), &holder);
    return 0;
}
