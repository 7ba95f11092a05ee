#include "Lib3/LSources/CoreData/XmlDocument.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <new>

#include "Common/Container/CBytes.h"
#include "Common/Stream/CBomTextStream.h"
#include "Common/Stream/CMemStream.h"
#include "Common/Stream/CXmlElementScope.h"
#include "Common/Stream/CXmlReader.h"
#include "Common/Stream/CXmlRecordWriter.h"
#include "Common/Stream/CXmlTagWriter.h"
#include "Common/Stream/CXmlTokenizer.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordSlab.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CStrArray.h"
#include "Lib3/LSources/CoreData/SameFloat.h"
#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LTextCache.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreString/UCharIn.h"
#include "Lib3/LSources/String/CCLocaleScope.h"
#include "Lib3/LSources/String/CStrU.h"
#include "Lib3/LSources/String/HexDigitValue.h"
#include "Lib3/LSources/String/UString.h"
#include "Lib3/LSources/String/UWord.h"
#include "Platform/Foundation/Bytes.h"
#include "Platform/Foundation/FileIO.h"

namespace {

constexpr uint32_t kNullDomain = Fcc("YUND");
constexpr uint32_t kNullType = Fcc("UDNL");
// Strings holding a line end and at least this long are written as CDATA field elements.
constexpr uint32_t kLongText = 33;

// ---- names

// The text of a code as CStrU::LStringFromFcc makes it, without a string of its own.
struct CodeText {
    explicit CodeText(uint32_t code) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            const unsigned char c = static_cast<unsigned char>(code >> shift);
            if (c == 0) break;
            if (c == ' ' && length == 0) continue;
            bytes[length++] = c;
        }
        bytes[length] = 0;
    }
    unsigned char bytes[5];
    uint32_t length = 0;
};

// The text of a code without its trailing blanks ("i   " is written "i"; readers pad it back).
void AppendCode(LStrBuf& out, uint32_t code) {
    const CodeText s(code);
    uint32_t n = s.length;
    while (n && s.bytes[n - 1] == ' ') --n;
    out.Append(s.bytes, n);
}

LString ElementName(uint32_t domain, uint32_t type) {
    LVariStr<64> s;
    AppendCode(s, domain);
    s.Append('_');
    AppendCode(s, type);
    return LString(s.Text(), s.Length());
}

// The name of a record's element (tag 0) or of one of its field elements, made once per thread
// for each type and field met and shared after.
const LString& CachedElementName(uint32_t domain, uint32_t type, uint32_t tag) {
    struct Entry {
        uint32_t domain = 0, type = 0, tag = 0;
        bool made = false;
        LString name;
    };
    static constexpr uint32_t kEntries = 64;
    thread_local Entry entries[kEntries];
    const uint32_t hash = (domain * 2654435761u) ^ (type * 40503u) ^ (tag * 2246822519u);
    Entry& e = entries[(hash ^ hash >> 16) % kEntries];
    if (!e.made || e.domain != domain || e.type != type || e.tag != tag) {
        LVariStr<64> s;
        AppendCode(s, domain);
        s.Append('_');
        AppendCode(s, type);
        if (tag) {
            s.Append('_');
            AppendCode(s, tag);
        }
        e.name = LString(s.Text(), s.Length());
        e.domain = domain;
        e.type = type;
        e.tag = tag;
        e.made = true;
    }
    return e.name;
}

// CStrU::FccFromString of the n bytes at s: 0 when empty, else the first four padded with blanks.
uint32_t FccOf(const char* s, uint32_t n) {
    if (n == 0 || *s == 0) return 0;
    char b[4] = {' ', ' ', ' ', ' '};
    for (uint32_t i = 0; i < 4 && i < n && s[i]; ++i) b[i] = s[i];
    return plat::LoadBE32(b);
}

// Splits a name at its underscores into codes (the first three kept); returns the part count.
uint32_t SplitCodes(const LString& name, uint32_t codes[3]) {
    uint32_t parts = 0;
    const char* s = name.CStr();
    const char* const end = s + name.Length();
    for (;;) {
        const auto* found = static_cast<const char*>(std::memchr(s, '_', static_cast<size_t>(end - s)));
        const char* partEnd = found ? found : end;
        if (parts < 3) codes[parts] = FccOf(s, static_cast<uint32_t>(partEnd - s));
        ++parts;
        if (!found) return parts;
        s = found + 1;
    }
}

