#pragma once

#include "Lib3/LSources/CoreData/CRecordRef.h"

// Field numbers of an LED dimmer device record ('DIDV') that the layout view's placement snapshot
// uses: the stored placement, the selection byte, and the run-time copies.
enum : uint32_t {
    kDeviceFieldPosX = 1,
    kDeviceFieldPosY = 2,
    kDeviceFieldWidth = 3,
    kDeviceFieldHeight = 4,
    kDeviceFieldRotation = 5,
    kDeviceFieldSelected = 11,
    kDeviceFieldSnapshot = 12,  // 12-16: copies of 1-5
};

// Copies a device's placement (fields 1-5) into its run-time fields 12-16, directly: no undo
// entry, no change broadcast. A record without float fields at those places is left alone.
void SnapshotDevicePlacement(CRecordRef device);
