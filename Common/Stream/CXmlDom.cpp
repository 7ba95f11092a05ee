#include "Common/Stream/CXmlDom.h"

#include <cstring>

#include "Common/Stream/CXmlElement.h"
#include "Common/Stream/CXmlTokenizer.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/String/CStrU.h"

namespace {

// Text of the open elements, one builder per nesting level, so that text split by many children
// is joined in linear time.
class OpenTexts {
public:
    OpenTexts() : fTexts(new LVariStr<64>[CXmlDom::kMaxDepth + 1]) {}
    ~OpenTexts() { delete[] fTexts; }
    OpenTexts(const OpenTexts&) = delete;
    OpenTexts& operator=(const OpenTexts&) = delete;

    LVariStr<64>& At(uint32_t depth) { return fTexts[depth]; }
    // Appends the level's text to the element's and empties the level; false when memory ran out.
    bool Close(uint32_t depth, CXmlElement* element) {
        LVariStr<64>& t = fTexts[depth];
        bool stored = true;
        if (t.Length()) {
            if (element->Text().IsEmpty()) {
                stored = element->SetText(t.Text(), t.Length());
            } else {
                LVariStr<64> joined;
                joined.Append(element->Text().Text(), element->Text().Length());
                joined.Append(t.Text(), t.Length());
                stored = element->SetText(joined.Text(), joined.Length());
            }
        }
        t.Reset();
        return stored;
    }

private:
    LVariStr<64>* fTexts;
};

}  // namespace

int CXmlDom::Build(CXmlRootHolder& holder, CXmlTokenizer& tokenizer) {
    CXmlElement* root = holder.Root();
    if (!root) return kRefused;
    if (!root->Name().IsEmpty() && !(root->Name() == tokenizer.TagName())) return kRefused;

    OpenTexts texts;
    LVariStr<256> valueText;
    LVariStr<256> normalized;
    CXmlElement* current = root;
    uint32_t depth = 0;  // the parent chain is the stack of open elements
    int result = kBuilt;
    for (bool done = false; !done;) {
        switch (tokenizer.Next()) {
            case CXmlTokenizer::kAttribute: {
                valueText.Reset();
                tokenizer.ReadValue(valueText);
                const LStrBuf* value = &valueText;
                if (std::memchr(valueText.Text(), '\r', valueText.Length())) {
                    normalized.Reset();
                    CStrU::NormalizeEOL(valueText.Text(), normalized);
                    value = &normalized;
                }
                const LString& name = tokenizer.AttrName();
                if (!current->AddAttribute(name.Text(), name.Length(), value->Text(), value->Length())) {
                    result = kNoMemory;
                    done = true;
                }
                break;
            }
            case CXmlTokenizer::kText:
                tokenizer.TakeText(texts.At(depth));
                break;
            case CXmlTokenizer::kStartTag: {
                if (depth == kMaxDepth) {
                    result = kTooDeep;
                    done = true;
                    break;
                }
                CXmlElement* child = CXmlElement::New(holder.Arena());
                if (!child) {
                    result = kNoMemory;
                    done = true;
                    break;
                }
                current->AppendChild(child);
                if (!child->SetTagName(tokenizer.TagName())) {
                    result = kNoMemory;
                    done = true;
                    break;
                }
                current = child;
                ++depth;
                break;
            }
            case CXmlTokenizer::kEndTag:
                if (depth == 0) {
                    done = true;
                    break;
                }
                if (!texts.Close(depth, current)) {
                    result = kNoMemory;
                    done = true;
                    break;
                }
                current = current->Parent();
                --depth;
                break;
            default:
                done = true;
                break;
        }
    }
    // Whatever is still open keeps the text read so far.
    for (; current; current = current->Parent(), --depth) {
        if (!texts.Close(depth, current)) result = kNoMemory;
        if (depth == 0) break;
    }
    return result;
}