int FindField(const CRecordType* type, uint32_t tag) {
    if (!type || tag == 0) return -1;
    for (uint32_t i = 0; i < type->FieldCount(); ++i)
        if (type->Field(i).tag == tag) return static_cast<int>(i);
    return -1;
}

// ---- writing

// CStrU::NormalizeEOL; text without a CR is appended as it is (nothing in it would change).
void AppendNormalizedEOL(const unsigned char* text, LStrBuf& out) {
    if (!std::strchr(reinterpret_cast<const char*>(text), '\r')) {
        out.Append(text);
        return;
    }
    CStrU::NormalizeEOL(text, out);
}

// The decimal text of a number, as "%ld" / "%lu" write it in the C locale.
template <class T>
void AppendDecimal(LStrBuf& out, T value) {
    char digits[24];
    const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, value);
    out.Append(digits, static_cast<uint32_t>(r.ptr - digits));
}

bool HasLineEnd(const LString& s) {
    return std::strchr(s.CStr(), '\n') || std::strchr(s.CStr(), '\r');
}

// CStrU::NormalizeEOL of the string; the same string when it holds no CR and no NUL.
LString NormalizedEOL(const LString& s) {
    if (!std::strchr(s.CStr(), '\r') && std::strlen(s.CStr()) == s.Length()) return s;
    return CStrU::NormalizeEOL(s);
}

// Measured as written (line ends made LF, what XML cannot carry replaced), so that what is read
// back is written the same way again.
bool IsLongText(const LString& value) {
    // Making line ends LF and replacing what XML cannot carry adds no line end.
    if (!HasLineEnd(value)) return false;
    const LString s = CXmlTagWriter::Writable(NormalizedEOL(value));
    return HasLineEnd(s) && s.Length() >= kLongText && !std::strstr(s.CStr(), "]]>");
}

LString DefaultText(const SFieldDesc& f) {
    return LString(f.def.text);
}

bool NeedsQuotes(const LString& s) {
    if (s.Text()[0] == '\'' || s.Text()[0] == '"') return true;  // else read back as a quoted token
    for (uint32_t i = 0; i < s.Length(); ++i)
        if (UCharIn::IsSpace(s.Text()[i]) || s.Text()[i] == '"') return true;
    return false;
}

void AppendStringElement(LStrBuf& out, const LString& element) {
    if (element.IsEmpty()) {
        out.Append("''");
        return;
    }
    // Replaced first, so that the quoting decided here is what a reader sees.
    LString text = CXmlTagWriter::Writable(NormalizedEOL(element));
    if (!NeedsQuotes(text)) {
        out.Append(text);
        return;
    }
    out.Append('"');
    for (uint32_t i = 0; i < text.Length(); ++i) {
        if (text.Text()[i] == '"') out.Append('"');
        out.Append(text.Text()[i]);
    }
    out.Append('"');
}

void ArrayText(const CRecord* r, uint32_t n, LStrBuf& out) {
    const SFieldDesc& f = r->Field(n);
    uint32_t count = r->ArrayCount(n);
    const void* data = r->ArrayData(n);
    for (uint32_t i = 0; i < count; ++i) {
        if (i && f.elementKind != kElemByte) out.Append(' ');
        switch (f.elementKind) {
            case kElemInt:
                AppendDecimal(out, static_cast<const int32_t*>(data)[i]);
                break;
            case kElemUInt:
                AppendDecimal(out, static_cast<const uint32_t*>(data)[i]);
                break;
            case kElemByte:
                UWord::Hex(out, static_cast<const uint8_t*>(data)[i], false, false, 2);
                break;
            case kElemFloat:
                UWord::FloatSuppress(static_cast<const float*>(data)[i], f.decimals, out);
                break;
            case kElemString:
                AppendStringElement(out, static_cast<const LString*>(data)[i]);
                break;
        }
    }
}

