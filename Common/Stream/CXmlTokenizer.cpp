#include "Common/Stream/CXmlTokenizer.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LStrBuf.h"
#include "Lib3/LSources/String/HexDigitValue.h"
#include "Platform/Foundation/TextEncoding.h"

namespace {

// Section delimiters, matched in parallel.
const char* const kDelimiters[] = {"<!--", "-->", "<?", "?>", "<![CDATA[", "]]>", "<!DOCTYPE"};
enum : int { kOpenComment, kCloseComment, kOpenPI, kClosePI, kOpenCData, kCloseCData, kOpenDoctype };
constexpr uint32_t kOutsideMask = 1u << kOpenComment | 1u << kOpenPI | 1u << kOpenCData | 1u << kOpenDoctype;

constexpr uint32_t kMaxReference = 32;

bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsNameByte(unsigned char c) {
    switch (c) {
        case '<':
        case '>':
        case '/':
        case '=':
        case '\'':
        case '"':
        case '&':
            return false;
        default:
            return !IsBlank(c);
    }
}

bool IsReferenceByte(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '#' ||
           c == '_' || c == ':' || c == '.' || c == '-' || c >= 0x80;
}

bool IsHexDigit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// The code point of "#123" or "#x7B"; -1 when the number is empty, malformed or out of range.
int32_t CharacterNumber(const unsigned char* s, uint32_t n) {
    if (n < 2 || s[0] != '#') return -1;
    bool hex = s[1] == 'x';
    uint32_t i = hex ? 2 : 1;
    if (i == n) return -1;
    uint32_t value = 0;
    for (; i < n; ++i) {
        unsigned char c = s[i];
        if (hex ? !IsHexDigit(c) : !(c >= '0' && c <= '9')) return -1;
        value = value * (hex ? 16 : 10) + static_cast<uint32_t>(HexDigitValue(c));
        if (value > 0x10FFFF) return -1;
    }
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF)) return -1;
    return static_cast<int32_t>(value);
}

// Stop sets of the bulk runs: a byte of the run's set ends the run (a NUL byte ends every run, as
// it ends the input).
enum : uint8_t {
    kStopText = 1,      // text: "<" may open markup or a section, "&" a reference
    kStopDouble = 2,    // a value in double quotes
    kStopSingle = 4,    // a value in single quotes
    kStopUnquoted = 8,  // an unquoted value
    kStopName = 16,     // a name: any byte that is not a name byte
    kStopCData = 32,    // CDATA content: "]" may close it
    kStopComment = 64,  // comment content: "-" may close it
    kStopPI = 128,      // processing-instruction content: "?" may close it
};

struct StopTable {
    uint8_t stops[256] = {};
    constexpr StopTable() {
        auto add = [this](const char* bytes, uint8_t set) {
            for (; *bytes; ++bytes) stops[static_cast<unsigned char>(*bytes)] |= set;
        };
        stops[0] = 0xFF;
        add("<&", kStopText);
        add("\"<&", kStopDouble);
        add("'<&", kStopSingle);
        add(" \t\n\r>/<&", kStopUnquoted);
        add(" \t\n\r<>/='\"&", kStopName);
        add("]", kStopCData);
        add("-", kStopComment);
        add("?", kStopPI);
    }
};
constexpr StopTable kStops;

// The first byte from p on that is in the stop set, or end. The sets scanned this way hold at most
// four bytes (NUL among them), given as a to d (repeat one when there are fewer); they are tested
// sixteen at a time where the processor can.
const unsigned char* StopIn(const unsigned char* p, const unsigned char* end, uint8_t set, unsigned char a,
                            unsigned char b, unsigned char c, unsigned char d) {
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(static_cast<char>(a));
    const __m128i vb = _mm_set1_epi8(static_cast<char>(b));
    const __m128i vc = _mm_set1_epi8(static_cast<char>(c));
    const __m128i vd = _mm_set1_epi8(static_cast<char>(d));
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)),
                                         _mm_or_si128(_mm_cmpeq_epi8(v, vc), _mm_cmpeq_epi8(v, vd)));
        if (const int bits = _mm_movemask_epi8(hit)) return p + __builtin_ctz(static_cast<unsigned>(bits));
    }
#else
    (void)a, (void)b, (void)c, (void)d;
#endif
    while (p < end && !(kStops.stops[*p] & set)) ++p;
    return p;
}

