#include "Platform/Foundation/String.h"

#include <cstring>

namespace plat {

Ref<String> String::Create(const uint8_t* bytes, size_t length, TextEncoding encoding) {
    std::u16string text;
    switch (encoding) {
        case TextEncoding::kUtf8:
            if (!DecodeUtf8(bytes, length, text)) return nullptr;
            break;
        case TextEncoding::kUtf16:
            if (length % 2) return nullptr;
            text.resize(length / 2);
            if (length) std::memcpy(text.data(), bytes, length);
            break;
        case TextEncoding::kMacRoman:
            DecodeMacRoman(bytes, length, text);
            break;
    }
    return Adopt(new String(std::move(text)));
}

Ref<String> String::CreateWithCharacters(const char16_t* units, size_t count) {
    return Adopt(new String(std::u16string(units, count)));
}

Ref<String> String::CreateEmpty() {
    static String* const empty = new String(std::u16string());  // kept for the process
    return RetainRef(empty);
}

bool String::GetBytes(TextEncoding encoding, std::string& out, char loss) const {
    switch (encoding) {
        case TextEncoding::kUtf8:
            EncodeUtf8(fText.data(), fText.size(), out);
            return true;
        case TextEncoding::kUtf16:
            out.append(reinterpret_cast<const char*>(fText.data()), fText.size() * 2);
            return true;
        case TextEncoding::kMacRoman:
            return EncodeMacRoman(fText.data(), fText.size(), out, loss);
    }
    return false;
}

}  // namespace plat
