#include "Common/Stream/CXmlDom.h"

#include "Common/Stream/CXmlElement.h"
#include "Common/Stream/CXmlTokenizer.h"
#include "Lib3/LSources/CoreString/LTextCache.h"
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
    // Appends the level's text to the element's and empties the level.
    void Close(uint32_t depth, CXmlElement* element) {
        LVariStr<64>& t = fTexts[depth];
        if (t.Length()) {
            LVariStr<64> joined;
            joined.Append(element->Text());
            joined.Append(t.Text(), t.Length());
            element->SetText(LString(joined.Text(), joined.Length()));
        }
        t.Free();
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
    LTextCache values;  // attribute values repeat
    CXmlElement* current = root;
    uint32_t depth = 0;  // the parent chain is the stack of open elements
    int result = kBuilt;
    for (bool done = false; !done;) {
        switch (tokenizer.Next()) {
            case CXmlTokenizer::kAttribute: {
                valueText.Reset();
                tokenizer.ReadValue(valueText);
                LString value = CStrU::NormalizeEOL(values.Text(valueText.Text(), valueText.Length()));
                current->AppendAttribute(new CXmlAttribute(tokenizer.AttrName(), value));
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
                auto* child = new CXmlElement;
                child->SetTagName(tokenizer.TagName());
                current->AppendChild(child);
                current = child;
                ++depth;
                break;
            }
            case CXmlTokenizer::kEndTag:
                if (depth == 0) {
                    done = true;
                    break;
                }
                texts.Close(depth, current);
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
        texts.Close(depth, current);
        if (depth == 0) break;
    }
    return result;
}
