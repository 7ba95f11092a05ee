#include "Lib3/LSources/Fs/LFsOpS.h"

#include <cerrno>

#include "Common/Internet/CURL.h"
#include "Common/Internet/CURLU.h"
#include "Lib3/LSources/CoreString/LVariStr.h"

LFsPathSpecS::LFsPathSpecS(const unsigned char* text) {
    CURL dot(".");
    dot.Inherit(CURL(text), false);
    if (dot.Path().Length() >= 2) {
        fSpec = LFsSpec(dot.GetString());
    } else {
        fStatus = kFsError;
    }
}

LFsDescendS::LFsDescendS(const LFsSpec& folder, const unsigned char* name) {
    LVariStr<64> text;
    text.Append(folder.Text(), folder.Length());
    CURLU::Descend(text, name);
    fSpec = LFsSpec(LString(text));
}

uint32_t LFsStatusFromErrno(int err) {
    switch (err) {
        case 0:
            return kFsDone;
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG:
        case EINVAL:
        case EILSEQ:
            return kFsMissing;
        default:
            return kFsError;
    }
}
