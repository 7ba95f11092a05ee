#include "Common/Stream/CXmlElementScope.h"

#include "Common/Stream/CXmlTagWriter.h"

CXmlElementScope::CXmlElementScope(CXmlTagWriter& writer)
    : fWriter(writer), fParent(nullptr), fStarted(true), fContent(true) {}

CXmlElementScope::CXmlElementScope(CXmlElementScope& parent, const LString& name)
    : fWriter(parent.fWriter), fParent(&parent), fName(name), fStarted(false), fContent(false) {}

void CXmlElementScope::Start() {
    if (fStarted) return;
    if (fParent) fParent->BeginContent();
    fWriter.OpenTag();
    fWriter.Name(fName);
    fStarted = true;
}

void CXmlElementScope::BeginContent() {
    Start();
    if (fContent) return;
    fWriter.CloseTag();
    fWriter.LineEnd();
    fContent = true;
}

void CXmlElementScope::BeginInlineContent() {
    Start();
    if (fContent) return;
    fWriter.CloseTag();
    fContent = true;
}

void CXmlElementScope::End() {
    if (!fStarted || !fParent) return;
    if (fContent) {
        fWriter.OpenEndTag();
        fWriter.Name(fName);
        fWriter.CloseTag();
    } else {
        fWriter.CloseEmptyTag();
    }
    fWriter.LineEnd();
    fStarted = false;  // ends once
}
