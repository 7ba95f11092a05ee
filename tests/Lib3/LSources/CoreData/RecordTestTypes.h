#pragma once

#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CRecord.h"

// A record type set covering every field kind and flag, shared by the record tests.
//
// TEST/LEAF: scalars and a string; its label is field 4.
// TEST/NODE: every kind, the optional, any-type and silent flags, internal (tag 0) fields and a
// record array of nodes; its label is field 4 too.
namespace rtest {

enum LeafField : uint32_t { kLInt, kLUInt, kLByte, kLFloat, kLLabel, kLInternal, kLeafFieldCount };

enum NodeField : uint32_t {
    kInt,
    kUInt,
    kByte,
    kFloat,
    kLabel,
    kInts,
    kUInts,
    kBytes,
    kFloats,
    kStrings,
    kLeaf,      // non-optional sub-record
    kOptional,  // optional sub-record
    kKids,      // record array of leaves
    kAny,       // record array, any type, empty elements allowed
    kInternal,  // tag 0 int
    kHidden,    // tag 0 sub-record: changes below it are internal
    kQuiet,     // silent uint
    kHush,      // silent record array of leaves
    kNodes,     // record array of nodes
    kNodeFieldCount
};

extern const CRecordType gLeafType;
extern const CRecordType gNodeType;

// What the type hooks saw and what they should do.
struct HookState {
    int newCount = 0;        // operation 0 calls
    bool refuseNew = false;  // operation 0 returns 1
    int stopKind = -1;       // operation 1 returns 1 for this event kind
    int moveInsertTo = -1;   // operation 1 sets index1 of kind 6 events
    std::vector<std::string> hookEvents;
};
extern HookState gHook;

// A record's label (field 4 of both types), "-" for null.
std::string Label(const CRecord* r);

// Every field of the tree as text (tag 0 fields included), for deep comparisons.
std::string Dump(const CRecord* r);

// A leaf labelled with text, or a node.
CRecord* NewLeaf(const char* label);
CRecord* NewNode(const char* label);

}  // namespace rtest
