#include "Common/File/CFileURLU.h"

#include "Common/Internet/CURL.h"
#include "Common/Internet/CURLU.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/Fs/LFsOpS.h"
#include "Lib3/LSources/FsDir/LDirCreateS.h"
#include "Lib3/LSources/String/UStrCompar.h"
#include "Lib3/LSources/String/UString.h"

namespace {

const unsigned char* Uc(const char* s) {
    return reinterpret_cast<const unsigned char*>(s);
}

bool IsDotSegment(const LString& s) {
    return s == "." || s == "..";
}

}  // namespace

LString CFileURLU::GetRelativePath(const LFsSpec& target, const LFsSpec& base) {
    CURL t(target.Text());
    CURL b(base.Text());
    if (!(t.Authority() == b.Authority())) {
        LVariStr<64> out;
        out.Append("//");
        out.Append(t.Authority());
        if (t.Path().Text()[0] != '/') out.Append('/');
        out.Append(t.Path());
        return LString(out);
    }
    return CURLU::GetRelativePath(t.Path().Text(), b.Path().Text());
}

bool CFileURLU::GetFileSpec(const unsigned char* text, LFsSpec& spec, bool createFolders) {
    if (UString::IsEmpty(text)) return false;
    CURL url(text);
    if (url.Path().Text()[0] != '/') url.Inherit(CURL(CMacFileU::GetCurrentFolder().Text()), true);

    const unsigned char* p = url.Path().Text();
    LString first = CURLU::Dig(p);
    LString volume;
    bool firstIsFolder = false;
    if (UStrCompar::FsEqual(first.Text(), Uc("Volumes"))) {
        volume = CURLU::Dig(p);
    } else if (CMacFileU::IsMountedVolume(first.Text())) {
        volume = first;
    } else {
        volume = CMacFileU::GetStartupVolumeName();
        firstIsFolder = !first.IsEmpty();
    }
    if (volume.IsEmpty()) return false;

    LVariStr<64> root;
    root.Append("file:///");
    root.Append(CURLU::Encode(volume.Text()));
    LFsSpec current{LString(root)};

    LString segment = firstIsFolder ? first : CURLU::Dig(p);
    while (!segment.IsEmpty()) {
        if (IsDotSegment(segment)) return false;
        if (createFolders && !LDirCreateS(current, 0).Ok()) return false;
        current = LFsDescendS(current, segment.Text()).Spec();
        segment = CURLU::Dig(p);
    }
    spec = current;
    return true;
}
