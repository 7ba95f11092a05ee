#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Platform/Foundation/PropertyList.h"

namespace plat {

// Reads an XML property list straight into a Value, giving what libplist's reading gives for every
// document it reads the ordinary way: an optional XML declaration, DOCTYPE and comments around one
// value, with or without the plist element. Integers are read as strtoull reads them (hex with "0x",
// octal with a leading 0) after an optional sign; dates as whole seconds of "YYYY-MM-DDTHH:MM:SSZ".
// Stricter than libplist where it reads on in odd ways: NUL bytes, text after the value, keys outside
// dictionaries, unknown entities, a trailing '&' followed by more text, junk after numbers, badly
// padded base64 and comments inside data, dates and numbers are refused. Recursion is bounded by the
// depth limit.
class XmlPropertyListReader {
public:
    XmlPropertyListReader(const uint8_t* data, size_t size, const PropertyListLimits& limits);
    [[nodiscard]] bool Read(Value& out);

private:
    struct Tag {
        std::string_view name;
        bool closing = false;
        bool empty = false;
    };
    bool SkipMisc();
    bool SkipUntil(std::string_view end, bool quotes);
    bool ReadTag(Tag& tag);
    bool ReadValue(const Tag& tag, uint32_t depth, Value& out);
    bool ReadArray(uint32_t depth, Value& out);
    bool ReadDictionary(uint32_t depth, Value& out);
    // Text up to the closing tag of name; entities decoded when asked. parts counts the runs of
    // text, comments and CDATA sections.
    bool ReadText(std::string_view name, bool entities, std::string& out, int* parts = nullptr);
    bool AppendDecoded(const char* begin, const char* end, std::string& out) const;
    bool Account(uint64_t bytes);

    const char* fPos;
    const char* fEnd;
    const PropertyListLimits& fLimits;
    size_t fNodes = 0;
    uint64_t fBytes = 0;
};

}  // namespace plat
