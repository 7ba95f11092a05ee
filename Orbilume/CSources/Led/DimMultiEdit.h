#pragma once

#include <cstdint>
#include <vector>

#include "Lib3/LSources/CoreData/CRecordRef.h"

class CRecordHolder;
class LHandler;

// Scalar and float edits of several records as one undo entry, which may continue the previous
// one: the layout view's drag steps and the device list's edits of every selected row. Continuing
// keeps the first old value of every field already in the entry and adds the new fields.
namespace dimedit {

struct Item {
    CRecordRef ref;
    uint32_t field = 0;
    uint64_t cell = 0;  // scalar fields (kinds 0-2): the value in the low bytes; float fields: the bits
};
Item Float(CRecordRef ref, uint32_t field, float value);
Item Scalar(CRecordRef ref, uint32_t field, uint64_t cell);

enum : int { kNew = 1, kContinue = 2 };

// Writes the entry (when an undo queue is found above the editor) and stores the values, which
// the holder broadcasts (event editor: null). Items on fields of other kinds are skipped.
void Apply(LHandler* editor, CRecordHolder* holder, const std::vector<Item>& items, int merge);

}  // namespace dimedit
