#pragma once

#include "Lib3/LSources/CoreString/LString.h"

class CXmlTagWriter;

// One element being written. Nothing is written until the element starts (its first attribute or
// child); a scope that never starts writes nothing, so an element with nothing to say vanishes.
// The outermost scope has no name and counts as started with content.
class CXmlElementScope {
public:
    // The outermost scope of a document.
    explicit CXmlElementScope(CXmlTagWriter& writer);
    CXmlElementScope(CXmlElementScope& parent, const LString& name);
    CXmlElementScope(const CXmlElementScope&) = delete;
    CXmlElementScope& operator=(const CXmlElementScope&) = delete;

    // "<" and the name, once; makes the parent's content begin first.
    void Start();
    // Start, then once ">" and a line feed.
    void BeginContent();
    // Start, then once ">" without a line feed.
    void BeginInlineContent();
    // When started: "</name>" with content, else "/>"; then a line feed.
    void End();

    CXmlTagWriter& Writer() { return fWriter; }
    const LString& Name() const { return fName; }
    bool IsStarted() const { return fStarted; }

private:
    CXmlTagWriter& fWriter;
    CXmlElementScope* fParent;
    LString fName;
    bool fStarted;
    bool fContent;
};
