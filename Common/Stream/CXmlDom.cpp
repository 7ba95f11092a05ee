#include "Common/Stream/CXmlDom.h"

#include "Common/Stream/CXmlElement.h"
#include "Common/Stream/CXmlTokenizer.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/String/CStrU.h"

namespace {

// The buffered text goes after what the element already holds.
void FlushText(CXmlElement* element, LVariStr<64>& buffer) {
    if (buffer.Length() == 0) return;
    if (element->Text().IsEmpty()) {
        element->SetText(LString(buffer.Text(), buffer.Length()));
    } else {
        LVariStr<64> joined;
        joined.Append(element->Text());
        joined.Append(buffer.Text(), buffer.Length());
        element->SetText(LString(joined.Text(), joined.Length()));
    }
    buffer.Reset();
}

}  // namespace

int CXmlDom::Build(CXmlRootHolder& holder, CXmlTokenizer& tokenizer) {
    CXmlElement* root = holder.Root();
    if (!root) return kRefused;
    if (!root->Name().IsEmpty() && !(root->Name() == tokenizer.TagName())) return kRefused;

    CXmlElement* current = root;
    uint32_t depth = 0;  // the parent chain is the stack of open elements
    LVariStr<64> text;
    for (;;) {
        switch (tokenizer.Next()) {
            case CXmlTokenizer::kAttribute: {
                LString value = CStrU::NormalizeEOL(tokenizer.ReadValue());
                current->AppendAttribute(new CXmlAttribute(tokenizer.AttrName(), value));
                break;
            }
            case CXmlTokenizer::kText:
                tokenizer.TakeText(text);
                break;
            case CXmlTokenizer::kStartTag: {
                FlushText(current, text);
                if (depth == kMaxDepth) return kTooDeep;
                auto* child = new CXmlElement;
                child->SetTagName(tokenizer.TagName());
                current->AppendChild(child);
                current = child;
                ++depth;
                break;
            }
            case CXmlTokenizer::kEndTag:
                FlushText(current, text);
                if (depth == 0) return kBuilt;
                current = current->Parent();
                --depth;
                break;
            default:
                FlushText(current, text);
                return kBuilt;
        }
    }
}
