#include "Orbilume/CSources/Models/UColladaXml.h"

#include <cstring>
#include <utility>
#include <vector>

#include "Common/Stream/CXmlElement.h"
#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreString/UCharIn.h"

namespace {

// Texts of the tree as strings, whichever text type the tree keeps.
template <class T>
LString ToLString(const T& text) {
    return LString(text.Text(), text.Length());
}
// Trees that keep strings share them.
inline LString ToLString(const LString& text) {
    return text;
}

// Attribute name and value, whichever way the tree exposes them.
template <class A>
auto AttrName(const A* a, int) -> decltype(a->Name()) {
    return a->Name();
}
template <class A>
auto AttrName(const A* a, long) -> decltype(a->fName) {
    return a->fName;
}
template <class A>
auto AttrValue(const A* a, int) -> decltype(a->Value()) {
    return a->Value();
}
template <class A>
auto AttrValue(const A* a, long) -> decltype(a->fValue) {
    return a->fValue;
}

// Appending an attribute, whichever way the tree allows it; false when memory runs out.
template <class E>
auto AddAttr(E* e, const LString& n, const LString& v, int)
    -> decltype(e->AddAttribute(n.Text(), n.Length(), v.Text(), v.Length())) {
    return e->AddAttribute(n.Text(), n.Length(), v.Text(), v.Length());
}
template <class E, class A = CXmlAttribute>
bool AddAttr(E* e, const LString& n, const LString& v, long) {
    e->AppendAttribute(new A(n, v));
    return true;
}

// Setters that report memory failure in one form of the tree and return nothing in the other.
template <class E>
auto SetTag(E* e, const LString& tag, int) -> decltype(bool(e->SetTagName(tag))) {
    return e->SetTagName(tag);
}
template <class E>
bool SetTag(E* e, const LString& tag, long) {
    e->SetTagName(tag);
    return true;
}
template <class E>
auto SetTxt(E* e, const LString& t, int) -> decltype(bool(e->SetText(t))) {
    return e->SetText(t);
}
template <class E>
bool SetTxt(E* e, const LString& t, long) {
    e->SetText(t);
    return true;
}

// A shallow copy: tag, text and attributes; null when memory or the byte budget runs out.
CXmlElement* CopyOne(const CXmlElement* src, uint64_t& bytes) {
    uint64_t size = src->Name().Length() + src->Prefix().Length() + src->Text().Length();
    for (SSLink* n = src->Attributes().First(); !n->IsEnd(); n = n->next) {
        auto* a = static_cast<const CXmlAttribute*>(n);
        size += AttrName(a, 0).Length() + AttrValue(a, 0).Length();
    }
    if (size > bytes) return nullptr;
    bytes -= size;
    auto* e = new CXmlElement;
    LString tag = ToLString(src->Name());
    if (!src->Prefix().IsEmpty()) {
        LVariStr<64> t;
        t.Append(ToLString(src->Prefix()));
        t.Append(":");
        t.Append(tag);
        tag = LString(t);
    }
    bool ok = SetTag(e, tag, 0) && SetTxt(e, ToLString(src->Text()), 0);
    for (SSLink* n = src->Attributes().First(); ok && !n->IsEnd(); n = n->next) {
        auto* a = static_cast<const CXmlAttribute*>(n);
        ok = AddAttr(e, ToLString(AttrName(a, 0)), ToLString(AttrValue(a, 0)), 0);
    }
    if (!ok) {
        CXmlElement::DeleteChild(nullptr, e);
        return nullptr;
    }
    return e;
}

}  // namespace

bool UColladaXml::NameIs(const CXmlElement* e, const char* name) {
    if (!e) return false;
    size_t n = std::strlen(name);
    return e->Name().Length() == n && std::memcmp(e->Name().Text(), name, n) == 0;
}

LString UColladaXml::Name(const CXmlElement* e) {
    return ToLString(e->Name());
}

LString UColladaXml::Text(const CXmlElement* e) {
    return ToLString(e->Text());
}

LString UColladaXml::FirstToken(const CXmlElement* e) {
    if (!e) return LString();
    LString text = Text(e);
    LStrCharIn in(text);
    LVariStr<64> token;
    if (!UCharIn::Read(in, token)) return LString();
    return LString(token);
}

bool UColladaXml::SetTagName(CXmlElement* e, const LString& tag) {
    return SetTag(e, tag, 0);
}

CXmlElement* UColladaXml::FirstChild(const CXmlElement* e) {
    SSLink* n = e->Children().First();
    return n->IsEnd() ? nullptr : static_cast<CXmlElement*>(n);
}

CXmlElement* UColladaXml::Next(const CXmlElement* e) {
    SSLink* n = e->next;
    return (!n || n->IsEnd()) ? nullptr : static_cast<CXmlElement*>(n);
}

CXmlElement* UColladaXml::FindChild(const CXmlElement* e, const char* name, const CXmlElement* after) {
    if (!e) return nullptr;
    for (CXmlElement* c = after ? Next(after) : FirstChild(e); c; c = Next(c))
        if (NameIs(c, name)) return c;
    return nullptr;
}

uint32_t UColladaXml::Depth(const CXmlElement* e) {
    uint32_t d = 0;
    for (const CXmlElement* p = e ? e->Parent() : nullptr; p; p = p->Parent()) ++d;
    return d;
}

CXmlElement* UColladaXml::CopyTree(const CXmlElement* src, uint64_t& budget, uint64_t& bytes,
                                   uint32_t maxDepth) {
    if (!src || budget == 0) return nullptr;
    CXmlElement* root = CopyOne(src, bytes);
    if (!root) return nullptr;
    --budget;
    struct Pending {
        const CXmlElement* from;
        CXmlElement* to;
        uint32_t depth;
    };
    std::vector<Pending> stack{{src, root, 0}};
    while (!stack.empty()) {
        Pending p = stack.back();
        stack.pop_back();
        for (CXmlElement* c = FirstChild(p.from); c; c = Next(c)) {
            CXmlElement* copy = (budget > 0 && p.depth < maxDepth) ? CopyOne(c, bytes) : nullptr;
            if (!copy) {
                CXmlElement::DeleteChild(nullptr, root);
                return nullptr;
            }
            --budget;
            p.to->AppendChild(copy);
            stack.push_back({c, copy, p.depth + 1});
        }
    }
    return root;
}