// The end of a bulk run of the set (the first byte that stops it), or end.
[[gnu::always_inline]] inline const unsigned char* RunEnd(const unsigned char* p, const unsigned char* end, uint8_t set) {
    switch (set) {
        case kStopText:
            return StopIn(p, end, set, '<', '&', 0, 0);
        case kStopDouble:
            return StopIn(p, end, set, '"', '<', '&', 0);
        case kStopSingle:
            return StopIn(p, end, set, '\'', '<', '&', 0);
        case kStopCData:
            return StopIn(p, end, set, ']', 0, 0, 0);
        case kStopComment:
            return StopIn(p, end, set, '-', 0, 0, 0);
        case kStopPI:
            return StopIn(p, end, set, '?', 0, 0, 0);
        default:
            while (p < end && !(kStops.stops[*p] & set)) ++p;
            return p;
    }
}

// Names are short: compared eight bytes at a time (the last eight overlapping) without a call.
bool SameBytes(const unsigned char* a, const unsigned char* b, uint32_t n) {
    auto load = [](const unsigned char* p) {
        uint64_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    };
    if (n < 8) {
        for (uint32_t i = 0; i < n; ++i)
            if (a[i] != b[i]) return false;
        return true;
    }
    for (uint32_t i = 0; i + 8 <= n; i += 8)
        if (load(a + i) != load(b + i)) return false;
    return load(a + n - 8) == load(b + n - 8);
}

bool Is(const LVariStrBase& s, const char* text) {
    uint32_t i = 0;
    for (; text[i]; ++i)
        if (i >= s.Length() || s.Text()[i] != static_cast<unsigned char>(text[i])) return false;
    return i == s.Length();
}

}  // namespace

CXmlTokenizer::CXmlTokenizer(LCharIn& in)
    : fIn(in), fMatcher(kDelimiters, sizeof kDelimiters / sizeof kDelimiters[0]) {}

// ---- input and sections

bool CXmlTokenizer::Refill() {
    if (fInputEnded) return false;
    fPos = 0;
    fEnd = fIn.Get(fBuffer, sizeof fBuffer);
    if (fEnd == 0) {
        fInputEnded = true;
        return false;
    }
    return true;
}

bool CXmlTokenizer::RawByte(unsigned char& c) {
    if (fPos == fEnd && !Refill()) return false;
    c = fBuffer[fPos++];
    return true;
}

void CXmlTokenizer::QueueReleased() {
    uint32_t n;
    const unsigned char* bytes = fMatcher.Released(n);
    fQueueHead = 0;
    fQueueLength = 0;
    if (fSection != kOutside && fSection != kCData) return;  // comment and PI text is dropped
    for (uint32_t i = 0; i < n; ++i) fQueue[i] = bytes[i];
    fQueueLength = n;
    fQueueCData = fSection == kCData;
}

void CXmlTokenizer::Delimiter(int pattern) {
    switch (pattern) {
        case kOpenComment:
            fSection = kComment;
            break;
        case kOpenPI:
            fSection = kPI;
            break;
        case kOpenCData:
            fSection = kCData;
            break;
        case kOpenDoctype:
            fSection = kDoctype;
            fDoctypeQuote = 0;
            fDoctypeDepth = 0;
            break;
        default:
            fSection = kOutside;
            break;
    }
}

// A document type declaration is skipped: quoted identifiers, then an optional internal subset
// in brackets, then ">".
void CXmlTokenizer::DoctypeByte(unsigned char c) {
    if (fDoctypeQuote) {
        if (c == fDoctypeQuote) fDoctypeQuote = 0;
    } else if (c == '[') {
        ++fDoctypeDepth;
    } else if (c == ']') {
        if (fDoctypeDepth) --fDoctypeDepth;
    } else if (fDoctypeDepth == 0 && (c == '"' || c == '\'')) {
        fDoctypeQuote = c;
    } else if (fDoctypeDepth == 0 && c == '>') {
        fSection = kOutside;
    }
}

