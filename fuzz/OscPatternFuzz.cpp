// An OSC address pattern: compile it, then match a few addresses (and the text itself).
#include <cstddef>
#include <cstdint>
#include <string>

#include "Orbilume/CSources/Osc/OscPattern.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 10000) return 0;
    std::string text(reinterpret_cast<const char*>(data), size);
    OscPattern pattern;
    pattern.Compile(text.c_str());
    static const char* const addresses[] = {"/dmx", "/layer/1/opacity", "/a/b", "/", "/ping", "/x-y/[z]"};
    for (const char* a : addresses) {
        (void)pattern.IsMatch(a);
        (void)pattern.Match(a);
    }
    (void)pattern.IsMatch(text.c_str());
    return 0;
}
