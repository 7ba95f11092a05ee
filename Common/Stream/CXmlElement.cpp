#include "Common/Stream/CXmlElement.h"

#include <cstring>

#include "Lib3/LSources/String/UString.h"

CXmlElement::~CXmlElement() {
    Attach(nullptr);
    while (SSLink* a = fAttributes.RemoveFirst()) delete static_cast<CXmlAttribute*>(a);
    while (SSLink* c = fChildren.RemoveFirst()) delete static_cast<CXmlElement*>(c);
}

void CXmlElement::Attach(CXmlAttachable* object) {
    if (object == fAttached) return;
    delete fAttached;
    fAttached = object;
    if (object) object->fOwner = this;
}

CXmlElement* CXmlElement::FindChild(const char* name) const {
    for (SSLink* n = fChildren.First(); !n->IsEnd(); n = n->next) {
        auto* e = static_cast<CXmlElement*>(n);
        if (UString::IsEqual(e->fName.CStr(), name)) return e;
    }
    return nullptr;
}

CXmlAttribute* CXmlElement::FindAttribute(const char* name) const {
    for (SSLink* n = fAttributes.First(); !n->IsEnd(); n = n->next) {
        auto* a = static_cast<CXmlAttribute*>(n);
        if (UString::IsEqual(a->fName.CStr(), name)) return a;
    }
    return nullptr;
}

LString CXmlElement::GetAttribute(const char* name) const {
    CXmlAttribute* a = FindAttribute(name);
    return a ? a->fValue : LString();
}

void CXmlElement::DeleteChild(CXmlElement* element, CXmlElement* child) {
    if (!child) return;
    if (element) element->fChildren.Remove(child);
    delete child;
}

void CXmlElement::AppendChild(CXmlElement* child) {
    child->fParent = this;
    fChildren.Append(child);
}

void CXmlElement::SetTagName(const LString& tagName) {
    const char* s = tagName.CStr();
    const char* colon = std::strchr(s, ':');
    if (!colon) {
        fName = tagName;
        fPrefix = LString();
        return;
    }
    fPrefix = LString(s, static_cast<uint32_t>(colon - s));
    fName = LString(colon + 1);
}
