// Tokenizes arbitrary bytes, reading values and element text by turns, then builds an element tree.
#include <cstddef>
#include <cstdint>

#include "Common/Stream/CXmlDom.h"
#include "Common/Stream/CXmlElement.h"
#include "Common/Stream/CXmlReader.h"
#include "Common/Stream/CXmlTokenizer.h"
#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LVariStr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        LCStrCharIn in(data, static_cast<uint32_t>(size));
        CXmlTokenizer t(in);
        LVariStr<64> text;
        uint32_t n = 0;
        for (int e; (e = t.Next()) != CXmlTokenizer::kEnd; ++n) {
            if (e == CXmlTokenizer::kAttribute && n % 2) t.ReadValue();
            if (e == CXmlTokenizer::kText) t.TakeText(text);
            if (e == CXmlTokenizer::kStartTag && n % 3 == 0) {
                CXmlReader r(t);
                unsigned char c;
                while (r.Get(c)) {
                }
            }
            if (text.Length() > 65536) text.Reset();
        }
    }
    {
        LCStrCharIn in(data, static_cast<uint32_t>(size));
        CXmlTokenizer t(in);
        if (!CXmlReader::NextStartTag(t).IsEmpty()) {
            CXmlRootHolder holder;
            CXmlDom::Build(holder, t);
        }
    }
    return 0;
}
