#include "Common/ObjC/CMacCursor.h"

#include <cstring>

#include "Lib3/LSources/CoreData/LRsrcData.h"
#include "Platform/Foundation/Bytes.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/PNGDecoder.h"

bool ReadPngHotSpot(const uint8_t* png, size_t size, int32_t* x, int32_t* y) {
    *x = 0;
    *y = 0;
    if (!png || !plat::PNGDecoder::HasSignature(png, size)) return false;
    size_t pos = 8;
    // Chunks: length (4), type (4), data, CRC (4).
    while (size - pos >= 8) {
        const uint32_t length = plat::LoadBE32(png + pos);
        const uint8_t* type = png + pos + 4;
        if (length > size - pos - 8) return false;
        if (std::memcmp(type, "hsPT", 4) == 0) {
            if (length < 4) return false;
            *x = plat::LoadBE16(png + pos + 8);
            *y = plat::LoadBE16(png + pos + 10);
            return true;
        }
        if (std::memcmp(type, "IEND", 4) == 0) return false;
        if (size - pos - 8 - length < 4) return false;
        pos += 12 + size_t(length);
    }
    return false;
}

bool CMacCursor::Load(const SRsrcRequest& request, ResourceProvider* provider) {
    PLAT_DCHECK_MAIN_THREAD();
    LRsrcData data(LRsrcData::kTypePng, request, provider);
    if (data.IsLoaded()) return LoadFromBytes(data.Bytes(), data.Size(), request.name.CStr());
    return LoadFromBytes(nullptr, 0, request.name.CStr());
}

bool CMacCursor::LoadFromBytes(const uint8_t* png, size_t size, const char* name) {
    PLAT_DCHECK_MAIN_THREAD();
    mCursor = nullptr;
    if (png) {
        plat::Ref<plat::BitmapImage> image = plat::PNGDecoder::Decode(png, size);
        if (image) {
            int32_t x = 0, y = 0;
            (void)ReadPngHotSpot(png, size, &x, &y);
            mCursor = plat::Cursor::WithImage(image.get(), {double(x), double(y)});
            return true;
        }
    }
    mCursor = plat::Cursor::Named(name);
    return bool(mCursor);
}

void CMacCursor::Set() const {
    if (mCursor)
        mCursor->Set();
    else
        plat::Cursor::Arrow()->Set();
}

void CMacCursor::SetStandard(int32_t kind) {
    plat::Cursor::Standard(kind == 3   ? plat::Cursor::Shape::kCrosshair
                           : kind == 2 ? plat::Cursor::Shape::kIBeam
                                       : plat::Cursor::Shape::kArrow)
        ->Set();
}

void CMacCursor::SetCursor(const CMacCursor* cursor) {
    if (cursor)
        cursor->Set();
    else
        plat::Cursor::Arrow()->Set();
}