// The attribute text of value field n when it differs from its default.
bool ValueText(const CRecord* r, uint32_t n, LStrBuf& out) {
    const SFieldDesc& f = r->Field(n);
    switch (f.kind) {
        case kFieldInt:
            if (r->GetUInt(n) == f.def.u32) return false;
            AppendDecimal(out, r->GetInt(n));
            return true;
        case kFieldUInt:
            if (r->GetUInt(n) == f.def.u32) return false;
            AppendDecimal(out, r->GetUInt(n));
            return true;
        case kFieldByte:
            if (r->GetByte(n) == f.def.u8) return false;
            AppendDecimal(out, static_cast<uint32_t>(r->GetByte(n)));
            return true;
        case kFieldFloat:
            if (r->GetFloat(n) == f.def.f32) return false;  // a NaN always differs
            UWord::FloatSuppress(r->GetFloat(n), f.decimals, out);
            return true;
        case kFieldString:
            if (UString::IsEqual(r->GetString(n).Text(), DefaultText(f).Text())) return false;
            AppendNormalizedEOL(r->GetString(n).Text(), out);
            return true;
        case kFieldArray:
            if (r->ArrayCount(n) == 0) return false;
            ArrayText(r, n, out);
            return true;
        default:
            return false;
    }
}

void WriteCData(CXmlElementScope& recordScope, const CRecord* r, uint32_t n) {
    CXmlElementScope field(recordScope,
                           CachedElementName(r->Type()->Domain(), r->Type()->Type(), r->Field(n).tag));
    field.BeginInlineContent();
    LVariStr<64> text;
    AppendNormalizedEOL(r->GetString(n).Text(), text);
    CXmlRecordWriter& sink = field.Writer().Sink();
    sink.Write("<![CDATA[");
    field.Writer().CharData(text.Text(), text.Length());
    sink.Write("]]>");
    field.End();
}

// ---- reading

enum ReadResult : int { kReadOk = 1, kReadEnded = 0, kReadTooDeep = -1 };

struct Reader {
    CXmlTokenizer& t;
    CRecordHolder* holder;
    LVariStr<256> value;  // of the attribute being read
    LTextCache texts;     // strings of the document repeat
    // The type found last, when there is no holder to resolve types: the registry is a list, and
    // the elements of a document are mostly of a few types.
    uint32_t foundCodes[2] = {0, 0};
    const CRecordType* found = nullptr;
};

const CRecordType* FindType(Reader& rd, const uint32_t codes[2]) {
    if (rd.found && rd.foundCodes[0] == codes[0] && rd.foundCodes[1] == codes[1]) return rd.found;
    const CRecordType* type = CRecordType::Find(codes[0], codes[1]);
    if (type) {
        rd.found = type;
        rd.foundCodes[0] = codes[0];
        rd.foundCodes[1] = codes[1];
    }
    return type;
}

int ReadRecord(Reader& rd, CRecordRef ref, uint32_t depth);

bool IsHexDigit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// The number at the start of a word as strtol / strtoul / strtod read it in the C locale. Plain
// decimal forms are read here; anything else (a '+', hex, inf, overflow, ...) by the C library.
// stop, when given, is set to where the plain digits ended (the word itself when they were not read
// here): no byte before it ends the word.
int32_t IntOfWord(const char* word, const char** stop = nullptr) {
    const char* p = word + (*word == '-');
    uint64_t v = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9' && digits < 18; ++p, ++digits) v = v * 10 + static_cast<uint64_t>(*p - '0');
    if (digits == 0 || digits == 18) {
        if (stop) *stop = word;
        CCLocaleScope c;
        return static_cast<int32_t>(std::strtol(word, nullptr, 10));
    }
    if (stop) *stop = p;
    const auto value = static_cast<long>(v);
    return static_cast<int32_t>(*word == '-' ? -value : value);
}

uint32_t UIntOfWord(const char* word, const char** stop = nullptr) {
    const char* p = word;
    uint64_t v = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9' && digits < 18; ++p, ++digits) v = v * 10 + static_cast<uint64_t>(*p - '0');
    if (digits == 0 || digits == 18) {
        if (stop) *stop = word;
        CCLocaleScope c;
        return static_cast<uint32_t>(std::strtoul(word, nullptr, 10));
    }
    if (stop) *stop = p;
    return static_cast<uint32_t>(v);
}