bool CXmlTokenizer::SectionByte(unsigned char& c, bool& cdata) {
    for (;;) {
        if (fQueueHead < fQueueLength) {
            c = fQueue[fQueueHead++];
            cdata = fQueueCData;
            return true;
        }
        if (fSection == kEnded) return false;
        unsigned char b;
        if (!RawByte(b) || b == 0) {
            fMatcher.Flush();
            QueueReleased();
            fSection = kEnded;
            continue;
        }
        if (fSection == kDoctype) {
            DoctypeByte(b);
            continue;
        }
        // A byte that cannot begin a delimiter of the section, with none begun, is data.
        const unsigned char first = fSection == kOutside   ? '<'
                                    : fSection == kComment ? '-'
                                    : fSection == kPI      ? '?'
                                                           : ']';
        if (!fMatcher.InProgress()) {
            // Outside, every delimiter begins "<!" or "<?": a "<" followed by anything else is data.
            const bool plainLt = fSection == kOutside && b == '<' && fPos < fEnd && fBuffer[fPos] != '!' &&
                                 fBuffer[fPos] != '?';
            if (b != first || plainLt) {
                if (fSection == kComment || fSection == kPI) continue;  // comment and PI text is dropped
                c = b;
                cdata = fSection == kCData;
                return true;
            }
        }
        uint32_t mask = fSection == kOutside   ? kOutsideMask
                        : fSection == kComment ? 1u << kCloseComment
                        : fSection == kPI      ? 1u << kClosePI
                                               : 1u << kCloseCData;
        fMatcher.SetActive(mask);
        int r = fMatcher.Feed(b);
        QueueReleased();
        if (r == CMultiMatcher::kMatched) Delimiter(fMatcher.Matched());
    }
}

// ---- markup

void CXmlTokenizer::TextByte(unsigned char c) {
    fRun.Append(c);
}

void CXmlTokenizer::NameByte(unsigned char c) {
    if (fName.Length() < kMaxName) fName.Append(c);
}

const LString& CXmlTokenizer::CachedName(LString* cache, const unsigned char* text, uint32_t n) {
    // The length and the first and last bytes tell apart the names of a document well enough.
    uint32_t hash = n * 2654435761u;
    if (n) hash ^= (uint32_t{text[0]} << 8 | text[n - 1]) * 40503u ^ uint32_t { text[n / 2] } * 2246822519u;
    hash ^= hash >> 15;
    LString& slot = cache[hash % kNameCacheSize];
    if (slot.Length() != n || !SameBytes(slot.Text(), text, n)) slot = LString(text, n);
    return slot;
}

int CXmlTokenizer::AnswerName(int answer) {
    if (answer == kAnsStartTag)
        fTagName = &CachedName(fTagNames, fName.Text(), fName.Length());
    else
        fAttrName = &CachedName(fAttrNames, fName.Text(), fName.Length());
    fName.Reset();
    return answer;
}

int CXmlTokenizer::EndValue() {
    if (fRun.Length() == 0) return kAnsValueEnd;
    fValueEndPending = true;
    fRunAnswered = true;
    return kAnsText;
}

void CXmlTokenizer::EndReference() {
    fInReference = false;
    const unsigned char* s = fReference.Text();
    uint32_t n = fReference.Length();
    if (Is(fReference, "quot"))
        TextByte('"');
    else if (Is(fReference, "apos"))
        TextByte('\'');
    else if (Is(fReference, "amp"))
        TextByte('&');
    else if (Is(fReference, "lt"))
        TextByte('<');
    else if (Is(fReference, "gt"))
        TextByte('>');
    else if (int32_t cp = CharacterNumber(s, n); cp > 0) {
        uint8_t utf8[4];
        fRun.Append(utf8, static_cast<uint32_t>(plat::EncodeUtf8Char(static_cast<uint32_t>(cp), utf8)));
    } else {
        TextByte(' ');  // unknown name or invalid number (NUL included)
    }
}

// An "&" that does not start a well-formed reference is kept as text.
void CXmlTokenizer::AbandonReference() {
    fInReference = false;
    TextByte('&');
    fRun.Append(fReference.Text(), fReference.Length());
}

int CXmlTokenizer::ReferenceByte(unsigned char c, bool& hold) {
    if (c == ';') {
        EndReference();
    } else if (IsReferenceByte(c) && fReference.Length() < kMaxReference) {
        fReference.Append(c);
    } else {
        AbandonReference();
        hold = true;
    }
    return -1;
}

