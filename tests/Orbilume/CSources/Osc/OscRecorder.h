#pragma once

#include <string>
#include <vector>

#include "Orbilume/CSources/Osc/OscArg.h"
#include "Orbilume/CSources/Osc/OscListener.h"
#include "Orbilume/CSources/Osc/OscPattern.h"

namespace osctest {

// A listener stub: keeps each message as "address ,tags args…" and checks it against listener
// addresses given beforehand.
class OscRecorder : public OscListener {
public:
    void NotifyOsc(OscPattern& pattern, const OscArg* args, uint32_t count) override {
        std::string text;
        std::string tags;
        for (uint32_t i = 0; i < count; ++i) {
            tags += char(args[i].tag);
            if (args[i].tag == 'b')
                text += " b" + std::to_string(args[i].size);
            else if (args[i].tag == 'f')
                text += " " + args[i].AsText(2);
            else if (args[i].tag != 'N' && args[i].tag != 'I')
                text += " " + args[i].AsText(0);
        }
        std::string matched;
        for (const auto& a : addresses)
            if (pattern.IsMatch(a.c_str())) matched += matched.empty() ? a : "|" + a;
        messages.push_back(matched + " ," + tags + text);
        argsOfLast.assign(args, args + count);
        if (onMessage) onMessage();
    }
    std::vector<std::string> addresses;
    std::vector<std::string> messages;
    std::vector<OscArg> argsOfLast;
    void (*onMessage)() = nullptr;
};

}  // namespace osctest