float FloatOfWord(const char* word, const char* end) {
    // std::from_chars reads the decimal forms of strtod exactly (correctly rounded, no locale).
    const char* p = word + (*word == '-');
    if (*p >= '0' && *p <= '9' && !(p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))) {
        // Up to 15 digits without an exponent: the mantissa and the power of ten are exact
        // doubles, so their quotient is the correctly rounded double from_chars gives.
        static constexpr double kTens[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                           1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
        uint64_t mantissa = 0;
        int digits = 0, decimals = 0;
        const char* q = p;
        for (; q < end && *q >= '0' && *q <= '9'; ++q, ++digits)
            mantissa = mantissa * 10 + static_cast<uint64_t>(*q - '0');
        if (q < end && *q == '.')
            for (++q; q < end && *q >= '0' && *q <= '9'; ++q, ++digits, ++decimals)
                mantissa = mantissa * 10 + static_cast<uint64_t>(*q - '0');
        if (digits <= 15 && !(q < end && (*q == 'e' || *q == 'E'))) {
            const double value = static_cast<double>(mantissa) / kTens[decimals];
            return static_cast<float>(*word == '-' ? -value : value);
        }
        double value;
        if (std::from_chars(word, end, value).ec == std::errc()) return static_cast<float>(value);
    }
    CCLocaleScope c;
    return static_cast<float>(std::strtod(word, nullptr));
}

// Gathers elements in blocks and stores them in the array: a short array gets exactly its size.
template <class T>
class CArrayFiller {
public:
    explicit CArrayFiller(CArrayBase* array) : fArray(array) { fArray->RemoveAll(); }
    ~CArrayFiller() {
        if (fArray->Count() == 0)
            (void)fArray->SetElements(fBlock, fCount);
        else
            Flush();
    }
    void Add(T value) {
        if (fCount == kBlock) Flush();
        fBlock[fCount++] = value;
    }

private:
    void Flush() {
        (void)fArray->PutElements(fArray->Count(), fBlock, fCount);
        fCount = 0;
    }
    static constexpr uint32_t kBlock = 256;
    CArrayBase* fArray;
    uint32_t fCount = 0;
    T fBlock[kBlock];
};

// The end of the n bytes at text, or their first NUL.
const unsigned char* TextEnd(const unsigned char* text, uint32_t n) {
    const void* nul = std::memchr(text, 0, n);
    return nul ? static_cast<const unsigned char*>(nul) : text + n;
}

// Words split at white space up to the first NUL, each number read where it stands (a number
// never reaches past its word). Integers are read first and their word's end looked for after the
// digits, so that a word is gone over once.
template <class T, class Read>
void ReadIntegerWords(CArrayBase* array, const unsigned char* text, uint32_t n, Read read) {
    CArrayFiller<T> filler(array);
    const unsigned char* const end = TextEnd(text, n);
    for (const unsigned char* p = text;;) {
        while (p < end && UCharIn::IsSpace(*p)) ++p;
        if (p == end) break;
        const char* stop;
        filler.Add(read(reinterpret_cast<const char*>(p), &stop));
        p = std::max(p, std::min(end, reinterpret_cast<const unsigned char*>(stop)));
        while (p < end && !UCharIn::IsSpace(*p)) ++p;
    }
}

void ReadFloatWords(CArrayBase* array, const unsigned char* text, uint32_t n) {
    CArrayFiller<float> filler(array);
    const unsigned char* const end = TextEnd(text, n);
    for (const unsigned char* p = text;;) {
        while (p < end && UCharIn::IsSpace(*p)) ++p;
        if (p == end) break;
        const char* word = reinterpret_cast<const char*>(p);
        while (p < end && !UCharIn::IsSpace(*p)) ++p;
        filler.Add(FloatOfWord(word, reinterpret_cast<const char*>(p)));
    }
}

