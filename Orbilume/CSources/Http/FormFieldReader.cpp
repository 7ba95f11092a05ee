#include "Orbilume/CSources/Http/FormFieldReader.h"

#include "Orbilume/CSources/Http/MultipartParser.h"
#include "Orbilume/CSources/Http/UrlFormParser.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trimmed(const std::string& s, size_t from, size_t to) {
    while (from < to && IsBlank(s[from])) ++from;
    while (to > from && IsBlank(s[to - 1])) --to;
    return s.substr(from, to - from);
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

}  // namespace

bool FormFieldReader::BoundaryOf(const std::string& contentType, std::string& boundary) {
    boundary.clear();
    size_t semi = contentType.find(';');
    if (semi == std::string::npos) semi = contentType.size();
    if (!EqualsLower(Trimmed(contentType, 0, semi), "multipart/form-data")) return false;
    size_t i = semi;
    while (i < contentType.size()) {
        ++i;  // past the ';'
        size_t nameStart = i;
        while (i < contentType.size() && contentType[i] != '=' && contentType[i] != ';') ++i;
        const std::string name = Trimmed(contentType, nameStart, i);
        if (i >= contentType.size() || contentType[i] == ';') continue;
        ++i;  // past the '='
        while (i < contentType.size() && IsBlank(contentType[i])) ++i;
        std::string value;
        if (i < contentType.size() && contentType[i] == '"') {
            for (++i; i < contentType.size() && contentType[i] != '"'; ++i) {
                if (contentType[i] == '\\' && i + 1 < contentType.size() && contentType[i + 1] == '"') ++i;
                value.push_back(contentType[i]);
            }
            while (i < contentType.size() && contentType[i] != ';') ++i;
        } else {
            size_t valueStart = i;
            while (i < contentType.size() && contentType[i] != ';') ++i;
            value = Trimmed(contentType, valueStart, i);
        }
        if (EqualsLower(name, "boundary")) {
            boundary = value;
            break;
        }
    }
    return true;
}

std::unique_ptr<FormFieldReader> FormFieldReader::ForContentType(const std::string& contentType) {
    std::string boundary;
    if (!BoundaryOf(contentType, boundary)) return std::make_unique<UrlFormParser>();
    if (boundary.empty() || boundary.size() > kMaxBoundary ||
        boundary.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        return nullptr;
    return std::make_unique<MultipartParser>(boundary);
}
