#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CXmlElement;

// Breadth-first walk over an element tree: the start element, its children, its grandchildren, each
// level in document order. The queue drops what was read once fewer than twice the read position
// entries remain, so it stays about as long as the widest level.
class CColladaTreeWalker {
public:
    // start null: the root.
    CColladaTreeWalker(CXmlElement* root, CXmlElement* start);
    void Reset(CXmlElement* start);
    // False at the end; else current() is the next element.
    bool Next();
    CXmlElement* current() const { return fCurrent; }

private:
    void Push(CXmlElement* e);

    CXmlElement* fRoot;
    std::vector<CXmlElement*> fQueue;
    size_t fRead = 0;
    CXmlElement* fCurrent = nullptr;
};
