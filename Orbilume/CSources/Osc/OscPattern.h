#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A received OSC address compiled into a small automaton, matched against plain listener addresses.
// Wildcards: '*' one or more characters but never '/', '?', '[a-c]', '[!a-c]', '{a,b}'. Blanks and
// control characters are skipped; '#' (or a stray ',', ']', '}', '!') ends the pattern. A malformed
// pattern, one above kMaxText bytes, kMaxStates states or kMaxNesting nested braces has no states
// and matches nothing. Matching keeps one set of states per address position (no backtracking).
class OscPattern {
public:
    enum : int { kNoMatch = 0, kMatch = 1, kNeedsMore = 2 };
    static constexpr uint32_t kMaxText = 8192;
    static constexpr uint32_t kMaxStates = 4096;
    static constexpr uint32_t kMaxNesting = 16;

    void Compile(const char* pattern);
    // kMatch when the whole address matches the whole pattern; kNeedsMore when the address ends where
    // the pattern expects a further '/' (the next Match resumes there); else kNoMatch.
    int Match(const char* address);
    // From the start; true only for kMatch.
    bool IsMatch(const char* address);
    bool IsEmpty() const { return fStates.empty(); }
    uint32_t StateCount() const { return uint32_t(fStates.size()); }

private:
    struct State {
        std::string text;
        std::vector<uint8_t> ranges;  // first, last pairs
        uint16_t next = 0;
        uint16_t alternate = 0;
        uint8_t kind = 0;  // 0 literal or branch, '/', '*', '?', '[', '!'
    };
    struct Fragment {
        uint16_t start;
        uint16_t tail;  // whose next is still open
    };
    class Compiler;
    friend class Compiler;

    bool BracketPasses(const State& s, uint8_t c) const;
    void Add(int set, uint16_t state);
    uint32_t NextStamp();

    std::vector<State> fStates;
    uint16_t fResumeState = 0;
    uint32_t fResumeOffset = 0;
    // Match work: the states of the current and the next position, marks per state.
    std::vector<uint16_t> fSets[2];
    std::vector<uint32_t> fMarks[2];
    struct Later {
        uint16_t state;
        uint32_t position;
    };
    std::vector<Later> fLater;  // literal steps that land further on
    uint32_t fStamp = 0;
    uint32_t fSetStamp[2] = {};
};