// ReadQuotedToken (line ends kept) over the bytes from p up to end or a NUL: the next token is
// [text, text + length), in `unquoted` when a doubled quote had to be made one. False at the end.
class QuotedTokens {
public:
    QuotedTokens(const unsigned char* p, uint32_t n) : fP(p), fEnd(p + n) {
        if (const void* nul = std::memchr(p, 0, n)) fEnd = static_cast<const unsigned char*>(nul);
    }
    bool Next(const unsigned char*& text, uint32_t& length) {
        while (fP < fEnd && UCharIn::IsSpace(*fP)) ++fP;
        if (fP == fEnd) return false;
        const unsigned char quote = *fP;
        if (quote != '"' && quote != '\'') {
            text = fP;
            while (fP < fEnd && !UCharIn::IsSpace(*fP)) ++fP;
            length = static_cast<uint32_t>(fP - text);
            return true;
        }
        const unsigned char* start = ++fP;
        const unsigned char* close = start;
        while (close < fEnd && *close != quote) ++close;
        if (close + 1 >= fEnd || close[1] != quote) {  // no doubled quote: the text as it stands
            text = start;
            length = static_cast<uint32_t>(close - start);
            fP = close < fEnd ? close + 1 : close;
            return true;
        }
        fUnquoted.Reset();
        for (fP = start; fP < fEnd;) {
            const unsigned char c = *fP++;
            if (c == quote) {
                if (fP == fEnd || *fP != quote) break;
                ++fP;
            }
            fUnquoted.Append(c);
        }
        text = fUnquoted.Text();
        length = fUnquoted.Length();
        return true;
    }

private:
    const unsigned char* fP;
    const unsigned char* fEnd;
    LVariStr<64> fUnquoted;
};

void ReadArray(CRecordRef ref, uint32_t n, const unsigned char* text, uint32_t length, LTextCache& texts,
               bool quiet) {
    CRecord* r = ref.Get();
    const SFieldDesc& f = r->Field(n);
    if (f.elementKind == kElemString) {
        CStrArray* strings = r->GetStrArray(n);
        if (!strings) return;
        strings->RemoveAll();
        QuotedTokens tokens(text, length);
        // The first strings are gathered and stored at once, in a block of exactly their count.
        constexpr uint32_t kGathered = 16;
        alignas(LString) unsigned char room[kGathered * sizeof(LString)];
        auto* gathered = reinterpret_cast<LString*>(room);
        uint32_t count = 0;
        bool appending = false;
        const unsigned char* token;
        uint32_t tokenLength;
        while (tokens.Next(token, tokenLength)) {
            if (appending) {
                strings->Append(texts.Text(token, tokenLength));
            } else if (count < kGathered) {
                new (&gathered[count++]) LString(texts.Text(token, tokenLength));
            } else {
                (void)strings->Assign(gathered, count);
                strings->Append(texts.Text(token, tokenLength));
                appending = true;
            }
        }
        if (!appending) (void)strings->Assign(gathered, count);
        while (count) gathered[--count].~LString();
    } else {
        CArrayBase* array = r->GetArray(n);
        if (!array) return;
        if (f.elementKind == kElemByte) {
            CArrayFiller<uint8_t> filler(array);
            LCStrCharIn in(text, length);
            unsigned char hi, lo;
            while (in.Get(hi) && IsHexDigit(hi) && in.Get(lo) && IsHexDigit(lo))
                filler.Add(static_cast<uint8_t>(HexDigitValue(hi) << 4 | HexDigitValue(lo)));
        } else if (f.elementKind == kElemInt) {
            ReadIntegerWords<int32_t>(array, text, length,
                                      [](const char* word, const char** stop) { return IntOfWord(word, stop); });
        } else if (f.elementKind == kElemUInt) {
            ReadIntegerWords<uint32_t>(array, text, length,
                                       [](const char* word, const char** stop) { return UIntOfWord(word, stop); });
        } else if (f.elementKind == kElemFloat) {
            ReadFloatWords(array, text, length);
        } else {
            array->RemoveAll();
        }
    }
    if (!quiet) ref.NotifyValueChanged(nullptr, ref.GetHolder(), n, -1);
}

