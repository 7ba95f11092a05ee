// Runs the multipart boundary scanner over arbitrary bodies (the first line is the boundary) and
// compares the parts it delimits with a direct search for the delimiter lines.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Common/Internet/CBoundaryScanner.h"

namespace {

struct Split {
    std::vector<std::string> complete;  // preamble and parts closed by a whole delimiter line
    bool ended = false;
};

// A delimiter is "--" and the boundary at the body's or a part's start, or CR LF "--" and the
// boundary anywhere; its line runs to the next LF, and "--" right after it closes the body.
Split Direct(const std::string& body, const std::string& boundary) {
    Split s;
    std::string current;
    const std::string dash = "--" + boundary;
    const std::string crlf = "\r\n" + dash;
    size_t partStart = 0;
    for (size_t p = 0; p < body.size();) {
        size_t q = std::string::npos;
        if (p == partStart && body.compare(p, dash.size(), dash) == 0)
            q = p + dash.size();
        else if (body.compare(p, crlf.size(), crlf) == 0)
            q = p + crlf.size();
        if (q == std::string::npos) {
            current.push_back(body[p++]);
            continue;
        }
        const bool closing = body.compare(q, 2, "--") == 0;
        const size_t lf = body.find('\n', q);
        if (lf == std::string::npos) break;
        s.complete.push_back(current);
        current.clear();
        if (closing) {
            s.ended = true;
            break;
        }
        p = partStart = lf + 1;
    }
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    size_t split = 0;
    while (split < size && split < 72 && data[split] != '\n') ++split;
    const std::string boundary(reinterpret_cast<const char*>(data), split);
    const size_t from = split + (split < size);
    const std::string body(reinterpret_cast<const char*>(data) + from, size - from);

    CBoundaryScanner scanner{LString(boundary.c_str())};
    Split got;
    std::string current;
    for (char c : body) {
        const int answer = scanner.Feed(static_cast<uint8_t>(c));
        // Nothing but a boundary line's own bytes is ever held back.
        if (scanner.HeldCount() > boundary.size() + 5) std::abort();
        if (answer == CBoundaryScanner::kData) {
            current.push_back(c);
        } else if (answer == CBoundaryScanner::kFlush) {
            current.append(reinterpret_cast<const char*>(scanner.Held()), scanner.HeldCount());
        } else if (answer == CBoundaryScanner::kNextPart || answer == CBoundaryScanner::kEnd) {
            got.complete.push_back(current);
            current.clear();
            if (answer == CBoundaryScanner::kEnd) {
                got.ended = true;
                break;
            }
        } else if (answer != CBoundaryScanner::kHeld) {
            std::abort();
        }
    }
    // The scanner sees a boundary only when it is non-empty and holds no line end or NUL.
    if (boundary.empty() || boundary.find_first_of(std::string("\r\0", 2)) != std::string::npos) return 0;
    const Split expected = Direct(body, boundary);
    if (got.ended != expected.ended || got.complete != expected.complete) std::abort();
    return 0;
}
