#include "Orbilume/CSources/Http/MultipartParser.h"

#include <cstring>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool EqualsLower(const std::string& text, const char* lower) {
    size_t i = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (!lower[i] || c != lower[i]) return false;
    }
    return lower[i] == 0;
}

std::string ToString(const LVariStr<16>& s) {
    return std::string(reinterpret_cast<const char*>(static_cast<const unsigned char*>(s)), s.Length());
}

}  // namespace

MultipartParser::MultipartParser(const std::string& boundary)
    : fScanner(LString(boundary.data(), uint32_t(boundary.size()))) {
    StartPart();
}

void MultipartParser::StartPart() {
    fHeaders.emplace();
    fHeadBytes = 0;
    fName.clear();
    fFileName.clear();
    fValue.clear();
    fInData = false;
    fOverflow = false;
}

int MultipartParser::Feed(uint8_t byte) {
    if (fEnded) return kNothing;  // the epilogue
    if (fPartEnded) {
        fPartEnded = false;
        StartPart();
    }
    switch (fScanner.Feed(byte)) {
        case CBoundaryScanner::kData:
            return DataByte(byte);
        case CBoundaryScanner::kFlush: {
            int result = kNothing;
            const uint8_t* held = fScanner.Held();
            const uint32_t count = fScanner.HeldCount();
            for (uint32_t i = 0; i < count; ++i) result = DataByte(held[i]);
            return result;
        }
        case CBoundaryScanner::kNextPart:
        case CBoundaryScanner::kEnd: {
            fEnded = fScanner.ClosingSeen();
            fPartEnded = true;
            const bool dropped = fOverflow && fFileName.empty();
            return fInData && !fName.empty() && !dropped ? kField : kNothing;
        }
        default:
            return kNothing;
    }
}

uint32_t MultipartParser::FeedDataRun(const uint8_t* bytes, uint32_t length) {
    // In file data with nothing held, only a CR can begin a boundary line.
    if (fEnded || fPartEnded || !fInData || fFileName.empty() || fScanner.State() != 0) return 0;
    const void* cr = std::memchr(bytes, '\r', length);
    const uint32_t run = cr ? uint32_t(static_cast<const uint8_t*>(cr) - bytes) : length;
    fValue.append(reinterpret_cast<const char*>(bytes), run);
    return run;
}

int MultipartParser::DataByte(uint8_t byte) {
    if (fInData) {
        if (fFileName.empty() && fValue.size() >= kMaxField) {
            fOverflow = true;
            return kNothing;
        }
        fValue.push_back(char(byte));
        return kData;
    }
    if (++fHeadBytes > kMaxPartHead) return kNothing;  // the part keeps no name
    const int line = fHeaders->Feed(byte);
    if (line == CHeaderLineParser::kNone) return kNothing;
    const bool end = line == CHeaderLineParser::kLineAndEnd ||
                     (fHeaders->Name().Length() == 0 && fHeaders->Value().Length() == 0);
    if (fHeaders->Name().Length() > 0 && !fHeaders->Overflowed())
        OnPartHeader(ToString(fHeaders->Name()), ToString(fHeaders->Value()));
    if (end) fInData = true;
    return kNothing;
}

// Content-Disposition: form-data; name="field"; filename="a.png"
void MultipartParser::OnPartHeader(const std::string& name, const std::string& value) {
    if (!EqualsLower(name, "content-disposition")) return;
    size_t i = value.find(';');
    while (i != std::string::npos && i < value.size()) {
        ++i;
        while (i < value.size() && IsBlank(value[i])) ++i;
        size_t nameStart = i;
        while (i < value.size() && value[i] != '=' && value[i] != ';') ++i;
        size_t nameEnd = i;
        while (nameEnd > nameStart && IsBlank(value[nameEnd - 1])) --nameEnd;
        const std::string param = value.substr(nameStart, nameEnd - nameStart);
        if (i >= value.size() || value[i] == ';') continue;
        ++i;
        while (i < value.size() && IsBlank(value[i])) ++i;
        std::string text;
        if (i < value.size() && value[i] == '"') {
            for (++i; i < value.size() && value[i] != '"'; ++i) {
                if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == '"') ++i;
                text.push_back(value[i]);
            }
            while (i < value.size() && value[i] != ';') ++i;
        } else {
            size_t start = i;
            while (i < value.size() && value[i] != ';') ++i;
            size_t end = i;
            while (end > start && IsBlank(value[end - 1])) --end;
            text = value.substr(start, end - start);
        }
        if (EqualsLower(param, "name"))
            fName = text;
        else if (EqualsLower(param, "filename"))
            fFileName = text;
    }
}
