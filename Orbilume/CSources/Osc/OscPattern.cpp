#include "Orbilume/CSources/Osc/OscPattern.h"

#include <cstring>

namespace {
constexpr int kEnd = -1;

bool IsSpecial(uint8_t c) {
    return c && std::strchr("!#*,-/?[]{}", c) != nullptr;
}
}  // namespace

class OscPattern::Compiler {
public:
    Compiler(std::vector<State>& states, const char* text) : fStates(states), fText(text) {}

    bool Run() {
        fStates.clear();
        fStates.emplace_back();  // entry and acceptance
        Fragment f;
        if (!Sequence(f, 0)) return false;
        uint16_t first = f.start;
        uint16_t tail = f.tail;
        while (Peek() == '/') {
            Take();
            uint16_t slash;
            if (!NewState('/', slash)) return false;
            fStates[tail].next = slash;
            Fragment g;
            if (!Sequence(g, 0)) return false;
            fStates[slash].next = g.start;
            fStates[slash].alternate = g.start;
            tail = g.tail;
        }
        uint16_t last;
        if (!NewState(0, last)) return false;
        fStates[tail].next = last;
        fStates[last].next = 0;
        fStates[last].alternate = 0;
        fStates[0].next = first;
        fStates[0].alternate = first;
        return true;
    }

private:
    // The next token: kEnd, a special character, or a literal (256 + code).
    int Peek() {
        while (fText[fPos] != 0 && uint8_t(fText[fPos]) <= 32) ++fPos;
        uint8_t c = uint8_t(fText[fPos]);
        if (c == 0) return kEnd;
        return IsSpecial(c) ? c : 256 + c;
    }
    void Take() {
        if (fText[fPos] != 0) ++fPos;
    }

    bool NewState(uint8_t kind, uint16_t& index) {
        if (fStates.size() >= kMaxStates) return false;
        index = uint16_t(fStates.size());
        fStates.emplace_back();
        fStates.back().kind = kind;
        return true;
    }
    void Link(uint16_t from, uint16_t to) {
        fStates[from].next = to;
        if (fStates[from].kind != '*') fStates[from].alternate = to;
    }

    // Elements until a token that starts none; an empty sequence is one empty state.
    bool Sequence(Fragment& out, uint32_t depth) {
        bool any = false;
        for (;;) {
            int t = Peek();
            Fragment e;
            if (t >= 256 || t == '-') {
                uint16_t s;
                if (!NewState(0, s)) return false;
                while ((t = Peek()) >= 256 || t == '-') {
                    fStates[s].text.push_back(char(t == '-' ? '-' : t - 256));
                    Take();
                }
                e = {s, s};
            } else if (t == '*' || t == '?') {
                Take();
                uint16_t s;
                if (!NewState(uint8_t(t), s)) return false;
                fStates[s].alternate = s;
                e = {s, s};
            } else if (t == '[') {
                Take();
                if (!Bracket(e)) return false;
            } else if (t == '{') {
                Take();
                if (!Braces(e, depth + 1)) return false;
            } else {
                break;
            }
            if (any) {
                Link(out.tail, e.start);
                out.tail = e.tail;
            } else {
                out = e;
                any = true;
            }
        }
        if (!any) {
            uint16_t s;
            if (!NewState(0, s)) return false;
            out = {s, s};
        }
        return true;
    }

    bool Bracket(Fragment& out) {
        uint8_t kind = '[';
        if (Peek() == '!') {
            Take();
            kind = '!';
        }
        uint16_t s;
        if (!NewState(kind, s)) return false;
        for (;;) {
            int t = Peek();
            if (t == ']') {
                Take();
                break;
            }
            if (t < 256) return false;  // unclosed, or a token that has no place here
            Take();
            uint8_t first = uint8_t(t - 256);
            if (Peek() == '-') {
                Take();
                int u = Peek();
                if (u < 256) return false;
                Take();
                fStates[s].ranges.push_back(first);
                fStates[s].ranges.push_back(uint8_t(u - 256));
            } else {
                fStates[s].text.push_back(char(first));
            }
        }
        out = {s, s};
        return true;
    }

    // A branch state per alternative; every alternative ends in one join state.
    bool Braces(Fragment& out, uint32_t depth) {
        if (depth > kMaxNesting) return false;
        uint16_t branch;
        if (!NewState(0, branch)) return false;
        std::vector<Fragment> alternatives;
        for (;;) {
            Fragment a;
            if (!Sequence(a, depth)) return false;
            alternatives.push_back(a);
            int t = Peek();
            Take();
            if (t == '}') break;
            if (t != ',') return false;
        }
        uint16_t join;
        if (!NewState(0, join)) return false;
        // Chain the branches: each leads to its alternative and on to the next branch.
        uint16_t b = branch;
        const size_t n = alternatives.size();
        for (size_t i = 0; i < n; ++i) {
            Link(alternatives[i].tail, join);
            fStates[b].next = alternatives[i].start;
            if (i + 1 == n) {
                fStates[b].alternate = alternatives[i].start;
            } else if (i + 2 == n) {
                fStates[b].alternate = alternatives[i + 1].start;
                Link(alternatives[i + 1].tail, join);
                break;
            } else {
                uint16_t nb;
                if (!NewState(0, nb)) return false;
                fStates[b].alternate = nb;
                b = nb;
            }
        }
        out = {branch, join};
        return true;
    }

