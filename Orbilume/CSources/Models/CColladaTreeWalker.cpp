#include "Orbilume/CSources/Models/CColladaTreeWalker.h"

#include "Common/Stream/CXmlElement.h"
#include "Orbilume/CSources/Models/UColladaXml.h"

CColladaTreeWalker::CColladaTreeWalker(CXmlElement* root, CXmlElement* start) : fRoot(root) {
    Reset(start);
}

void CColladaTreeWalker::Reset(CXmlElement* start) {
    fQueue.clear();
    fRead = 0;
    fCurrent = nullptr;
    if (!start) start = fRoot;
    if (start) Push(start);
}

bool CColladaTreeWalker::Next() {
    if (fRead >= fQueue.size()) {
        fCurrent = nullptr;
        return false;
    }
    fCurrent = fQueue[fRead++];
    for (CXmlElement* c = UColladaXml::FirstChild(fCurrent); c; c = UColladaXml::Next(c)) Push(c);
    return true;
}

void CColladaTreeWalker::Push(CXmlElement* e) {
    if (fQueue.size() < 2 * fRead) {
        fQueue.erase(fQueue.begin(), fQueue.begin() + static_cast<std::ptrdiff_t>(fRead));
        fRead = 0;
    }
    fQueue.push_back(e);
}
