#include "Lib3/LSources/CoreString/LString.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "Lib3/LSources/CoreString/LStrBuf.h"
#include "Lib3/LSources/String/UString.h"

void* LStringData::operator new(std::size_t size, uint32_t textBytes) noexcept {
    return std::malloc(size + static_cast<std::size_t>(textBytes) + 1);
}

void LStringData::operator delete(void* p) {
    std::free(p);
}

LStringData* LStringData::Make(const unsigned char* text, uint32_t length) {
    LStringData* data = new (length) LStringData(length);
    if (!data) return nullptr;
    unsigned char* bytes = reinterpret_cast<unsigned char*>(data + 1);
    std::memcpy(bytes, text, length);
    bytes[length] = 0;
    return data;
}

LString::LString(const LStrBuf& buf) : LHandleBase(MakeStrDesc(buf.Text(), buf.Length())) {}

LStringData* LString::GetNullData() {
    // Static storage, so the empty string never allocates and can never fail.
    alignas(LStringData) static unsigned char storage[sizeof(LStringData) + 1];
    static LStringData* const empty = [] {
        LStringData* data = ::new (static_cast<void*>(storage)) LStringData(0);
        storage[sizeof(LStringData)] = 0;
        data->MakePermanent();
        return data;
    }();
    return empty;
}

LStringData* LString::MakeStrDesc(const unsigned char* text, uint32_t length) {
    if (!text) return GetNullData();
    if (length == kMeasure) length = UString::LengthOf(text);
    if (length == 0) return GetNullData();
    LStringData* data = LStringData::Make(text, length);
    return data ? data : GetNullData();
}

bool operator==(const LString& a, const LString& b) {
    return a.IsSame(b) || (a.Length() == b.Length() && UString::IsEqual(a.Text(), b.Text()));
}

bool operator==(const LString& a, const char* b) {
    return UString::IsEqual(a.CStr(), b);
}
