#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"

class CXmlElement;

// Element-tree helpers the COLLADA reader shares: names, texts, child walks and the bounded deep copy
// that instance references make. Only the element tree's public interface is used.
class UColladaXml {
public:
    static bool NameIs(const CXmlElement* e, const char* name);
    static LString Name(const CXmlElement* e);
    static LString Text(const CXmlElement* e);
    // The first token of the element's text ("" when none).
    static LString FirstToken(const CXmlElement* e);

    // Sets the tag name (split at its first colon); false when memory runs out.
    [[nodiscard]] static bool SetTagName(CXmlElement* e, const LString& tag);

    static CXmlElement* FirstChild(const CXmlElement* e);
    // The sibling after e, or null at the end.
    static CXmlElement* Next(const CXmlElement* e);
    // The next child named name after `after` (the first one when after is null), or null.
    static CXmlElement* FindChild(const CXmlElement* e, const char* name, const CXmlElement* after = nullptr);

    // The number of ancestors of e.
    static uint32_t Depth(const CXmlElement* e);
    // Copies name, prefix, text, attributes and children of src (not the attachments), taking one
    // element and its text and attribute bytes from the budgets; null, with nothing left behind, when
    // a budget runs out or memory does. Iterative, so deep trees copy without deep recursion. maxDepth bounds
    // the copy's own depth (levels below src); deeper trees are refused.
    static CXmlElement* CopyTree(const CXmlElement* src, uint64_t& budget, uint64_t& bytes,
                                 uint32_t maxDepth);
};
