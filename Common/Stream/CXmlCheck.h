#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A strict well-formedness check of a whole XML text held in memory, made before a forgiving
// reader takes it: no zero byte (an optional byte-order mark), one root element whose start and end tags
// balance and match, quoted attributes, known entity and character references, closed comments,
// CDATA sections, processing instructions and document type declarations, and nothing but white
// space, comments and processing instructions after the root. Work is linear in the input; the open
// elements are kept as offsets, at most kMaxDepth of them.
struct SXmlCheck {
    static constexpr uint32_t kMaxDepth = 100000;

    bool ok = false;
    uint32_t line = 0;        // 1-based line of the first fault (0 when ok)
    const char* reason = "";  // the fault, a static text
    std::string rootName;     // the root element's name (when one started)
    uint32_t deepest = 0;     // the most elements open at once, the root counted
};

[[nodiscard]] SXmlCheck CheckXmlWellFormed(const unsigned char* text, size_t length);
