#pragma once

#include <string>

#include "Common/Container/CBytes.h"
#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordType.h"
#include "Lib3/LSources/CoreData/XmlDocument.h"

// Record types of every field kind for the document tests (domain "XDOC").
namespace xmldoc {

enum ItemField : uint32_t {
    kIval,
    kUval,
    kBval,
    kFval,
    kName,
    kNote,
    kInts,
    kUins,
    kByts,
    kFlts,
    kStrs,
    kHidden,
    kItemFieldCount
};
enum RootField : uint32_t { kKey, kValue, kTitle, kSub, kOpt, kList, kAny, kLate, kRootFieldCount };

inline const SFieldDesc kItemFields[] = {
    SFieldDesc::Int(Fcc("ival"), 5),
    SFieldDesc::UInt(Fcc("uval")),
    SFieldDesc::Byte(Fcc("bval"), 1),
    SFieldDesc::Float(Fcc("fval"), 0.5f, 4),
    SFieldDesc::String(Fcc("name"), "dflt"),
    SFieldDesc::String(Fcc("note")),
    SFieldDesc::Array(Fcc("ints"), kElemInt),
    SFieldDesc::Array(Fcc("uins"), kElemUInt),
    SFieldDesc::Array(Fcc("byts"), kElemByte),
    SFieldDesc::Array(Fcc("flts"), kElemFloat, 3),
    SFieldDesc::Array(Fcc("strs"), kElemString),
    SFieldDesc::Int(0, 77),  // internal: never written
};

inline const SFieldDesc kRootFields[] = {
    SFieldDesc::String(Fcc("i   ")),  // tags with trailing blanks, as parameter sets have
    SFieldDesc::String(Fcc("v   ")),
    SFieldDesc::String(Fcc("titl")),
    SFieldDesc::Record(Fcc("subr"), Fcc("XDOC"), Fcc("ITEM")),
    SFieldDesc::Record(Fcc("optl"), Fcc("XDOC"), Fcc("ITEM"), kFieldOptional),
    SFieldDesc::RecordArray(Fcc("list"), Fcc("XDOC"), Fcc("ITEM")),
    SFieldDesc::RecordArray(Fcc("anys"), Fcc("XDOC"), Fcc("ITEM"), kFieldAnyType | kFieldOptional),
    SFieldDesc::Int(Fcc("late"), 0),  // a value field listed after the record-valued ones
};

// A chain of optional sub-records of its own type.
inline const SFieldDesc kNestFields[] = {
    SFieldDesc::Int(Fcc("levl")),
    SFieldDesc::Record(Fcc("next"), Fcc("XDOC"), Fcc("NEST"), kFieldOptional),
};

inline CRecordType gItemType(Fcc("XDOC"), Fcc("ITEM"), kItemFields);
inline CRecordType gRootType(Fcc("XDOC"), Fcc("ROOT"), kRootFields);
inline CRecordType gOtherType(Fcc("XDOC"), Fcc("OTHR"), kNestFields);
inline CRecordType gNestType(Fcc("XDOC"), Fcc("NEST"), kNestFields);

inline std::string Written(const CRecord* root) {
    CBytes bytes;
    {
        CMemStream stream(bytes);
        WriteXmlDocument(stream, root);
    }
    return std::string(reinterpret_cast<const char*>(bytes.Data()), bytes.Count());
}

inline int Read(const std::string& xml, CRecord** root) {
    std::string copy = xml;
    CMemStream stream(copy.data(), static_cast<uint32_t>(copy.size()));
    return ReadXmlDocument(stream, CRecordRef(root));
}

}  // namespace xmldoc