// The value into a record that no holder sees (a record being read before it joins the
// document): nobody is told of the change, so the slot is set as CRecordRef would set it.
void SetQuietly(CRecord* r, uint32_t n, const unsigned char* text, uint32_t length, LTextCache& texts) {
    const char* word = reinterpret_cast<const char*>(text);
    switch (r->Field(n).kind) {
        case kFieldString:
            r->StringSlot(n) = texts.Text(text, length);
            break;
        case kFieldInt:
            r->Slot(n).cell = static_cast<uint32_t>(IntOfWord(word));
            break;
        case kFieldUInt:
            r->Slot(n).cell = UIntOfWord(word);
            break;
        case kFieldByte:
            r->Slot(n).cell = static_cast<uint8_t>(UIntOfWord(word));
            break;
        case kFieldFloat: {
            const float value = FloatOfWord(word, word + length);
            if (!SameFloat(r->Slot(n).f32, value)) r->Slot(n).f32 = value;
            break;
        }
        default:
            break;
    }
}

// The text of a value: length bytes, followed by a byte that ends every number (a NUL or the
// closing quote of the value where it lies in the input). quiet: no holder sees the record.
void ReadValue(CRecordRef ref, uint32_t n, const unsigned char* text, uint32_t length, LTextCache& texts,
               bool quiet) {
    switch (ref->Field(n).kind) {
        case kFieldString:
            if (quiet)
                SetQuietly(ref.Get(), n, text, length, texts);
            else
                ref.SetString(nullptr, n, texts.Text(text, length));
            return;
        case kFieldArray:
            ReadArray(ref, n, text, length, texts, quiet);
            return;
        default:
            break;
    }
    if (length == 0) return;
    if (quiet) return SetQuietly(ref.Get(), n, text, length, texts);
    // As UNum::ToInt, ToUInt and ToFloat read them.
    const char* word = reinterpret_cast<const char*>(text);
    switch (ref->Field(n).kind) {
        case kFieldInt:
            ref.SetInt(nullptr, n, IntOfWord(word));
            break;
        case kFieldUInt:
            ref.SetUInt(nullptr, n, UIntOfWord(word));
            break;
        case kFieldByte:
            ref.SetByte(nullptr, n, static_cast<uint8_t>(UIntOfWord(word)));
            break;
        case kFieldFloat:
            ref.SetFloat(nullptr, n, FloatOfWord(word, word + length));
            break;
        default:
            break;
    }
}

// A value field written as an element: its text.
void ReadElementValue(Reader& rd, CRecordRef ref, uint32_t n, bool quiet) {
    LVariStr<64> text;
    CXmlReader::AppendText(rd.t, text);
    ReadValue(ref, n, text.Text(), text.Length(), rd.texts, quiet);
}

// A new record of the element's type, filled from it; null (the element consumed) when the type
// is unknown or the record cannot be made or filled.
CRecord* NewFromElement(Reader& rd, const CRecord* parent, uint32_t n, const uint32_t codes[2],
                        uint32_t depth, int& result) {
    result = kReadOk;
    const CRecordType* type =
        rd.holder ? rd.holder->ResolveType(codes[0], codes[1], parent, n) : FindType(rd, codes);
    CRecord* child = type ? CRecord::New(type) : nullptr;
    if (!child) {
        CXmlReader::SkipElement(rd.t);
        return nullptr;
    }
    result = ReadRecord(rd, CRecordRef(&child), depth + 1);
    if (result != kReadOk) {
        CRecord::Delete(child);
        return nullptr;
    }
    return child;
}

bool Accepts(const SFieldDesc& f, const uint32_t codes[2]) {
    return f.AllowsAnyType() || (codes[0] == f.SubDomain() && codes[1] == f.SubType());
}

