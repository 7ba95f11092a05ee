#include "Orbilume/CSources/Models/CColladaDoc.h"

#include <cstring>

#include "Common/File/CFileURLU.h"
#include "Common/Internet/CURL.h"
#include "Common/Stream/CXmlDom.h"
#include "Common/Stream/CXmlElement.h"
#include "Common/Stream/CXmlReader.h"
#include "Common/Stream/CXmlTokenizer.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Orbilume/CSources/Models/CColladaMaterial.h"
#include "Orbilume/CSources/Models/CColladaTreeWalker.h"
#include "Orbilume/CSources/Models/UColladaXml.h"
#include "Orbilume/CSources/Models/UMat4.h"

CColladaDoc::CColladaDoc(const LFsSpec& spec) : fSpec(spec) {
    UBox3::SetEmpty(fBounds);
    UMat4::Identity(fViewMatrix);
}

CColladaMaterial* CColladaDoc::NewMaterial() {
    return new CColladaMaterial;
}

CColladaDoc::~CColladaDoc() {
    CBitTrie::Clear(fIdIndex);
    fSurfaces.clear();
    fXml.reset();
}

bool CColladaDoc::ReadXml(LCharIn& in) {
    CBitTrie::Clear(fIdIndex);
    fSurfaces.clear();
    fXml.reset();
    CXmlTokenizer tokenizer(in);
    LString tag = CXmlReader::NextStartTag(tokenizer);
    if (tag.IsEmpty()) return false;
    auto holder = std::make_unique<CXmlRootHolder>();
    if (!UColladaXml::SetTagName(holder->Root(), tag)) return false;
    if (CXmlDom::Build(*holder, tokenizer) != CXmlDom::kBuilt) return false;
    fXml = std::move(holder);
    return true;
}

CXmlElement* CColladaDoc::root() const {
    return fXml ? fXml->Root() : nullptr;
}

void CColladaDoc::DropUnsupportedProfiles() {
    CXmlElement* r = root();
    if (!r) return;
    // Effects hold their profiles as children: checking every element's children finds them all.
    std::vector<CXmlElement*> stack{r};
    while (!stack.empty()) {
        CXmlElement* e = stack.back();
        stack.pop_back();
        bool effect = UColladaXml::NameIs(e, "effect");
        for (CXmlElement* c = UColladaXml::FirstChild(e); c;) {
            CXmlElement* next = UColladaXml::Next(c);
            if (effect && (UColladaXml::NameIs(c, "profile_CG") || UColladaXml::NameIs(c, "profile_GLES")))
                CXmlElement::DeleteChild(e, c);
            else
                stack.push_back(c);
            c = next;
        }
    }
}

void CColladaDoc::BuildIdIndex() {
    CBitTrie::Clear(fIdIndex);
    CColladaTreeWalker walker(root(), nullptr);
    while (walker.Next()) {
        LString id = walker.current()->GetAttribute("id");
        if (id.IsEmpty()) continue;
        auto* entry = new IdEntry(id, walker.current());
        if (CBitTrieNode* old = CBitTrie::Insert(fIdIndex, entry)) {
            old->fKey = entry->fKey;
            static_cast<IdEntry*>(old)->element = entry->element;
            delete entry;
        }
    }
}

CXmlElement* CColladaDoc::FindById(const LString& id) const {
    CBitTrieNode probe(id);
    CBitTrieNode* found = CBitTrie::Find(fIdIndex, probe);
    return found ? static_cast<IdEntry*>(found)->element : nullptr;
}

CXmlElement* CColladaDoc::ResolveUrl(const LString& url) const {
    if (url.IsEmpty()) return nullptr;
    CURL u(url.Text());
    // Only references into this document ("#id") name elements.
    if (!u.Scheme().IsEmpty() || !u.Authority().IsEmpty() || !u.Path().IsEmpty()) return nullptr;
    return FindById(u.Fragment());
}

CXmlElement* CColladaDoc::ResolveInstance(CXmlElement* referrer, const char* attribute,
                                          const char* expected) {
    if (!referrer) return nullptr;
    CXmlElement* found = ResolveUrl(referrer->GetAttribute(attribute));
    if (!found || !UColladaXml::NameIs(found, expected)) return nullptr;
    uint32_t depth = UColladaXml::Depth(referrer) + 1;
    if (depth >= kMaxTreeDepth) return nullptr;
    CXmlElement* copy = UColladaXml::CopyTree(found, fCopyBudget, fCopyBytes, kMaxTreeDepth - depth);
    if (!copy) {
        fCopyBudget = 0;  // a refused copy ends all copying: the file asks for too much
        return nullptr;
    }
    referrer->AppendChild(copy);
    return copy;
}

CXmlElement* CColladaDoc::FindSidInScope(CXmlElement* start, CXmlElement* leftOut, const LString& sid) const {
    CColladaTreeWalker walker(root(), nullptr);
    for (CXmlElement* scope = start; scope; leftOut = scope, scope = scope->Parent()) {
        for (CXmlElement* c = UColladaXml::FirstChild(scope); c; c = UColladaXml::Next(c)) {
            if (c == leftOut) continue;
            walker.Reset(c);
            while (walker.Next())
                if (walker.current()->GetAttribute("sid") == sid) return walker.current();
        }
    }
    return nullptr;
}

CXmlElement* CColladaDoc::scene() const {
    return root() ? root()->FindChild("scene") : nullptr;
}

CXmlElement* CColladaDoc::FindIdBelowScene(const LString& id) const {
    CXmlElement* s = scene();
    if (!s) return nullptr;
    CColladaTreeWalker walker(root(), s);
    while (walker.Next())
        if (walker.current()->GetAttribute("id") == id) return walker.current();
    return nullptr;
}

bool CColladaDoc::ResolveFile(const LString& text, LFsSpec& out) const {
    if (text.IsEmpty() || fSpec.IsEmpty()) return false;
    // The spec's path starts with its volume: as "/Volumes/<volume>/..." it resolves on any volume.
    CURL base(fSpec.Text());
    LVariStr<256> path;
    path.Append("/Volumes");
    path.Append(base.Path());
    base.SetPath(LString(path));
    CURL url(text.Text());
    url.Inherit(base, false);
    if (!url.Scheme().IsEmpty() && !url.isscheme("file")) return false;
    if (!url.Authority().IsEmpty() && !(url.Authority() == "localhost")) return false;
    return CFileURLU::GetFileSpec(url.GetString().Text(), out, false);
}

void CColladaDoc::SetViewMatrix(const float* m) {
    std::memcpy(fViewMatrix, m, sizeof(fViewMatrix));
    fViewMatrixSet = true;
}