int CXmlTokenizer::Markup(unsigned char c, bool& hold) {
    switch (fState) {
        case kMarkText:
            if (c == '<') {
                if (fRun.Length()) {
                    hold = true;
                    fRunAnswered = true;
                    return kAnsText;
                }
                fState = kAfterLt;
                fName.Reset();
                fEndTag = false;
            } else if (c == '&') {
                fInReference = true;
                fReference.Reset();
            } else {
                TextByte(c);
            }
            return -1;

        case kAfterLt:
            if (c == '/' && fName.Length() == 0 && !fEndTag) {
                fEndTag = true;
                return -1;
            }
            if (IsNameByte(c)) {
                NameByte(c);
                return -1;
            }
            if (fName.Length() == 0) {  // the "<" was not markup
                fState = kMarkText;
                TextByte('<');
                if (fEndTag) TextByte('/');
                fEndTag = false;
                if (c == '<' || c == '&')
                    hold = true;
                else
                    TextByte(c);
                return -1;
            }
            if (c == '>') {
                fState = kMarkText;
                if (fEndTag) {
                    fEndTag = false;
                    fName.Reset();
                    return kAnsEndTag;
                }
                return AnswerName(kAnsStartTag);
            }
            fState = kInTag;
            if (fEndTag) {
                fName.Reset();
                return -1;
            }
            if (c == '/') fEndTag = true;  // "<a/": start tag now, end tag at ">"
            return AnswerName(kAnsStartTag);

        case kInTag:
            if (IsNameByte(c)) {
                NameByte(c);
            } else if (IsBlank(c)) {
                if (fName.Length()) fState = kAfterName;
            } else if (c == '=') {
                if (fName.Length()) fState = kAfterEq;
            } else if (c == '>') {
                fName.Reset();
                fState = kMarkText;
                if (fEndTag) {
                    fEndTag = false;
                    return kAnsEndTag;
                }
            } else if (c == '/') {
                fName.Reset();
                fEndTag = true;
            } else {
                fName.Reset();  // stray quote, "<" or "&": a name before it had no value
            }
            return -1;

        case kAfterName:
            if (IsBlank(c)) return -1;
            if (c == '=') {
                fState = kAfterEq;
                return -1;
            }
            fName.Reset();  // an attribute without a value is dropped
            fState = kInTag;
            hold = true;
            return -1;

        case kAfterEq:
            if (IsBlank(c)) return -1;
            if (c == '"' || c == '\'') {
                fQuote = c;
                fState = kInValue;
                return AnswerName(kAnsAttrName);
            }
            if (c == '>' || c == '/') {
                fName.Reset();  // "b=" with no value
                fState = kInTag;
                hold = true;
                return -1;
            }
            fQuote = 0;
            fState = kUnquoted;
            hold = true;
            return AnswerName(kAnsAttrName);

        case kInValue:
            if (c == fQuote) {
                fState = kInTag;
                return EndValue();
            }
            if (c == '&') {
                fInReference = true;
                fReference.Reset();
            } else {
                TextByte(c);
            }
            return -1;

        case kUnquoted:
            if (IsBlank(c) || c == '>' || c == '/') {
                fState = kInTag;
                hold = !IsBlank(c);
                return EndValue();
            }
            if (c == '&') {
                fInReference = true;
                fReference.Reset();
            } else {
                TextByte(c);
            }
            return -1;
    }
    return -1;
}

namespace {

// The byte after a name that starts at p, or end when the name reaches it.
const unsigned char* NameEnd(const unsigned char* p, const unsigned char* end) {
    while (p < end && !(kStops.stops[*p] & kStopName)) ++p;
    return p;
}

const unsigned char* SkipBlanks(const unsigned char* p, const unsigned char* end) {
    while (p < end && IsBlank(*p)) ++p;
    return p;
}

// The byte of a predefined entity whose name and ";" follow an "&" at p (the "&" excluded), and
// its length with the ";"; 0 when there is none complete before end.
uint32_t PredefinedEntity(const unsigned char* p, const unsigned char* end, unsigned char& c) {
    const auto n = static_cast<size_t>(end - p);
    auto is = [&](const char* name, size_t length) {
        return n >= length && std::memcmp(p, name, length) == 0;
    };
    if (is("amp;", 4)) return (c = '&', 4);
    if (is("lt;", 3)) return (c = '<', 3);
    if (is("gt;", 3)) return (c = '>', 3);
    if (is("quot;", 5)) return (c = '"', 5);
    if (is("apos;", 5)) return (c = '\'', 5);
    return 0;
}

}  // namespace

