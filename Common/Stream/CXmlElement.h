#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LSLinkBase.h"
#include "Lib3/LSources/CoreString/LString.h"

class CXmlElement;

// An object a reader hangs on an element while it interprets the document; the element owns it.
class CXmlAttachable {
public:
    CXmlAttachable() = default;
    virtual ~CXmlAttachable() = default;
    CXmlAttachable(const CXmlAttachable&) = delete;
    CXmlAttachable& operator=(const CXmlAttachable&) = delete;

    CXmlElement* fOwner = nullptr;
};

// One attribute: name and value (line ends made LF).
class CXmlAttribute : public SSLink {
public:
    CXmlAttribute(const LString& name, const LString& value) : fName(name), fValue(value) {}

    LString fName;
    LString fValue;
};

// An element of an in-memory tree: name (after the first colon of the tag name) and prefix
// (before it), the element's text (all its direct text pieces joined), attributes and children in
// document order, and one attached object. An element owns its attributes, children and
// attachment.
class CXmlElement : public SSLink {
public:
    CXmlElement() = default;
    ~CXmlElement() override;
    CXmlElement(const CXmlElement&) = delete;
    CXmlElement& operator=(const CXmlElement&) = delete;

    // Deletes the previous attachment; the new one (or null) learns its owner.
    void Attach(CXmlAttachable* object);
    CXmlAttachable* Attached() const { return fAttached; }

    // The first child named exactly name, or null.
    CXmlElement* FindChild(const char* name) const;
    CXmlAttribute* FindAttribute(const char* name) const;
    // The attribute's value, or "" when there is none.
    LString GetAttribute(const char* name) const;
    // Unlinks the child (when this element is given) and deletes it.
    static void DeleteChild(CXmlElement* element, CXmlElement* child);

    // Appends; the element takes ownership.
    void AppendChild(CXmlElement* child);
    void AppendAttribute(CXmlAttribute* attribute) { fAttributes.Append(attribute); }

    CXmlElement* Parent() const { return fParent; }
    const LString& Name() const { return fName; }
    const LString& Prefix() const { return fPrefix; }
    const LString& Text() const { return fText; }
    // Children and attributes: walk with First() and next until IsEnd().
    const LSLinkBase& Children() const { return fChildren; }
    const LSLinkBase& Attributes() const { return fAttributes; }
    uint32_t ChildCount() const { return fChildren.Count(); }

    // The tag name split at its first colon.
    void SetTagName(const LString& tagName);
    void SetText(const LString& text) { fText = text; }

private:
    CXmlElement* fParent = nullptr;
    LString fName;
    LString fPrefix;
    LString fText;
    LSLinkBase fAttributes;
    LSLinkBase fChildren;
    CXmlAttachable* fAttached = nullptr;
};

// Owns the root element of a tree (an empty element from the start).
class CXmlRootHolder {
public:
    CXmlRootHolder() : fRoot(new CXmlElement) {}
    ~CXmlRootHolder() { delete fRoot; }
    CXmlRootHolder(const CXmlRootHolder&) = delete;
    CXmlRootHolder& operator=(const CXmlRootHolder&) = delete;

    CXmlElement* Root() const { return fRoot; }

private:
    CXmlElement* fRoot;
};
