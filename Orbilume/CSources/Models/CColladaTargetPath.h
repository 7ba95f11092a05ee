#pragma once

#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Models/CColladaElement.h"

class CColladaDoc;

// Animation targets and parameter references: "id/sid/sid" and then ".member" or "(i)" or "(i)(j)".
// The first segment is an id searched breadth first from the document's "scene"; an empty or "."
// first segment starts at the caller's own element instead; each further segment is a sid searched
// breadth first below the element found before. A path beginning with "/" names nothing. The found
// element's object must accept the member part.
class CColladaTargetPath {
public:
    // Paths with more segments than this name nothing (each segment walks a subtree).
    static constexpr uint32_t kMaxSegments = 64;

    // The element the path names (the member part parsed into target), or null.
    static CXmlElement* FindElement(const CColladaDoc& doc, CXmlElement* own, const LString& path,
                                    SColladaTarget& target);
    // The object that accepts the target (target.valueIndex set), or null.
    static CColladaElement* Resolve(const CColladaDoc& doc, CXmlElement* own, const LString& path,
                                    SColladaTarget& target);
};
