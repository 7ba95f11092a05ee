#pragma once

#include <string>
#include <vector>

#include "Common/Internet/CBoundaryScanner.h"

// Runs the boundary scanner over a whole body the way the upload parser does.
struct MultipartResult {
    std::string preamble;
    std::vector<std::string> parts;
    bool ended = false;
};

inline MultipartResult SplitMultipart(const std::string& body, const char* boundary) {
    CBoundaryScanner scanner{LString(boundary)};
    MultipartResult r;
    std::string* current = &r.preamble;
    for (char c : body) {
        const int answer = scanner.Feed(static_cast<uint8_t>(c));
        if (answer == CBoundaryScanner::kData) {
            current->push_back(c);
        } else if (answer == CBoundaryScanner::kFlush) {
            current->append(reinterpret_cast<const char*>(scanner.Held()), scanner.HeldCount());
        } else if (answer == CBoundaryScanner::kNextPart) {
            r.parts.emplace_back();
            current = &r.parts.back();
        } else if (answer == CBoundaryScanner::kEnd) {
            r.ended = true;
            break;
        }
    }
    return r;
}
