#include "Orbilume/CSources/Engine/SnapshotDevicePlacement.h"

void SnapshotDevicePlacement(CRecordRef device) {
    CRecord* r = device.Get();
    if (!r || r->FieldCount() < kDeviceFieldSnapshot + 5) return;
    for (uint32_t i = 0; i < 5; ++i)
        if (r->Field(kDeviceFieldPosX + i).kind != kFieldFloat ||
            r->Field(kDeviceFieldSnapshot + i).kind != kFieldFloat)
            return;
    for (uint32_t i = 0; i < 5; ++i)
        r->Slot(kDeviceFieldSnapshot + i).f32 = r->GetFloat(kDeviceFieldPosX + i);
}