// Markup whose every byte is in the buffer is read here straight from it: a start tag's name, an
// end tag, the blanks and "/" between attributes, an attribute's name up to its opening quote.
// The state after each step is the one the byte-at-a-time path reaches; whatever is unusual (a
// delimiter, a reference, an unquoted value, a NUL, the buffer's end part-way) is left to that
// path, from a state it knows. Called in the same conditions as Run, outside sections and in
// CDATA sections.
int CXmlTokenizer::Fast() {
    for (;;) {
        if (fPos == fEnd && !Refill()) return -1;
        const unsigned char* const begin = fBuffer + fPos;
        const unsigned char* const end = fBuffer + fEnd;
        const unsigned char* p = begin;
        if (fSection == kCData) {
            // Element content up to a "]]>" whole in the buffer; the rest is left to the matcher.
            if (fState != kMarkText) return -1;
            if (*p == ']') {
                if (end - p < 3 || p[1] != ']' || p[2] != '>') return -1;
                fPos += 3;
                fSection = kOutside;
                continue;
            }
            if (kStops.stops[*p] & kStopCData) return -1;
            if (int answer = Run(); answer >= 0) return answer;
            continue;
        }
        const uint8_t runStop = fState == kMarkText  ? kStopText
                                : fState != kInValue ? 0
                                : fQuote == '"'      ? kStopDouble
                                                     : kStopSingle;
        if (runStop && !(kStops.stops[*p] & runStop)) {
            if (int answer = Run(); answer >= 0) return answer;  // takes one byte at least
            continue;
        }
        if (*p == '&' && runStop) {
            // A reference to a predefined entity, whole in the buffer; the piece has room for it.
            unsigned char c;
            const uint32_t n = PredefinedEntity(p + 1, end, c);
            if (n == 0 || fRun.Length() >= kMaxPiece) return -1;
            fRun.Append(c);
            fPos += 1 + n;
            if (fRun.Length() >= kMaxPiece) {
                fRunAnswered = true;
                return kAnsText;
            }
            continue;
        }
        if (fState == kMarkText) {
            if (*p == '<' && end - p >= 9 && std::memcmp(p, "<![CDATA[", 9) == 0) {
                fPos += 9;
                fSection = kCData;
                continue;
            }
            // "<" and a byte that opens no section, both in the buffer.
            if (*p != '<' || end - p < 2 || p[1] == '!' || p[1] == '?') return -1;
            if (fRun.Length()) {
                fRunAnswered = true;  // the text before the tag; the "<" is read again
                return kAnsText;
            }
            if (p[1] == '/') {
                const unsigned char* nameEnd = NameEnd(p + 2, end);
                if (nameEnd == p + 2 || nameEnd == end || *nameEnd != '>') return -1;
                fPos = static_cast<uint32_t>(nameEnd + 1 - fBuffer);
                fEndTag = false;
                return kAnsEndTag;
            }
            const unsigned char* nameEnd = NameEnd(p + 1, end);
            if (nameEnd == p + 1 || nameEnd == end) return -1;
            const unsigned char c = *nameEnd;
            if (c == '>') {
                fEndTag = false;
            } else if (IsBlank(c) || c == '/') {
                fState = kInTag;
                fEndTag = c == '/';
            } else {
                return -1;
            }
            fPos = static_cast<uint32_t>(nameEnd + 1 - fBuffer);
            const auto n = static_cast<uint32_t>(nameEnd - (p + 1));
            fTagName = &CachedName(fTagNames, p + 1, std::min(n, kMaxName));
            return kAnsStartTag;
        }
        if (fState == kInValue && *p == fQuote) {
            ++fPos;
            fState = kInTag;
            return EndValue();
        }
        if (fState != kInTag || fName.Length()) return -1;
        p = SkipBlanks(p, end);
        if (p == end) {
            fPos = fEnd;
            continue;
        }
        if (*p == '>') {
            fPos = static_cast<uint32_t>(p + 1 - fBuffer);
            fState = kMarkText;
            if (fEndTag) {
                fEndTag = false;
                return kAnsEndTag;
            }
            continue;
        }
        if (*p == '/') {
            fPos = static_cast<uint32_t>(p + 1 - fBuffer);
            fEndTag = true;
            continue;
        }
        // name, blanks, "=", blanks, quote
        const unsigned char* nameEnd = NameEnd(p, end);
        if (nameEnd == p) return (fPos = static_cast<uint32_t>(p - fBuffer), -1);
        const unsigned char* q = SkipBlanks(nameEnd, end);
        if (q == end || *q != '=') return (fPos = static_cast<uint32_t>(p - fBuffer), -1);
        q = SkipBlanks(q + 1, end);
        if (q == end || (*q != '"' && *q != '\'')) return (fPos = static_cast<uint32_t>(p - fBuffer), -1);
        fQuote = *q;
        fState = kInValue;
        fPos = static_cast<uint32_t>(q + 1 - fBuffer);
        const auto n = static_cast<uint32_t>(nameEnd - p);
        fAttrName = &CachedName(fAttrNames, p, std::min(n, kMaxName));
        return kAnsAttrName;
    }
}

