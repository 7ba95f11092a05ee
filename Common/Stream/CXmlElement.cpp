#include "Common/Stream/CXmlElement.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "Lib3/LSources/String/UString.h"

CXmlElement::~CXmlElement() {
    Attach(nullptr);
    if (fArena) {
        fAttributes.RemoveAll();  // their memory is the arena's
    } else {
        while (SSLink* a = fAttributes.RemoveFirst()) delete static_cast<CXmlAttribute*>(a);
    }
    while (SSLink* c = fChildren.RemoveFirst()) Destroy(static_cast<CXmlElement*>(c));
    std::free(fTagCopy);
    std::free(fTextCopy);
}

CXmlElement* CXmlElement::New(CXmlArena& arena) {
    void* at = arena.Allocate(sizeof(CXmlElement));
    if (!at) return nullptr;
    auto* e = new (at) CXmlElement(&arena);
    e->fPlaced = true;
    return e;
}

void CXmlElement::Destroy(CXmlElement* element) {
    if (!element) return;
    if (element->fPlaced)
        element->~CXmlElement();
    else
        delete element;
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
    return a ? a->fValue.ToString() : LString();
}

void CXmlElement::DeleteChild(CXmlElement* element, CXmlElement* child) {
    if (!child) return;
    if (element) element->fChildren.Remove(child);
    Destroy(child);
}

void CXmlElement::AppendChild(CXmlElement* child) {
    child->fParent = this;
    fChildren.Append(child);
}

unsigned char* CXmlElement::Copy(const unsigned char* text, uint32_t length, unsigned char*& owned) {
    if (fArena) return fArena->Copy(text, length);
    auto* p = static_cast<unsigned char*>(std::malloc(size_t{length} + 1));
    if (!p) return nullptr;
    if (length) std::memcpy(p, text, length);
    p[length] = 0;
    std::free(owned);
    owned = p;
    return p;
}

bool CXmlElement::AddAttribute(const unsigned char* name, uint32_t nameLength, const unsigned char* value,
                               uint32_t valueLength) {
    CXmlAttribute* a;
    if (fArena) {
        void* at = fArena->Allocate(sizeof(CXmlAttribute) + size_t{nameLength} + valueLength + 2);
        if (!at) return false;
        a = new (at) CXmlAttribute;
        auto* texts = static_cast<unsigned char*>(at) + sizeof(CXmlAttribute);
        std::memcpy(texts, name, nameLength);
        texts[nameLength] = 0;
        unsigned char* v = texts + nameLength + 1;
        if (valueLength) std::memcpy(v, value, valueLength);
        v[valueLength] = 0;
        a->fName = CXmlText(texts, nameLength);
        a->fValue = CXmlText(v, valueLength);
    } else {
        // The attribute and its texts in one block, given back by its own delete.
        a = new (std::nothrow) CXmlAttribute;
        auto* texts = static_cast<unsigned char*>(std::malloc(size_t{nameLength} + valueLength + 2));
        if (!a || !texts) {
            delete a;
            std::free(texts);
            return false;
        }
        std::memcpy(texts, name, nameLength);
        texts[nameLength] = 0;
        unsigned char* v = texts + nameLength + 1;
        if (valueLength) std::memcpy(v, value, valueLength);
        v[valueLength] = 0;
        a->fName = CXmlText(texts, nameLength);
        a->fValue = CXmlText(v, valueLength);
        a->fOwned = texts;
    }
    fAttributes.Append(a);
    return true;
}

bool CXmlElement::SetTagName(const unsigned char* text, uint32_t length) {
    // One copy: the colon becomes the NUL that ends the prefix.
    unsigned char* copy = Copy(text, length, fTagCopy);
    if (!copy) {
        fName = fPrefix = CXmlText();
        return false;
    }
    auto* colon = static_cast<unsigned char*>(std::memchr(copy, ':', length));
    if (!colon) {
        fName = CXmlText(copy, length);
        fPrefix = CXmlText();
        return true;
    }
    *colon = 0;
    const auto prefix = static_cast<uint32_t>(colon - copy);
    fPrefix = CXmlText(copy, prefix);
    fName = CXmlText(colon + 1, length - prefix - 1);
    return true;
}

bool CXmlElement::SetText(const unsigned char* text, uint32_t length) {
    unsigned char* copy = Copy(text, length, fTextCopy);
    fText = copy ? CXmlText(copy, length) : CXmlText();
    return copy != nullptr;
}
