#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Common/Stream/CXmlArena.h"
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

// Text held by a tree: bytes followed by a NUL, valid as long as what holds it.
class CXmlText {
public:
    CXmlText() = default;
    CXmlText(const unsigned char* text, uint32_t length) : fText(text), fLength(length) {}

    const unsigned char* Text() const { return fText ? fText : reinterpret_cast<const unsigned char*>(""); }
    const char* CStr() const { return reinterpret_cast<const char*>(Text()); }
    uint32_t Length() const { return fLength; }
    bool IsEmpty() const { return fLength == 0; }
    LString ToString() const { return LString(Text(), fLength); }

    friend bool operator==(const CXmlText& a, const LString& b) {
        return a.fLength == b.Length() && std::memcmp(a.Text(), b.Text(), a.fLength) == 0;
    }

private:
    const unsigned char* fText = nullptr;
    uint32_t fLength = 0;
};

// One attribute: name and value (line ends made LF), kept where its element keeps its texts.
class CXmlAttribute : public SSLink {
public:
    ~CXmlAttribute() override { std::free(fOwned); }
    CXmlAttribute(const CXmlAttribute&) = delete;
    CXmlAttribute& operator=(const CXmlAttribute&) = delete;

    const CXmlText& Name() const { return fName; }
    const CXmlText& Value() const { return fValue; }

private:
    friend class CXmlElement;
    CXmlAttribute() = default;

    CXmlText fName;
    CXmlText fValue;
    unsigned char* fOwned = nullptr;  // the texts, when they are not an arena's
};

// An element of an in-memory tree: name (after the first colon of the tag name) and prefix
// (before it), the element's text (all its direct text pieces joined), attributes and children in
// document order, and one attached object. An element owns its attributes, children and
// attachment. An element made with an arena keeps its texts and attributes there (a replaced
// text stays until the arena goes); one made without keeps its own.
class CXmlElement : public SSLink {
public:
    CXmlElement() = default;
    explicit CXmlElement(CXmlArena* arena) : fArena(arena) {}
    ~CXmlElement() override;
    CXmlElement(const CXmlElement&) = delete;
    CXmlElement& operator=(const CXmlElement&) = delete;

    // An element made in the arena itself (null when memory runs out); Destroy deletes it.
    [[nodiscard]] static CXmlElement* New(CXmlArena& arena);
    // Deletes an element however it was made.
    static void Destroy(CXmlElement* element);

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
    // Appends an attribute; false when memory runs out.
    [[nodiscard]] bool AddAttribute(const unsigned char* name, uint32_t nameLength,
                                    const unsigned char* value, uint32_t valueLength);

    CXmlElement* Parent() const { return fParent; }
    const CXmlText& Name() const { return fName; }
    const CXmlText& Prefix() const { return fPrefix; }
    const CXmlText& Text() const { return fText; }
    // Children and attributes: walk with First() and next until IsEnd().
    const LSLinkBase& Children() const { return fChildren; }
    const LSLinkBase& Attributes() const { return fAttributes; }
    uint32_t ChildCount() const { return fChildren.Count(); }

    // The tag name split at its first colon. False when memory runs out (the name is then empty).
    [[nodiscard]] bool SetTagName(const unsigned char* text, uint32_t length);
    [[nodiscard]] bool SetTagName(const LString& tagName) {
        return SetTagName(tagName.Text(), tagName.Length());
    }
    [[nodiscard]] bool SetText(const unsigned char* text, uint32_t length);
    [[nodiscard]] bool SetText(const LString& text) { return SetText(text.Text(), text.Length()); }

private:
    // A copy of the text (and a NUL) where the element keeps its texts, replacing `owned` without
    // an arena; null when memory runs out.
    unsigned char* Copy(const unsigned char* text, uint32_t length, unsigned char*& owned);

    CXmlArena* fArena = nullptr;
    bool fPlaced = false;  // the element itself lives in the arena
    CXmlElement* fParent = nullptr;
    CXmlText fName;
    CXmlText fPrefix;
    CXmlText fText;
    // Without an arena: the copies fName and fPrefix, and fText, point into.
    unsigned char* fTagCopy = nullptr;
    unsigned char* fTextCopy = nullptr;
    LSLinkBase fAttributes;
    LSLinkBase fChildren;
    CXmlAttachable* fAttached = nullptr;
};

// Owns the root element of a tree (an empty element from the start) and the tree's arena.
class CXmlRootHolder {
public:
    CXmlRootHolder() : fRoot(new CXmlElement(&fArena)) {}
    ~CXmlRootHolder() { CXmlElement::Destroy(fRoot); }
    CXmlRootHolder(const CXmlRootHolder&) = delete;
    CXmlRootHolder& operator=(const CXmlRootHolder&) = delete;

    CXmlElement* Root() const { return fRoot; }
    CXmlArena& Arena() { return fArena; }

private:
    CXmlArena fArena;  // goes after the tree
    CXmlElement* fRoot;
};