// A quoted value read straight from the buffer into out, references to the predefined entities
// decoded. True when the value ended here; false, with the state the byte-at-a-time path knows,
// at anything else (another reference, "<", a NUL, a reference split by the buffer's end).
bool CXmlTokenizer::FastValue(LStrBuf& out) {
    if (fState != kInValue || fValueEndPending || fHeld || fQueueHead != fQueueLength || fInReference ||
        fMatcher.InProgress() || fSection != kOutside || fRun.Length())
        return false;
    const uint8_t stop = fQuote == '"' ? kStopDouble : kStopSingle;
    for (;;) {
        if (fPos == fEnd && !Refill()) return false;
        const unsigned char* const begin = fBuffer + fPos;
        const unsigned char* const end = fBuffer + fEnd;
        const unsigned char* p = RunEnd(begin, end, stop);
        out.Append(begin, static_cast<uint32_t>(p - begin));
        fPos = static_cast<uint32_t>(p - fBuffer);
        if (p == end) continue;
        if (*p == fQuote) {
            ++fPos;
            fState = kInTag;
            return true;
        }
        if (*p != '&') return false;
        unsigned char c;
        const uint32_t n = PredefinedEntity(p + 1, end, c);
        if (n == 0) return false;
        out.Append(c);
        fPos += 1 + n;
    }
}

// Only a few bytes can change anything: a delimiter's first byte, "&", a quote, a blank, a tag's
// punctuation, a NUL. Between them the bytes only go to the text or the name, or are dropped, so
// runs of them are taken in bulk here; the byte that ends a run is left to the byte-at-a-time path.
// Called only when no byte is held or queued, no delimiter is part-way matched and no reference is
// open. kAnsText when the piece became full, else -1.
int CXmlTokenizer::Run() {
    enum Target { kToText, kToName, kDropped };
    uint8_t stop;
    Target target = kToText;
    switch (fSection) {
        case kOutside:
            switch (fState) {
                case kMarkText:
                    stop = kStopText;
                    break;
                case kInValue:
                    stop = fQuote == '"' ? kStopDouble : kStopSingle;
                    break;
                case kUnquoted:
                    stop = kStopUnquoted;
                    break;
                case kAfterLt:
                case kInTag:
                    stop = kStopName;
                    target = kToName;
                    break;
                default:
                    return -1;
            }
            break;
        case kCData:
            stop = kStopCData;
            if (fState != kMarkText) target = kDropped;  // CDATA inside a tag is dropped
            break;
        case kComment:
            stop = kStopComment;
            target = kDropped;
            break;
        case kPI:
            stop = kStopPI;
            target = kDropped;
            break;
        default:
            return -1;
    }
    if (fPos == fEnd && !Refill()) return -1;
    uint32_t room = fEnd - fPos;
    if (target == kToText) {
        if (fRun.Length() >= kMaxPiece) return -1;
        room = std::min(room, kMaxPiece - fRun.Length());
    }
    const unsigned char* begin = fBuffer + fPos;
    const unsigned char* end = begin + room;
    const unsigned char* p = RunEnd(begin, end, stop);
    const uint32_t n = static_cast<uint32_t>(p - begin);
    fPos += n;
    if (target == kToText) {
        fRun.Append(begin, n);
        if (fRun.Length() >= kMaxPiece) {
            fRunAnswered = true;
            return kAnsText;
        }
    } else if (target == kToName && fName.Length() < kMaxName) {
        fName.Append(begin, std::min(n, kMaxName - fName.Length()));
    }
    return -1;
}

