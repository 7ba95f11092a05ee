#pragma once

#include <cstddef>
#include <cstdint>

#include "Lib3/LSources/CoreData/URsrc.h"
#include "Platform/AppKit/Cursor.h"

class ResourceProvider;

// The hot spot of a cursor PNG: the first chunk of type "hsPT" holds x and y as big-endian 16-bit
// values. False (and 0, 0) when the bytes are not a PNG, are cut, or the chunk is missing or short.
[[nodiscard]] bool ReadPngHotSpot(const uint8_t* png, size_t size, int32_t* x, int32_t* y);

// A cursor from a 'TPNG' resource with its "hsPT" hot spot, else the standard cursor named like the
// resource ("IBeamCursor", ...), else none. Main thread only.
class CMacCursor {
public:
    // Answers whether a cursor was made.
    [[nodiscard]] bool Load(const SRsrcRequest& request, ResourceProvider* provider = nullptr);
    // The same from the resource's bytes (null when missing) and its name.
    [[nodiscard]] bool LoadFromBytes(const uint8_t* png, size_t size, const char* name);
    bool IsValid() const { return bool(mCursor); }
    const plat::Cursor* Native() const { return mCursor.get(); }
    // Sets this cursor (the arrow when none was made).
    void Set() const;

    // Standard cursors by kind: 3 crosshair, 2 I-beam, others the arrow; and a cursor object (null: the
    // arrow).
    static void SetStandard(int32_t kind);
    static void SetCursor(const CMacCursor* cursor);

private:
    plat::Ref<plat::Cursor> mCursor;
};
