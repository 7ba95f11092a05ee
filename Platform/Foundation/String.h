#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Platform/Foundation/Object.h"
#include "Platform/Foundation/TextEncoding.h"

namespace plat {

// Immutable text held as UTF-16, the platform's string object. Create calls hand out an owned
// reference.
class String : public Object {
public:
    // Null when the bytes are not valid in the encoding (only UTF-8 and UTF-16 can be invalid).
    static Ref<String> Create(const uint8_t* bytes, size_t length, TextEncoding encoding);
    static Ref<String> CreateWithCharacters(const char16_t* units, size_t count);
    // The shared empty string, retained for the caller.
    static Ref<String> CreateEmpty();

    const char16_t* Characters() const { return fText.data(); }
    size_t Length() const { return fText.size(); }
    const std::u16string& Text() const { return fText; }

    // The text in an encoding; characters it cannot hold become `loss`. False when any did.
    bool GetBytes(TextEncoding encoding, std::string& out, char loss = '?') const;

private:
    explicit String(std::u16string text) : fText(std::move(text)) {}

    std::u16string fText;
};

}  // namespace plat