int ReadRecordArray(Reader& rd, CRecordRef ref, uint32_t n, uint32_t depth) {
    for (uint32_t i = ref->ArrayCount(n); i > 0; --i) ref.DeleteElement(nullptr, n, i - 1);
    const SFieldDesc& f = ref->Field(n);
    for (;;) {
        switch (rd.t.Next()) {
            case CXmlTokenizer::kStartTag: {
                uint32_t codes[3];
                if (SplitCodes(rd.t.TagName(), codes) != 2) {
                    // Not a record element: the array ends here, and so does the field element.
                    CXmlReader::SkipElement(rd.t);
                    CXmlReader::SkipElement(rd.t);
                    return kReadOk;
                }
                if (!Accepts(f, codes)) {
                    CXmlReader::SkipElement(rd.t);
                    break;
                }
                int result;
                CRecord* child = NewFromElement(rd, ref.Get(), n, codes, depth, result);
                if (result == kReadTooDeep) return result;
                if ((child || f.IsOptional()) && !ref.InsertRecord(nullptr, n, CRecordRef::kAppend, child))
                    return kReadEnded;  // a failed insertion stops the read
                break;
            }
            case CXmlTokenizer::kAttribute:
                rd.t.ReadValue();
                break;
            case CXmlTokenizer::kEndTag:
                return kReadOk;
            case CXmlTokenizer::kEnd:
                return kReadEnded;
            default:
                break;
        }
    }
}

int ReadSubRecord(Reader& rd, CRecordRef ref, uint32_t n, uint32_t depth) {
    const SFieldDesc& f = ref->Field(n);
    for (;;) {
        switch (rd.t.Next()) {
            case CXmlTokenizer::kStartTag: {
                uint32_t codes[3];
                CRecord** slot = &ref->Slot(n).record;
                int result = kReadOk;
                if (SplitCodes(rd.t.TagName(), codes) != 2) {
                    CXmlReader::SkipElement(rd.t);
                } else if (*slot && (*slot)->IsOfType(codes[0], codes[1])) {
                    result = ReadRecord(rd, CRecordRef(slot), depth + 1);
                } else if (Accepts(f, codes)) {
                    CRecord* child = NewFromElement(rd, ref.Get(), n, codes, depth, result);
                    if (child || f.IsOptional()) ref.DeleteSubRecord(nullptr, n, child);
                    if (result == kReadEnded) result = kReadOk;  // the element is skipped
                } else {
                    CXmlReader::SkipElement(rd.t);
                }
                if (result != kReadOk) return result;
                CXmlReader::SkipElement(rd.t);  // the rest of the field element
                return kReadOk;
            }
            case CXmlTokenizer::kAttribute:
                rd.t.ReadValue();
                break;
            case CXmlTokenizer::kEndTag:
                return kReadOk;
            case CXmlTokenizer::kEnd:
                return kReadEnded;
            default:
                break;
        }
    }
}

// Reads the attributes and children of the record element whose start tag was just read.
int ReadRecord(Reader& rd, CRecordRef ref, uint32_t depth) {
    if (depth >= kXmlMaxRecordDepth) return kReadTooDeep;
    const CRecordType* type = ref->Type();
    // The record stays where it is while its values are read.
    const bool quiet = !ref.GetHolder();
    for (;;) {
        switch (rd.t.Next()) {
            case CXmlTokenizer::kAttribute: {
                const int n = FindField(type, FccOf(rd.t.AttrName().CStr(), rd.t.AttrName().Length()));
                const unsigned char* text;
                uint32_t length;
                if (!rd.t.ValueInPlace(text, length)) {
                    rd.value.Reset();
                    rd.t.ReadValue(rd.value);
                    text = rd.value.Text();
                    length = rd.value.Length();
                }
                if (n >= 0 && !type->Field(static_cast<uint32_t>(n)).IsRecordValued())
                    ReadValue(ref, static_cast<uint32_t>(n), text, length, rd.texts, quiet);
                break;
            }
            case CXmlTokenizer::kStartTag: {
                uint32_t codes[3];
                int n = -1;
                if (SplitCodes(rd.t.TagName(), codes) >= 3 && codes[0] == type->Domain() &&
                    codes[1] == type->Type())
                    n = FindField(type, codes[2]);
                if (n < 0) {
                    CXmlReader::SkipElement(rd.t);
                    break;
                }
                uint32_t field = static_cast<uint32_t>(n);
                int result = kReadOk;
                if (type->Field(field).kind == kFieldRecordArray)
                    result = ReadRecordArray(rd, ref, field, depth);
                else if (type->Field(field).kind == kFieldRecord)
                    result = ReadSubRecord(rd, ref, field, depth);
                else
                    ReadElementValue(rd, ref, field, quiet);
                if (result != kReadOk) return result;
                break;
            }
            case CXmlTokenizer::kEndTag:
                return kReadOk;
            case CXmlTokenizer::kEnd:
                return kReadEnded;
            default:
                break;
        }
    }
}

}  // namespace

