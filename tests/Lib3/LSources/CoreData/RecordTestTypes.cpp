#include "tests/Lib3/LSources/CoreData/RecordTestTypes.h"

#include <iterator>
#include <sstream>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"

namespace rtest {

HookState gHook;

namespace {

const SFieldDesc kLeafTable[] = {
    SFieldDesc::Int(Fcc("lint"), -2),        SFieldDesc::UInt(Fcc("luin"), 3),
    SFieldDesc::Byte(Fcc("lbyt"), 4),        SFieldDesc::Float(Fcc("lflt"), 0.25f, 2),
    SFieldDesc::String(Fcc("labl"), "leaf"), SFieldDesc::Int(0, 9),
};

const SFieldDesc kNodeTable[] = {
    SFieldDesc::Int(Fcc("ival"), -5),
    SFieldDesc::UInt(Fcc("uval"), 0xFFFFFFF0u),
    SFieldDesc::Byte(Fcc("bval"), 1),
    SFieldDesc::Float(Fcc("fval"), 1.5f, 2),
    SFieldDesc::String(Fcc("labl"), "node"),
    SFieldDesc::Array(Fcc("ints"), kElemInt),
    SFieldDesc::Array(Fcc("uins"), kElemUInt),
    SFieldDesc::Array(Fcc("byts"), kElemByte),
    SFieldDesc::Array(Fcc("flts"), kElemFloat, 4),
    SFieldDesc::Array(Fcc("strs"), kElemString),
    SFieldDesc::Record(Fcc("leaf"), Fcc("TEST"), Fcc("LEAF")),
    SFieldDesc::Record(Fcc("optl"), Fcc("TEST"), Fcc("LEAF"), kFieldOptional),
    SFieldDesc::RecordArray(Fcc("kids"), Fcc("TEST"), Fcc("LEAF")),
    SFieldDesc::RecordArray(Fcc("anys"), Fcc("TEST"), Fcc("LEAF"), kFieldAnyType | kFieldOptional),
    SFieldDesc::Int(0, 11),
    SFieldDesc::Record(0, Fcc("TEST"), Fcc("LEAF")),
    SFieldDesc::UInt(Fcc("quie"), 0, kFieldSilent),
    SFieldDesc::RecordArray(Fcc("hush"), Fcc("TEST"), Fcc("LEAF"), kFieldSilent),
    SFieldDesc::RecordArray(Fcc("subn"), Fcc("TEST"), Fcc("NODE")),
};
static_assert(std::size(kLeafTable) == kLeafFieldCount && std::size(kNodeTable) == kNodeFieldCount);

int Hook(const char* type, int operation, void* argument) {
    if (operation == 0) {
        ++gHook.newCount;
        return gHook.refuseNew ? 1 : 0;
    }
    auto* event = static_cast<SRecordEvent*>(argument);
    gHook.hookEvents.push_back(std::string(type) + ":" + std::to_string(event->kind));
    if (event->kind == SRecordEvent::kInserting && gHook.moveInsertTo >= 0)
        event->index1 = gHook.moveInsertTo;
    return static_cast<int>(event->kind) == gHook.stopKind ? 1 : 0;
}

int LeafHook(int operation, void* argument) {
    return Hook("LEAF", operation, argument);
}
int NodeHook(int operation, void* argument) {
    return Hook("NODE", operation, argument);
}

}  // namespace

const CRecordType gLeafType(Fcc("TEST"), Fcc("LEAF"), kLeafTable, LeafHook);
const CRecordType gNodeType(Fcc("TEST"), Fcc("NODE"), kNodeTable, NodeHook);

std::string Label(const CRecord* r) {
    return r ? r->GetString(4).CStr() : "-";
}

std::string Dump(const CRecord* r) {
    if (!r) return "null";
    std::ostringstream os;
    const uint32_t domain = r->Type()->Domain();
    const uint32_t type = r->Type()->Type();
    os << std::string(reinterpret_cast<const char*>(&domain), 4) << '/'
       << std::string(reinterpret_cast<const char*>(&type), 4) << '{';
    for (uint32_t n = 0; n < r->FieldCount(); ++n) {
        const SFieldDesc& f = r->Field(n);
        os << n << '=';
        switch (f.kind) {
            case kFieldInt:
                os << r->GetInt(n);
                break;
            case kFieldUInt:
                os << r->GetUInt(n);
                break;
            case kFieldByte:
                os << int(r->GetByte(n));
                break;
            case kFieldFloat:
                os << r->GetFloat(n);
                break;
            case kFieldString:
                os << '"' << r->GetString(n).CStr() << '"';
                break;
            case kFieldArray: {
                os << '[';
                const uint32_t count = r->ArrayCount(n);
                const void* data = r->ArrayData(n);
                for (uint32_t i = 0; i < count; ++i) {
                    if (i) os << ',';
                    switch (f.elementKind) {
                        case kElemInt:
                            os << static_cast<const int32_t*>(data)[i];
                            break;
                        case kElemUInt:
                            os << static_cast<const uint32_t*>(data)[i];
                            break;
                        case kElemByte:
                            os << int(static_cast<const uint8_t*>(data)[i]);
                            break;
                        case kElemFloat:
                            os << static_cast<const float*>(data)[i];
                            break;
                        default:
                            os << '"' << static_cast<const LString*>(data)[i].CStr() << '"';
                            break;
                    }
                }
                os << ']';
                break;
            }
            case kFieldRecord:
                os << Dump(r->GetSubRecord(n));
                break;
            case kFieldRecordArray: {
                os << '[';
                for (uint32_t i = 0; i < r->ArrayCount(n); ++i)
                    os << (i ? "," : "") << Dump(r->GetElement(n, i));
                os << ']';
                break;
            }
            default:
                break;
        }
        os << ';';
    }
    os << '}';
    return os.str();
}

CRecord* NewLeaf(const char* label) {
    CRecord* r = CRecord::New(&gLeafType);
    if (r) r->StringSlot(kLLabel) = LString(label);
    return r;
}

CRecord* NewNode(const char* label) {
    CRecord* r = CRecord::New(&gNodeType);
    if (r) r->StringSlot(kLabel) = LString(label);
    return r;
}

}  // namespace rtest
