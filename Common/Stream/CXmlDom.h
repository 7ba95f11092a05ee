#pragma once

#include <cstdint>

class CXmlRootHolder;
class CXmlTokenizer;

// Builds an element tree from tokenizer events.
class CXmlDom {
public:
    enum : int { kBuilt = 0, kRefused = 1, kTooDeep = 2, kNoMemory = 3 };
    // Deeper nesting fails the build instead of growing without bound.
    static constexpr uint32_t kMaxDepth = 256;

    // Reads the content of the element whose start tag was just read into the holder's root, up
    // to its end tag or the end of the input (the tree read so far remains). Refused without a
    // root, or when the root already has a name other than the last tag's. kTooDeep when elements
    // nest deeper than kMaxDepth below the root, kNoMemory when the tree's arena could not grow;
    // the tree read so far remains in both cases. Elements, attributes and texts are made in the
    // holder's arena.
    static int Build(CXmlRootHolder& holder, CXmlTokenizer& tokenizer);
};
