#pragma once

#include <cstdlib>
#include <string>
#include <vector>

namespace testsupport {

// The values of olad's get_dmx answer ({"dmx":[v, v, ...], ...}); empty when it holds no list.
inline std::vector<int> OlaDmxValues(const std::string& json) {
    std::vector<int> values;
    const size_t open = json.find('['), close = json.find(']');
    if (open == std::string::npos || close == std::string::npos || close < open) return values;
    const std::string list = json.substr(open + 1, close - open - 1);
    size_t at = 0;
    while (at < list.size()) {
        values.push_back(std::atoi(list.c_str() + at));
        const size_t comma = list.find(',', at);
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return values;
}

}  // namespace testsupport