    std::vector<State>& fStates;
    const char* fText;
    size_t fPos = 0;
};

void OscPattern::Compile(const char* pattern) {
    fStates.clear();
    fResumeState = 0;
    fResumeOffset = 0;
    if (!pattern || std::strlen(pattern) > kMaxText) return;
    Compiler c(fStates, pattern);
    if (!c.Run()) {
        fStates.clear();
        return;
    }
    for (int i = 0; i < 2; ++i) {
        fSets[i].clear();
        fSets[i].reserve(fStates.size());
        fMarks[i].assign(fStates.size(), 0);
    }
    fStamp = 0;
}

bool OscPattern::BracketPasses(const State& s, uint8_t c) const {
    bool in = std::memchr(s.text.data(), c, s.text.size()) != nullptr;
    for (size_t i = 0; !in && i + 1 < s.ranges.size(); i += 2) in = c >= s.ranges[i] && c <= s.ranges[i + 1];
    return s.kind == '[' ? in : !in;
}

void OscPattern::Add(int set, uint16_t state) {
    if (fMarks[set][state] == fSetStamp[set]) return;
    fMarks[set][state] = fSetStamp[set];
    fSets[set].push_back(state);
}

uint32_t OscPattern::NextStamp() {
    if (fStamp == 0xffffffffu) {
        for (auto& m : fMarks) std::fill(m.begin(), m.end(), 0u);
        fStamp = 0;
    }
    return ++fStamp;
}

int OscPattern::Match(const char* address) {
    if (fStates.empty() || !address || !*address) return kNoMatch;
    const uint32_t length = uint32_t(std::strlen(address));
    uint32_t p = fResumeOffset < length ? fResumeOffset : length;
    fLater.clear();
    int cur = 0;
    for (int i = 0; i < 2; ++i) {
        fSets[i].clear();
        fSetStamp[i] = NextStamp();
    }
    Add(cur, fResumeState == 0 ? fStates[0].next : fResumeState);
    for (;;) {
        for (size_t i = 0; i < fLater.size();) {
            if (fLater[i].position == p) {
                Add(cur, fLater[i].state);
                fLater[i] = fLater.back();
                fLater.pop_back();
            } else {
                ++i;
            }
        }
        bool accepted = false;
        int slashAtEnd = -1;
        const int nxt = cur ^ 1;
        const uint8_t c = uint8_t(address[p]);  // 0 at the end
        for (size_t i = 0; i < fSets[cur].size(); ++i) {
            const uint16_t si = fSets[cur][i];
            const State& s = fStates[si];
            if (si == 0) {
                accepted = accepted || p == length;
                continue;
            }
            switch (s.kind) {
                case 0:
                    if (s.text.empty()) {
                        Add(cur, s.next);
                        Add(cur, s.alternate);
                    } else if (length - p >= s.text.size() &&
                               std::memcmp(address + p, s.text.data(), s.text.size()) == 0) {
                        if (s.text.size() == 1)
                            Add(nxt, s.next);
                        else
                            fLater.push_back({s.next, uint32_t(p + s.text.size())});
                    }
                    break;
                case '/':
                    if (p == length) {
                        if (slashAtEnd < 0) slashAtEnd = si;
                    } else if (c == '/') {
                        Add(nxt, s.next);
                    }
                    break;
                case '*':
                    if (c && c != '/') {
                        Add(nxt, s.next);
                        Add(nxt, si);
                    }
                    break;
                case '?':
                    if (c && c != '/') Add(nxt, s.next);
                    break;
                default:
                    if (c && c != '/' && BracketPasses(s, c)) Add(nxt, s.next);
                    break;
            }
        }
        if (p == length) {
            if (accepted) return kMatch;
            if (slashAtEnd >= 0) {
                fResumeState = uint16_t(slashAtEnd);
                fResumeOffset = 0;
                return kNeedsMore;
            }
            return kNoMatch;
        }
        if (fSets[nxt].empty() && fLater.empty()) return kNoMatch;
        // One character on: the next set becomes current, the old one is emptied for the step after.
        fSets[cur].clear();
        fSetStamp[cur] = NextStamp();
        cur = nxt;
        ++p;
    }
}

bool OscPattern::IsMatch(const char* address) {
    fResumeState = 0;
    fResumeOffset = 0;
    return Match(address) == kMatch;
}
