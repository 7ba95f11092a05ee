#include "Lib3/LSources/Mac/CDragScrap.h"

#include <limits>

#include "Lib3/LSources/Mac/LDrop.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/Foundation/FileRef.h"

std::string CDragScrap::FindType(plat::Pasteboard* pasteboard, const LScrapType& type) {
    if (!pasteboard) return std::string();
    for (const std::string& t : pasteboard->Types()) {
        if (!type.name.IsEmpty()) {
            if (t == std::string(type.name.CStr(), type.name.Length())) return t;
        } else if (type.code != 0 && plat::Pasteboard::CodeForType(t) == type.code) {
            return t;
        }
    }
    return std::string();
}

bool CDragScrap::GetData(const LScrapType& type, uint32_t index, const uint8_t** bytes, uint32_t* size) {
    auto answer = [&](const Item& item) {
        if (bytes) *bytes = item.bytes.data();
        if (size) *size = uint32_t(item.bytes.size());
        return true;
    };
    for (const Item& item : fItems)
        if (item.index == index && item.type.code == type.code && item.type.name == type.name)
            return answer(item);
    plat::Pasteboard* pb = fDrop ? fDrop->Pasteboard() : nullptr;
    const std::string found = FindType(pb, type);
    if (found.empty()) return false;
    Item item{type, index, {}};
    std::vector<plat::PasteboardElement> elements;
    if (pb->ArrayForType(found, &elements)) {
        if (index >= elements.size() || elements[index].kind != plat::PasteboardElement::Kind::kData)
            return false;
        item.bytes = std::move(elements[index].bytes);
    } else if (index != 0 || !pb->DataForType(found, &item.bytes)) {
        return false;
    }
    if (item.bytes.size() > std::numeric_limits<uint32_t>::max()) return false;
    fItems.push_back(std::move(item));
    return answer(fItems.back());
}

bool CDropFiles::HasFiles() const {
    plat::Pasteboard* pb = fDrop ? fDrop->Pasteboard() : nullptr;
    if (!pb) return false;
    return pb->HasType(plat::Pasteboard::kTypeFileURL) || pb->HasType(plat::Pasteboard::kTypeFileNames) ||
           pb->HasType(plat::Pasteboard::kTypeURL);
}

bool CDropFiles::GetPath(uint32_t index, std::string* path) const {
    plat::Pasteboard* pb = fDrop ? fDrop->Pasteboard() : nullptr;
    if (!pb) return false;
    auto fromUrl = [&](const std::string& text) {
        const plat::URL url(text);
        if (!url.IsFileURL()) return false;
        std::string p = url.Path();
        if (p.empty()) return false;
        if (path) *path = std::move(p);
        return true;
    };
    std::vector<std::string> urls;
    if (pb->FileURLs(&urls) && index < urls.size()) return fromUrl(urls[index]);
    std::string one;
    if (index == 0 && pb->StringForType(plat::Pasteboard::kTypeURL, &one)) return fromUrl(one);
    std::vector<plat::PasteboardElement> names;
    if (pb->ArrayForType(plat::Pasteboard::kTypeFileNames, &names) && index < names.size() &&
        names[index].kind == plat::PasteboardElement::Kind::kString && !names[index].bytes.empty()) {
        const std::string p(names[index].bytes.begin(), names[index].bytes.end());
        if (p.find('\0') != std::string::npos || p[0] != '/') return false;
        if (path) *path = p;
        return true;
    }
    return false;
}

bool UDragPboard::HasType(LDrop* drop, const LScrapType& type) {
    return drop && !CDragScrap::FindType(drop->Pasteboard(), type).empty();
}
