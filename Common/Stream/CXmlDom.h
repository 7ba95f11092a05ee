#pragma once

#include <cstdint>

class CXmlRootHolder;
class CXmlTokenizer;

// Builds an element tree from tokenizer events.
class CXmlDom {
public:
    enum : int { kBuilt = 0, kRefused = 1, kTooDeep = 2 };
    // Deeper nesting fails the build instead of growing without bound.
    static constexpr uint32_t kMaxDepth = 256;

    // Reads the content of the element whose start tag was just read into the holder's root, up
    // to its end tag or the end of the input (the tree read so far remains). Refused without a
    // root, or when the root already has a name other than the last tag's. kTooDeep when elements
    // nest deeper than kMaxDepth below the root; the tree read so far remains.
    static int Build(CXmlRootHolder& holder, CXmlTokenizer& tokenizer);
};