void CRecord::WriteXml(CXmlElementScope& parent, const CRecord* r, bool always) {
    if (!r || !r->Type()) {
        if (!always) return;
        CXmlElementScope null(parent, ElementName(kNullDomain, kNullType));
        null.Start();
        null.End();
        return;
    }
    const CRecordType* type = r->Type();
    CXmlElementScope scope(parent, CachedElementName(type->Domain(), type->Type(), 0));
    if (always) scope.Start();
    CXmlTagWriter& w = scope.Writer();

    // Attributes first: every value field, wherever the type lists it.
    uint32_t count = type->FieldCount();
    bool longText = false;
    for (uint32_t n = 0; n < count; ++n) {
        const SFieldDesc& f = r->Field(n);
        if (f.tag == 0 || f.IsRecordValued()) continue;
        if (f.kind == kFieldString && IsLongText(r->GetString(n))) {
            longText = longText || !UString::IsEqual(r->GetString(n).Text(), DefaultText(f).Text());
            continue;
        }
        LVariStr<64> text;
        if (!ValueText(r, n, text)) continue;
        scope.Start();
        w.Name(CodeText(f.tag).bytes);
        w.BeginValue();
        w.Escaped(text.Text(), text.Length());
        w.EndValue();
    }
    for (uint32_t n = 0; longText && n < count; ++n) {
        const SFieldDesc& f = r->Field(n);
        if (f.tag && f.kind == kFieldString && IsLongText(r->GetString(n)) &&
            !UString::IsEqual(r->GetString(n).Text(), DefaultText(f).Text()))
            WriteCData(scope, r, n);
    }
    for (uint32_t n = 0; n < count; ++n) {
        const SFieldDesc& f = r->Field(n);
        if (f.tag == 0) continue;
        if (f.kind == kFieldRecordArray && r->ArrayCount(n)) {
            CXmlElementScope field(scope, CachedElementName(type->Domain(), type->Type(), f.tag));
            for (uint32_t i = 0; i < r->ArrayCount(n); ++i)
                CRecord::WriteXml(field, r->GetElement(n, i), true);
            field.End();
        } else if (f.kind == kFieldRecord && r->GetSubRecord(n)) {
            CXmlElementScope field(scope, CachedElementName(type->Domain(), type->Type(), f.tag));
            CRecord::WriteXml(field, r->GetSubRecord(n), f.IsOptional());
            field.End();
        }
    }
    scope.End();
}

void WriteXmlDocument(CStream& out, const CRecord* root) {
    out.SetEnd();
    CXmlRecordWriter sink(out);
    CXmlTagWriter w(sink);
    w.Declaration();
    CXmlElementScope outer(w);
    CRecord::WriteXml(outer, root, true);
    outer.End();
}

int ReadXmlDocument(CStream& in, CRecordRef root) {
    if (!root) return 0;
    CBomTextStream text(in);
    CXmlTokenizer t(text);
    for (;;) {
        LString name = CXmlReader::NextStartTag(t);
        if (name.IsEmpty()) return 0;
        uint32_t codes[3];
        if (SplitCodes(name, codes) != 2) return 0;
        if (!root->IsOfType(codes[0], codes[1])) {
            CXmlReader::SkipElement(t);
            continue;
        }
        root.Reset();
        CRecordSlab::Scope slab;
        Reader rd{t, root.GetHolder(), {}, {}, {0, 0}, nullptr};
        if (ReadRecord(rd, root, 0) == kReadTooDeep) {
            root.Reset();
            return 0;
        }
        return 1;
    }
}

bool WriteXmlDocumentFile(const char* path, const CRecord* root) {
    if (!path || !*path) return false;
    CBytes bytes;
    {
        CMemStream stream(bytes);
        WriteXmlDocument(stream, root);
        if (stream.HasError()) return false;
    }
    // A new file is private to the user; a replaced one keeps its permissions.
    return plat::WriteFileAtomically(path, bytes.Data(), bytes.Count(),
                                     {.mode = 0600, .keepExistingMode = true});
}
