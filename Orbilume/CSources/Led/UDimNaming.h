#pragma once

#include <string>
#include <string_view>

// Names typed for LED fixture definitions.
struct UDimNaming {
    static constexpr size_t kMaxBytes = 255;

    // Keeps spaces, "(", ")", "-", "_", ASCII letters and digits and every byte from 0x80; any other
    // byte becomes "_". At most kMaxBytes, cut back to the start of a UTF-8 sequence.
    static std::string Clean(std::string_view typed);
};
