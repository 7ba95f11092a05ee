#include "Lib3/LSources/CoreData/DateTimePart.h"

#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CRecordUndo.h"

uint32_t GetDateTimePart(const uint32_t* values, uint32_t count, uint32_t part) {
    static const uint32_t kMinimum[7] = {0, 0, 0, 1, 1, 1, 0};
    if (part > kSchYear) return 0;
    if (!values || count <= part) return kMinimum[part];
    return values[part] < kMinimum[part] ? kMinimum[part] : values[part];
}

uint32_t CRecordHolder::GetDateTimePart(CRecordRef ref, uint32_t field, uint32_t part) {
    const CRecord* record = ref.Get();
    const CRecordType* type = record ? record->Type() : nullptr;
    uint32_t values[7] = {};
    uint32_t count = 0;
    if (type && field < type->FieldCount() && type->Field(field).kind == kFieldArray) {
        const uint8_t elementKind = type->Field(field).elementKind;
        const CArrayBase* array = record->GetArray(field);
        const bool integral = elementKind == kElemInt || elementKind == kElemUInt || elementKind == kElemByte;
        for (; integral && array && count < 7 && count < array->Count(); ++count) {
            const void* at = array->At(count);
            if (elementKind == kElemByte) {
                values[count] = *static_cast<const uint8_t*>(at);
            } else if (elementKind == kElemUInt) {
                values[count] = *static_cast<const uint32_t*>(at);
            } else {
                const int32_t v = *static_cast<const int32_t*>(at);
                values[count] = v < 0 ? 0 : static_cast<uint32_t>(v);
            }
        }
    }
    return ::GetDateTimePart(values, count, part);
}

bool CRecordHolder::SetDateTimePart(CRecordRef ref, LHandler* editor, uint32_t field, uint32_t part,
                                    uint32_t value) {
    const CRecord* record = ref.Get();
    const CRecordType* type = record ? record->Type() : nullptr;
    if (part > kSchYear || !type || field >= type->FieldCount() || type->Field(field).kind != kFieldArray ||
        type->Field(field).elementKind != kElemUInt)
        return false;
    void* group = CRecordUndo::BeginGroup(editor);
    bool ok = ref.PadArray(editor, field, 0u, part + 1);
    if (ok) ok = ref.SetArrayValue(editor, field, part, value);
    CRecordUndo::EndGroup(group);
    return ok;
}
