#include "Orbilume/CSources/QCx/PickLocalText.h"

#include <cstring>
#include <string>

#include "Lib3/LSources/CoreData/LVariBufferBase.h"
#include "Lib3/LSources/String/CMacUniConv.h"

namespace {

// Whether the item survives the system encoding's conversion to UTF-8 unchanged.
bool ReadsTheSame(const std::string& item) {
    LVariBuffer<unsigned char> out;
    const uint32_t n =
        CMacUniConv::Shared().CStringToText(item.data(), static_cast<uint32_t>(item.size()), out);
    return n == item.size() && (n == 0 || std::memcmp(out.Data(), item.data(), n) == 0);
}

}  // namespace

LString PickLocalText(const unsigned char* text, uint32_t length) {
    std::string picked, item;
    bool quoted = false, first = true, ended = false;
    auto finish = [&] {
        if (first)
            picked = item;
        else if (!item.empty() && ReadsTheSame(item))
            picked = item;
        first = false;
        item.clear();
    };
    for (uint32_t i = 0; i < length && !ended; ++i) {
        const unsigned char c = text[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == ',') {
            finish();
        } else if (!quoted && (c == '\n' || c == '\r')) {
            ended = true;
        } else {
            item.push_back(static_cast<char>(c));
        }
    }
    finish();
    return LString(picked.data(), static_cast<uint32_t>(picked.size()));
}

LString PickLocalText(const LString& text) {
    return PickLocalText(text.Text(), text.Length());
}
