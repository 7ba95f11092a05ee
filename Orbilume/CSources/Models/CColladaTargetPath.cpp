#include "Orbilume/CSources/Models/CColladaTargetPath.h"

#include <cstdlib>
#include <cstring>

#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/CColladaTreeWalker.h"
#include "Orbilume/CSources/Models/UColladaXml.h"

namespace {

// Parses "(i)" or "(i)(j)" at s; false when malformed.
bool ParseIndices(const char* s, const char* end, SColladaTarget& target) {
    while (s < end) {
        if (*s != '(' || target.indexCount >= 2) return false;
        const char* close = static_cast<const char*>(std::memchr(s, ')', static_cast<size_t>(end - s)));
        if (!close || close == s + 1) return false;
        long long v = 0;
        for (const char* p = s + 1; p < close; ++p) {
            if (*p < '0' || *p > '9') return false;
            if (v < INT32_MAX) v = v * 10 + (*p - '0');
        }
        target.indices[target.indexCount++] = v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
        s = close + 1;
    }
    return true;
}

CXmlElement* FindBelow(CXmlElement* root, CXmlElement* from, const char* attr, const LString& value,
                       bool includeFrom) {
    CColladaTreeWalker walker(root, from);
    if (!includeFrom && !walker.Next()) return nullptr;
    while (walker.Next())
        if (walker.current()->GetAttribute(attr) == value) return walker.current();
    return nullptr;
}

}  // namespace

CXmlElement* CColladaTargetPath::FindElement(const CColladaDoc& doc, CXmlElement* own, const LString& path,
                                             SColladaTarget& target) {
    target = SColladaTarget();
    const char* s = path.CStr();
    const char* end = s + path.Length();
    if (s == end || *s == '/') return nullptr;
    // The member part starts at the first "." or "(" of the last segment.
    const char* lastSlash = s;
    for (const char* p = s; p < end; ++p)
        if (*p == '/') lastSlash = p + 1;
    const char* member = end;
    for (const char* p = lastSlash; p < end; ++p)
        if (*p == '.' || *p == '(') {
            member = p;
            break;
        }
    if (member < end) {
        if (*member == '.')
            target.member = LString(member + 1, static_cast<uint32_t>(end - member - 1));
        else if (!ParseIndices(member, end, target))
            return nullptr;
    }
    CXmlElement* at = nullptr;
    uint32_t segments = 0;
    const char* seg = s;
    while (seg <= member) {
        const char* stop = seg;
        while (stop < member && *stop != '/') ++stop;
        LString name(seg, static_cast<uint32_t>(stop - seg));
        if (++segments > kMaxSegments) return nullptr;
        if (segments == 1) {
            if (name.IsEmpty() || name == ".")
                at = own;
            else
                at = doc.FindIdBelowScene(name);
        } else {
            at = FindBelow(doc.root(), at, "sid", name, false);
        }
        if (!at) return nullptr;
        if (stop >= member) break;
        seg = stop + 1;
    }
    return at;
}

CColladaElement* CColladaTargetPath::Resolve(const CColladaDoc& doc, CXmlElement* own, const LString& path,
                                             SColladaTarget& target) {
    CXmlElement* e = FindElement(doc, own, path, target);
    if (!e || !e->Attached()) return nullptr;
    auto* object = static_cast<CColladaElement*>(e->Attached());
    return object->ResolveTarget(target) ? object : nullptr;
}
