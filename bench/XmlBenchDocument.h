#pragma once

#include <cstdint>
#include <string>

#include "Common/Container/CBytes.h"
#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/CRecordType.h"
#include "Lib3/LSources/CoreData/XmlDocument.h"
#include "Lib3/LSources/CoreString/LString.h"

// A large record document for the XML benchmarks: a root holding many items, each with numbers,
// names, arrays, a multi-line note (written as CDATA) now and then, and a nested item.
namespace xmlbench {

enum ItemField : uint32_t { kIval, kUval, kFval, kName, kNote, kInts, kFlts, kStrs, kNext };
enum RootField : uint32_t { kTitle, kList };

inline const SFieldDesc kItemFields[] = {
    SFieldDesc::Int(Fcc("ival")),
    SFieldDesc::UInt(Fcc("uval")),
    SFieldDesc::Float(Fcc("fval"), 0.0f, 4),
    SFieldDesc::String(Fcc("name")),
    SFieldDesc::String(Fcc("note")),
    SFieldDesc::Array(Fcc("ints"), kElemInt),
    SFieldDesc::Array(Fcc("flts"), kElemFloat, 3),
    SFieldDesc::Array(Fcc("strs"), kElemString),
    SFieldDesc::Record(Fcc("next"), Fcc("XBEN"), Fcc("ITEM"), kFieldOptional),
};
inline const SFieldDesc kRootFields[] = {
    SFieldDesc::String(Fcc("titl")),
    SFieldDesc::RecordArray(Fcc("list"), Fcc("XBEN"), Fcc("ITEM")),
};
inline CRecordType gItemType(Fcc("XBEN"), Fcc("ITEM"), kItemFields);
inline CRecordType gRootType(Fcc("XBEN"), Fcc("ROOT"), kRootFields);

inline void FillItem(CRecord* item, uint32_t i) {
    CRecordRef r(&item);
    r.SetInt(nullptr, kIval, static_cast<int32_t>(i * 7919u % 100000u) - 50000);
    r.SetUInt(nullptr, kUval, i * 2654435761u);
    r.SetFloat(nullptr, kFval, static_cast<float>(i % 1000) * 0.125f + 0.5f);
    std::string name = "Layer " + std::to_string(i) + " \"blue & <bright>\"";
    r.SetString(nullptr, kName, LString(name.c_str()));
    if (i % 4 == 0) {
        std::string note = "First line of the note for item " + std::to_string(i) +
                           "\nsecond line, with more words in it than the first\nthird line.";
        r.SetString(nullptr, kNote, LString(note.c_str()));
    }
    int32_t ints[8];
    for (int k = 0; k < 8; ++k) ints[k] = static_cast<int32_t>(i * 31 + static_cast<uint32_t>(k) * 1013);
    r.SetArray(nullptr, kInts, ints, 8);
    float flts[4] = {0.25f, static_cast<float>(i % 97), -1.5f, static_cast<float>(i) / 3.0f};
    r.SetArray(nullptr, kFlts, flts, 4);
    LString strs[3] = {LString("alpha"), LString("two words"), LString("gamma")};
    r.SetArray(nullptr, kStrs, strs, 3);
}

// A root with `items` items, every eighth with a nested item. The caller deletes it.
inline CRecord* MakeRoot(uint32_t items) {
    CRecord* root = CRecord::New(&gRootType);
    CRecordRef ref(&root);
    ref.SetString(nullptr, kTitle, LString("Benchmark document"));
    for (uint32_t i = 0; i < items; ++i) {
        CRecord* item = CRecord::New(&gItemType);
        FillItem(item, i);
        if (i % 8 == 0) {
            CRecord* next = CRecord::New(&gItemType);
            FillItem(next, i + 1);
            CRecordRef(&item).DeleteSubRecord(nullptr, kNext, next);
        }
        ref.InsertRecord(nullptr, kList, CRecordRef::kAppend, item);
    }
    return root;
}

inline std::string Written(const CRecord* root) {
    CBytes bytes;
    {
        CMemStream stream(bytes);
        WriteXmlDocument(stream, root);
    }
    return std::string(reinterpret_cast<const char*>(bytes.Data()), bytes.Count());
}

// About 36 MB.
constexpr uint32_t kItems = 100000;

}  // namespace xmlbench
