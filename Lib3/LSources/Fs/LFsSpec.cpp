#include "Lib3/LSources/Fs/LFsSpec.h"

#include <cstdio>

#include "Common/File/UWinPath.h"
#include "Common/Internet/CURL.h"
#include "Common/Internet/CURLU.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/String/UStrCompar.h"
#include "Lib3/LSources/String/UString.h"

LString LFsSpec::name() const {
    return CURLU::GetLeafDecoded(Text());
}

bool LFsSpec::operator==(const LFsSpec& other) const {
    return UString::IsEqual(Text(), other.Text());
}

void LFsSpec::SetName(const unsigned char* name) {
    if (UString::IsEmpty(name) && IsEmpty()) return;
    CURL ref(CURLU::Encode(name).Text());
    ref.Inherit(CURL(Text()), false);
    *this = LFsSpec(ref.GetString());
}

void LFsSpec::Suffix(int n) {
    LString leaf = name();
    const unsigned char* text = leaf.Text();
    const unsigned char* ext = UWinPath::FindExtension(text);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%d", n);
    LVariStr<64> out;
    out.Append(text, static_cast<uint32_t>(ext - text));
    out.Append(digits);
    out.Append(ext);
    SetName(out.Text());
}

bool LFsSpec::samename(const unsigned char* a, const unsigned char* b) {
    return UStrCompar::FsEqual(a, b);
}