int CXmlTokenizer::Scan() {
    if (fRunAnswered) {
        fRun.Reset();
        fRunAnswered = false;
    }
    if (fValueEndPending) {
        fValueEndPending = false;
        return kAnsValueEnd;
    }
    for (;;) {
        if (!fHeld && fQueueHead == fQueueLength && !fInReference && !fMatcher.InProgress()) {
            if (fSection == kOutside || fSection == kCData) {
                if (int answer = Fast(); answer >= 0) return answer;
            }
            if (int answer = Run(); answer >= 0) return answer;
        }
        unsigned char c;
        bool cdata;
        if (fHeld) {
            c = fHeldByte;
            cdata = fHeldCData;
            fHeld = false;
        } else if (!SectionByte(c, cdata)) {
            if (fInReference) AbandonReference();
            if (fRun.Length()) {
                fRunAnswered = true;
                return kAnsText;
            }
            return kAnsEnd;
        }
        bool hold = false;
        int answer = -1;
        if (cdata) {
            if (fInReference) AbandonReference();
            if (fState == kMarkText) TextByte(c);  // CDATA inside a tag is dropped
        } else if (fInReference) {
            answer = ReferenceByte(c, hold);
        } else {
            answer = Markup(c, hold);
        }
        if (hold) {
            fHeld = true;
            fHeldByte = c;
            fHeldCData = cdata;
        }
        if (answer >= 0) return answer;
        if (fRun.Length() >= kMaxPiece) {
            fRunAnswered = true;
            return kAnsText;
        }
    }
}

// ---- events

int CXmlTokenizer::Next() {
    for (;;) {
        switch (Scan()) {
            case kAnsEnd:
                return kEnd;
            case kAnsStartTag:
                return kStartTag;
            case kAnsAttrName:
                return kAttribute;
            case kAnsText:
                return kText;
            case kAnsEndTag:
                return kEndTag;
            default:
                break;  // the end of a value nobody read
        }
    }
}

void CXmlTokenizer::ReadValue(LStrBuf& out) {
    if (fState != kInValue && fState != kUnquoted && !fValueEndPending) return;
    if (fRunAnswered) {
        fRun.Reset();
        fRunAnswered = false;
    }
    if (FastValue(out)) return;
    for (;;) {
        int a = Scan();
        if (a == kAnsText)
            out.Append(fRun.Text(), fRun.Length());
        else
            break;  // value end, or the end of the input
    }
}

bool CXmlTokenizer::ValueInPlace(const unsigned char*& text, uint32_t& length) {
    if (fRunAnswered) {
        fRun.Reset();
        fRunAnswered = false;
    }
    if (fState != kInValue || fValueEndPending || fHeld || fQueueHead != fQueueLength || fInReference ||
        fMatcher.InProgress() || fSection != kOutside || fRun.Length())
        return false;
    if (fPos == fEnd && !Refill()) return false;
    const uint8_t stop = fQuote == '"' ? kStopDouble : kStopSingle;
    unsigned char* const begin = fBuffer + fPos;
    const unsigned char* const bufferEnd = fBuffer + fEnd;
    const unsigned char* p = RunEnd(begin, bufferEnd, stop);
    if (p == bufferEnd) return false;
    if (*p != fQuote) {
        // References to the predefined entities only, and the closing quote, all in the buffer: the
        // value is decoded where it lies (it only shrinks), in bytes read already.
        const unsigned char* close = p;
        for (unsigned char c; *close != fQuote;) {
            if (*close != '&') return false;
            const uint32_t n = PredefinedEntity(close + 1, bufferEnd, c);
            if (n == 0) return false;
            close = RunEnd(close + 1 + n, bufferEnd, stop);
            if (close == bufferEnd) return false;
        }
        unsigned char* to = begin + (p - begin);
        for (const unsigned char* from = p; from < close;) {
            if (*from != '&') {
                *to++ = *from++;
                continue;
            }
            unsigned char c;
            from += 1 + PredefinedEntity(from + 1, bufferEnd, c);
            *to++ = c;
        }
        *to = fQuote;  // what follows the value, as when it is not decoded
        text = begin;
        length = static_cast<uint32_t>(to - begin);
        fPos = static_cast<uint32_t>(close + 1 - fBuffer);
        fState = kInTag;
        return true;
    }
    text = begin;
    length = static_cast<uint32_t>(p - begin);
    fPos = static_cast<uint32_t>(p + 1 - fBuffer);
    fState = kInTag;
    return true;
}

LString CXmlTokenizer::ReadValue() {
    LVariStr<64> value;
    ReadValue(value);
    return LString(value.Text(), value.Length());
}

void CXmlTokenizer::TakeText(LStrBuf& out) const {
    out.Append(fRun.Text(), fRun.Length());
}
